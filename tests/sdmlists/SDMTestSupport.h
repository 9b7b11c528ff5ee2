// Helpers of the server-data list tests: two-way data text built the way the filter writes it,
// and a stand-in for the module's allocator that counts live blocks and refuses foreign ones.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "server/CFileHdlr.h"
#include "server/SDMText.h"

namespace quill::testing {

// Two-way data text with the given sections (UTF-8 bodies stored as wide text), written without
// the record writer's copy on standard error.
inline std::string TwoWayText(const std::vector<std::pair<std::string, std::string>>& sections) {
  std::fflush(stderr);
  const int saved = dup(2);
  const int null = open("/dev/null", O_WRONLY);
  dup2(null, 2);
  std::string text;
  for (const auto& [name, body] : sections) {
    const std::wstring wide = WideFromUTF8(body);
    CFileHdlr::fileWriteData(name.c_str(), wide.data(), wide.size() * sizeof(wchar_t), &text);
  }
  std::fflush(stderr);
  dup2(saved, 2);
  close(saved);
  close(null);
  return text;
}

// The module's memory as the tests see it: every block it hands out, and complaints about
// releases of blocks it never made.
struct FakeModuleMemory {
  static std::set<void*>& Live() {
    static std::set<void*> live;
    return live;
  }
  static int& ForeignReleases() {
    static int n = 0;
    return n;
  }
  static int& FailAfter() {  // allocations left before failing; -1 never fails
    static int n = -1;
    return n;
  }
  static int Alloc(void*, void** pointer, unsigned long size) {
    if (FailAfter() == 0) return -1;
    if (FailAfter() > 0) --FailAfter();
    *pointer = std::malloc(size);
    Live().insert(*pointer);
    return 0;
  }
  static int Free(void** pointer) {
    if (Live().erase(*pointer) == 0) {
      ++ForeignReleases();
      return -1;
    }
    std::free(*pointer);
    *pointer = nullptr;
    return 0;
  }
  static void Reset() {
    for (void* p : Live()) std::free(p);
    Live().clear();
    ForeignReleases() = 0;
    FailAfter() = -1;
  }
};

inline std::string Narrow(const wchar_t* text) {
  return text == nullptr ? std::string("(null)") : UTF8FromWide(text);
}

}  // namespace quill::testing
