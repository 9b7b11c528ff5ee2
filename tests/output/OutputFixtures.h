// Shared set-up of the job-output tests: a private root with a key file, the job-notes fixture
// PPD (or a variant of it) parsed as the panel parses it, and access to its notes.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "PPDX/KRTPPD.h"
#include "PPDX/PPDObjects/Controls/PPDXJobNote.h"
#include "PPDX/PPDObjects/PPDXControls.h"
#include "foundation/ProcessGlobals.h"
#include "output/KRTJobNoteList.h"
#include "platform/Paths.h"
#include "platform/SystemInfo.h"
#include "platform/TextEncoding.h"
#include "security/KeyMaterial.h"
#include "support/TempDir.h"

namespace quill::testing {

struct PPDRelease {
  void operator()(KRTPPD* ppd) const { ppd->Release(); }
};
using PPDPtr = std::unique_ptr<KRTPPD, PPDRelease>;

// Key material of the tests: job-note key bytes 0..239, vector bytes 0x80.., master key 0x40...
inline std::vector<uint8_t> TestBytes(size_t count, uint8_t first) {
  std::vector<uint8_t> bytes(count);
  for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>(first + i);
  return bytes;
}

inline std::string HexLine(const char* name, const std::vector<uint8_t>& bytes) {
  std::string line = std::string(name) + " = ";
  char digits[3];
  for (uint8_t byte : bytes) {
    std::snprintf(digits, sizeof digits, "%02x", byte);
    line += digits;
  }
  return line + "\n";
}

class OutputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetProcessGlobals();
    ResetJobNoteOutput();
    TextEncoding::Reset();
    SystemInfo::Reset();
    Paths::SetRoot(root_.path().string());
    WriteKeys(true, true, true);
  }
  void TearDown() override {
    Paths::ResetRoot();
    KeyMaterial::Reload();
    SystemInfo::Reset();
    ResetJobNoteOutput();
    ResetProcessGlobals();
  }

  // Writes the key file with the entries asked for (none: no file at all).
  void WriteKeys(bool keys, bool vectors, bool master) {
    std::string text = "# test keys\n";
    if (keys) text += HexLine("job-note-keys", TestBytes(240, 0));
    if (vectors) text += HexLine("job-note-vectors", TestBytes(96, 0x80));
    if (master) text += HexLine("token-master-key", TestBytes(32, 0x40));
    const std::string path = Paths::Resolve(KeyMaterial::kKeyFilePath);
    if (keys || vectors || master) {
      root_.Write(std::string(KeyMaterial::kKeyFilePath).substr(1), text);
    } else {
      std::remove(path.c_str());
    }
    KeyMaterial::Reload();
  }

  // The fixture PPD, with each pair of `edits` (a line and what replaces it) applied.
  PPDPtr Load(const std::vector<std::pair<std::string, std::string>>& edits = {}) {
    std::string text = ReadFile(FixturePath("JobNotes.ppd"));
    for (const auto& [from, to] : edits) {
      const size_t at = text.find(from);
      EXPECT_NE(at, std::string::npos) << from;
      if (at != std::string::npos) text.replace(at, from.size(), to);
    }
    Globals().endOfPPDLatch = false;
    auto* ppd = new KRTPPD(ppds_.Write("notes" + std::to_string(++count_) + ".ppd", text), 3);
    return PPDPtr(ppd);
  }

  static PPDXJobNote* Note(KRTPPD& ppd, const char* keyword) {
    PPDXControl* control = ppd.GetControls()->FindJobNote(keyword, true);
    EXPECT_NE(control, nullptr) << keyword;
    return static_cast<PPDXJobNote*>(control);
  }

  static std::string ReadFile(const std::string& path) {
    std::string text;
    if (FILE* file = std::fopen(path.c_str(), "rb")) {
      char buffer[4096];
      size_t got;
      while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, got);
      std::fclose(file);
    }
    return text;
  }

  TempDir root_;
  TempDir ppds_;
  int count_ = 0;
};

}  // namespace quill::testing
