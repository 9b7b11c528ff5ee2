// Libraries on demand: the entries of a library that a program loads the first time it calls one
// of its functions (LibraryOnDemand.cpp says how they work). CupsOnDemand.cmake writes one source
// per library from the library's exports:
//
//   QUILL_ON_DEMAND_LIBRARY(cups, "libcups.so.2")
//   QUILL_ON_DEMAND_FUNCTION(cups, cupsGetDests)
//   ...
#pragma once

#if !defined(__x86_64__) || !defined(__linux__)
#error "LibraryOnDemand.h: the entries are written for x86-64 Linux"
#endif

// A library loaded on demand: its run-time name and, once loaded, its handle.
struct QuillLibraryOnDemand {
  const char* soname;
  void* handle;
};

#define QUILL_ON_DEMAND_LIBRARY(id, soname_text)                                  \
  extern "C" {                                                                    \
  __attribute__((used, visibility("hidden"))) QuillLibraryOnDemand                \
      quill_on_demand_library_##id = {soname_text, nullptr};                      \
  }

// One entry: the function's name jumps through its slot; the slot starts at the entry's binder,
// which hands the common resolver the slot (r11) and the function's record (r10): the offset of
// its library from the record, then the function's name. Offsets, not addresses, so that the
// records need no relocation when the program starts.
#define QUILL_ON_DEMAND_FUNCTION(id, name)                         \
  asm(".text\n"                                                    \
      ".p2align 4\n"                                               \
      ".globl " #name "\n"                                         \
      ".type " #name ", @function\n" #name ":\n"                   \
      "  jmp *quill_on_demand_slot_" #name "(%rip)\n"              \
      "quill_on_demand_bind_" #name ":\n"                          \
      "  leaq quill_on_demand_slot_" #name "(%rip), %r11\n"        \
      "  leaq quill_on_demand_record_" #name "(%rip), %r10\n"      \
      "  jmp quill_on_demand_resolve\n"                            \
      ".size " #name ", .-" #name "\n"                             \
      ".data\n"                                                    \
      ".p2align 3\n"                                               \
      "quill_on_demand_slot_" #name ":\n"                          \
      "  .quad quill_on_demand_bind_" #name "\n"                   \
      ".section .rodata\n"                                         \
      ".p2align 2\n"                                               \
      "quill_on_demand_record_" #name ":\n"                        \
      "  .long quill_on_demand_library_" #id " - .\n"              \
      "  .asciz \"" #name "\"\n"                                   \
      ".text\n");
