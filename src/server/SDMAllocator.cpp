#include "server/SDMAllocator.h"

#include <cstdlib>
#include <cstring>

namespace quill {

void* SDMAllocator::Allocate(std::size_t size) const {
  if (size == 0) size = 1;
  if (!module_) return std::calloc(1, size);
  if (alloc_ == nullptr) return nullptr;
  void* block = nullptr;
  if (alloc_(memory_, &block, static_cast<unsigned long>(size)) != 0 || block == nullptr) {
    return nullptr;
  }
  std::memset(block, 0, size);
  return block;
}

void SDMAllocator::Release(void* block) const {
  if (block == nullptr) return;
  if (!module_) {
    std::free(block);
  } else if (free_ != nullptr) {
    free_(&block);
  }
}

wchar_t* SDMAllocator::CopyWide(std::wstring_view text) const {
  auto* copy = static_cast<wchar_t*>(Allocate((text.size() + 1) * sizeof(wchar_t)));
  if (copy == nullptr) return nullptr;
  if (!text.empty()) std::memcpy(copy, text.data(), text.size() * sizeof(wchar_t));
  copy[text.size()] = L'\0';
  return copy;
}

}  // namespace quill
