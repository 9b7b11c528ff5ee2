// Libraries on demand: a program (quill, the filter quill-cqf) loads a shared library the first
// time it calls one of its functions, not when it starts.
//
// Loading libcups brings some thirty libraries with it (TLS, Kerberos, D-Bus, DNS-SD) and runs
// their start-up code: about 5 ms of a quill process that only reads a PPD and needs none of it
// (the parser reads a parsed PPD's data blocks itself), and of each command job's filter, which
// only writes a file. The smaller libraries that only some commands use (ciphers, compression,
// XML, property lists) cost a reader of a PPD their loading and relocation too. Every function
// that such a library exports gets a small entry with the function's name (LibraryOnDemand.h).
// The program is linked with --as-needed, so the calls bind to these entries and the library is
// no library the program needs at start. Each entry jumps through its own slot; the slot first
// points to a resolver that opens the library, looks the function up, stores it in the slot and
// jumps on with the caller's arguments untouched. From then on a call costs one indirect jump.
//
// The lists of functions are made at configure time from the libraries' exports (see
// CupsOnDemand.cmake).
#include <dlfcn.h>
#include <errno.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "LibraryOnDemand.h"

namespace {

void* Library(QuillLibraryOnDemand& library) {
  void* handle = __atomic_load_n(&library.handle, __ATOMIC_ACQUIRE);
  if (handle != nullptr) return handle;
  // Lazy binding, as when a program links the library: binding every function of libcups and its
  // thirty libraries at once costs about 1 ms more, for functions that are never called. Two
  // threads that both get here open the library twice, which only counts it twice.
  handle = dlopen(library.soname, RTLD_LAZY | RTLD_GLOBAL);
  if (handle == nullptr) {
    std::fprintf(stderr, "%s: cannot load %s: %s\n", program_invocation_short_name,
                 library.soname, dlerror());
    std::abort();
  }
  __atomic_store_n(&library.handle, handle, __ATOMIC_RELEASE);
  return handle;
}

}  // namespace

// Called by the common resolver with the function's slot and record (the offset of its library
// from the record, then its name); answers the function.
extern "C" __attribute__((used, visibility("hidden"))) void* quill_on_demand_bind(
    void** slot, const char* record) {
  std::int32_t offset;
  std::memcpy(&offset, record, sizeof offset);
  auto& library = *reinterpret_cast<QuillLibraryOnDemand*>(
      reinterpret_cast<std::uintptr_t>(record) + static_cast<std::intptr_t>(offset));
  const char* name = record + sizeof offset;
  void* function = dlsym(Library(library), name);
  if (function == nullptr) {
    std::fprintf(stderr, "%s: %s has no function %s\n", program_invocation_short_name,
                 library.soname, name);
    std::abort();
  }
  __atomic_store_n(slot, function, __ATOMIC_RELEASE);
  return function;
}

// The common resolver, entered by a jump with r11 = the slot and r10 = the function's record. It keeps every
// register that can carry an argument (rdi, rsi, rdx, rcx, r8, r9, rax for the vector count of
// variadic calls, xmm0-xmm7) and the caller's stack as they were, then jumps to the function.
asm(R"(
  .text
  .p2align 4
  .globl quill_on_demand_resolve
  .hidden quill_on_demand_resolve
  .type quill_on_demand_resolve, @function
quill_on_demand_resolve:
  pushq %rbp
  movq %rsp, %rbp
  pushq %rdi
  pushq %rsi
  pushq %rdx
  pushq %rcx
  pushq %r8
  pushq %r9
  pushq %rax
  subq $136, %rsp
  movdqu %xmm0, 0(%rsp)
  movdqu %xmm1, 16(%rsp)
  movdqu %xmm2, 32(%rsp)
  movdqu %xmm3, 48(%rsp)
  movdqu %xmm4, 64(%rsp)
  movdqu %xmm5, 80(%rsp)
  movdqu %xmm6, 96(%rsp)
  movdqu %xmm7, 112(%rsp)
  movq %r11, %rdi
  movq %r10, %rsi
  call quill_on_demand_bind
  movq %rax, %r11
  movdqu 0(%rsp), %xmm0
  movdqu 16(%rsp), %xmm1
  movdqu 32(%rsp), %xmm2
  movdqu 48(%rsp), %xmm3
  movdqu 64(%rsp), %xmm4
  movdqu 80(%rsp), %xmm5
  movdqu 96(%rsp), %xmm6
  movdqu 112(%rsp), %xmm7
  addq $136, %rsp
  popq %rax
  popq %r9
  popq %r8
  popq %rcx
  popq %rdx
  popq %rsi
  popq %rdi
  popq %rbp
  jmp *%r11
  .size quill_on_demand_resolve, .-quill_on_demand_resolve
)");
