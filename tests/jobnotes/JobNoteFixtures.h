// Helpers of the job-note tests: building notes the way the PPD parser hands them over, and a
// base fixture that gives every test fresh process-wide state and catches the panel's log.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "PPDX/PPDObjects/Controls/PPDXJobNote.h"
#include "foundation/PointerList.h"
#include "foundation/ProcessGlobals.h"
#include "platform/Log.h"
#include "platform/TextEncoding.h"

namespace jobnotes_test {

// A malloc'd copy of `code` (what the parser hands a control), or null for a null view.
inline unsigned char* MallocCode(std::string_view code) {
  if (code.data() == nullptr) return nullptr;
  auto* buffer = static_cast<unsigned char*>(std::malloc(code.size() + 1));
  std::memcpy(buffer, code.data(), code.size());
  buffer[code.size()] = '\0';
  return buffer;
}

struct NoteArgs {
  char const* keyword = "*KRNote";
  JobNoteFlag flags = 0;
  char const* notes = nullptr;          // initial (and default) text; null for none
  std::string_view code = {};           // PPD code; a null view for none
  std::optional<long> codeLength = {};  // the length handed over; the size of `code` when unset
  bool visible = true;
  long maxLength = 32;
  long minLength = 0;
  std::vector<char const*> controlFlags = {};
};

inline std::unique_ptr<PPDXJobNote> MakeNote(NoteArgs const& args) {
  PointerList flags;
  for (char const* flag : args.controlFlags) flags.PushBack(new CString(flag));
  const long length = args.codeLength.value_or(static_cast<long>(args.code.size()));
  CString* notes = args.notes ? new CString(args.notes) : nullptr;
  CString language("English");
  return std::make_unique<PPDXJobNote>(args.keyword, "Note", flags, MallocCode(args.code), length,
                                       notes, &language, args.visible, args.maxLength, args.flags,
                                       args.minLength);
}

// Fresh process-wide state for each test, and the log lines it writes.
class JobNoteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetProcessGlobals();
    quill::TextEncoding::Reset();
    previous_ = quill::SetLogSink([this](std::string_view m) { log_.emplace_back(m); });
  }
  void TearDown() override {
    quill::SetLogSink(previous_);
    ResetProcessGlobals();
    quill::TextEncoding::Reset();
  }

  std::vector<std::string> log_;

 private:
  quill::LogSink previous_;
};

}  // namespace jobnotes_test
