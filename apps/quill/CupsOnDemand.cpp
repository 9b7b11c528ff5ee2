// libcups on demand: a program (quill, the filter quill-cqf) loads libcups the first time it calls
// one of its functions, not when it starts.
//
// Loading libcups brings some thirty libraries with it (TLS, Kerberos, D-Bus, DNS-SD) and runs
// their start-up code: about 5 ms of a quill process that only reads a PPD and needs none of it
// (the parser reads a parsed PPD's data blocks itself), and of each command job's filter, which
// only writes a file. Every function that libcups exports gets a small entry here with the
// function's name. The program is linked with --as-needed, so the calls bind to these entries
// and libcups is no library the program needs at start. Each entry jumps through its own slot;
// the slot first points to a resolver that opens libcups, looks the function up, stores it in the
// slot and jumps on with the caller's arguments untouched. From then on a call costs one indirect
// jump.
//
// The list of functions is made at configure time from libcups' exports (CupsFunctions.inc, see
// CupsOnDemand.cmake).
#include <dlfcn.h>
#include <errno.h>

#include <cstdio>
#include <cstdlib>

#if !defined(__x86_64__) || !defined(__linux__)
#error "CupsOnDemand.cpp: the entries are written for x86-64 Linux"
#endif

namespace {

void* Library() {
  static void* library = [] {
    // Lazy binding, as when a program links libcups: binding every function of libcups and its
    // thirty libraries at once costs about 1 ms more, for functions that are never called.
    void* handle = dlopen("libcups.so.2", RTLD_LAZY | RTLD_GLOBAL);
    if (handle == nullptr) {
      std::fprintf(stderr, "%s: cannot load libcups: %s\n", program_invocation_short_name,
                   dlerror());
      std::abort();
    }
    return handle;
  }();
  return library;
}

}  // namespace

// Called by the common resolver with the function's slot and name; answers the function.
extern "C" __attribute__((used, visibility("hidden"))) void* quill_cups_bind(void** slot,
                                                                             const char* name) {
  void* function = dlsym(Library(), name);
  if (function == nullptr) {
    std::fprintf(stderr, "%s: libcups has no function %s\n", program_invocation_short_name, name);
    std::abort();
  }
  __atomic_store_n(slot, function, __ATOMIC_RELEASE);
  return function;
}

// The common resolver, entered by a jump with r11 = the slot and r10 = the name. It keeps every
// register that can carry an argument (rdi, rsi, rdx, rcx, r8, r9, rax for the vector count of
// variadic calls, xmm0-xmm7) and the caller's stack as they were, then jumps to the function.
asm(R"(
  .text
  .p2align 4
  .type quill_cups_resolve, @function
quill_cups_resolve:
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
  call quill_cups_bind
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
  .size quill_cups_resolve, .-quill_cups_resolve
)");

// One entry: the function's name jumps through its slot; the slot starts at the entry's resolver.
#define QUILL_CUPS_FUNCTION(name)                                  \
  asm(".text\n"                                                    \
      ".p2align 4\n"                                               \
      ".globl " #name "\n"                                         \
      ".type " #name ", @function\n" #name ":\n"                   \
      "  jmp *quill_cups_slot_" #name "(%rip)\n"                   \
      "quill_cups_bind_" #name ":\n"                               \
      "  leaq quill_cups_slot_" #name "(%rip), %r11\n"             \
      "  leaq quill_cups_name_" #name "(%rip), %r10\n"             \
      "  jmp quill_cups_resolve\n"                                 \
      ".size " #name ", .-" #name "\n"                             \
      ".data\n"                                                    \
      ".p2align 3\n"                                               \
      "quill_cups_slot_" #name ":\n"                               \
      "  .quad quill_cups_bind_" #name "\n"                        \
      ".section .rodata\n"                                         \
      "quill_cups_name_" #name ":\n"                               \
      "  .asciz \"" #name "\"\n"                                   \
      ".text\n");

#include "CupsFunctions.inc"
