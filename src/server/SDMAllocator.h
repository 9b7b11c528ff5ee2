// SDMAllocator: which allocator a block handed across the module boundary comes from, so that it
// goes back to the same one. The host's allocator is the C library's (calloc/free); the module's
// is its SDMAllocMemory with the module's memory handle, released through JP1_1Free.
#pragma once

#include <cstddef>
#include <string_view>

namespace quill {

class SDMAllocator {
 public:
  // SDMAllocMemory(memory, &pointer, size): 0 on success with the new block in pointer.
  using AllocFn = int (*)(void* memory, void** pointer, unsigned long size);
  // JP1_1Free(&pointer): releases the block and clears the pointer.
  using FreeFn = int (*)(void** pointer);

  // The C library's allocator.
  static SDMAllocator Host() { return SDMAllocator(); }
  // The module's allocator; without `alloc` every allocation fails, without `release` nothing
  // is released (a block is then left to the module's memory manager).
  static SDMAllocator Module(AllocFn alloc, FreeFn release, void* memory) {
    SDMAllocator a;
    a.alloc_ = alloc;
    a.free_ = release;
    a.memory_ = memory;
    a.module_ = true;
    return a;
  }

  [[nodiscard]] bool IsModule() const { return module_; }
  // A zeroed block of `size` bytes (at least one); null on failure.
  [[nodiscard]] void* Allocate(std::size_t size) const;
  // Releases a block of this allocator; null is ignored.
  void Release(void* block) const;
  // A zero-terminated copy of `text`; null on failure.
  [[nodiscard]] wchar_t* CopyWide(std::wstring_view text) const;

 private:
  SDMAllocator() = default;
  AllocFn alloc_ = nullptr;
  FreeFn free_ = nullptr;
  void* memory_ = nullptr;
  bool module_ = false;
};

}  // namespace quill
