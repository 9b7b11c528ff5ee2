// Helpers for the parser tests: PPD texts written to a temporary folder and parsed, with the
// process-wide state reset around each test.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "PPDX/KRTPPD.h"
#include "PPDX/PPDObjects/PPDXControls.h"
#include "PPDX/PPDXErrors.h"
#include "foundation/ProcessGlobals.h"
#include "platform/SystemInfo.h"
#include "support/TempDir.h"

namespace parser_test {

// Releases a parsed tree when the test is done with it.
struct Release {
  void operator()(KRTPPD* ppd) const { ppd->Release(); }
};
using ParsedPPD = std::unique_ptr<KRTPPD, Release>;

// The header every fixture starts with.
inline const std::string kHeader =
    "*PPD-Adobe: \"4.3\"\n"
    "*LanguageVersion: English\n"
    "*LanguageEncoding: ISOLatin1\n"
    "*PCFileName: \"TEST.PPD\"\n";

// A page with a scroll pane and the roll-down "G", so that controls have a proper place.
inline const std::string kSkeleton =
    "*%KRTPropPage: P/Page: True\n"
    "*%KRTGroupName: Pane/Pane: True\n"
    "*%KRTGroupName: G/Group: True\n"
    "*%KRTParent: Pane/P: True|Scrollpane\n"
    "*%KRTParent: G/Pane: True|Rolldown\n";

// A popup *Key with the given options (first is the default) in the roll-down G.
inline std::string Popup(const std::string& key, const std::vector<std::string>& options) {
  std::string text = "*%KRTFlags: " + key + " Spooler\n*%KRTGroup: " + key + " G\n*OpenUI " +
                     key + "/" + key.substr(1) + ": PickOne\n*Default" + key.substr(1) + ": " +
                     options.front() + "\n";
  for (const auto& option : options) {
    text += key + " " + option + "/" + option + ": \"(" + option + ") code\"\n";
  }
  return text + "*CloseUI: " + key + "\n";
}

class ParserTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetProcessGlobals();
    quill::SystemInfo::Reset();
  }
  void TearDown() override {
    ResetProcessGlobals();
    quill::SystemInfo::Reset();
  }

  // Writes the text to a file and parses it.
  ParsedPPD Parse(const std::string& text, _PARSE_OPTIONS_ options = 3) {
    path_ = dir_.Write("test" + std::to_string(++count_) + ".ppd", text);
    Globals().endOfPPDLatch = false;  // each file is a new panel instance
    auto* ppd = new KRTPPD(path_, options);
    ppd->Retain();
    return ParsedPPD(ppd);
  }

  // The errors of the tree as (code, keyword) pairs in list order.
  static std::vector<std::pair<short, std::string>> Errors(KRTPPD& ppd) {
    std::vector<std::pair<short, std::string>> out;
    PPDXErrors* errors = ppd.GetErrors();
    for (size_t i = 0; i < errors->Count(); ++i) {
      out.emplace_back(errors->At(i)->Code(),
                       errors->At(i)->Keyword() ? errors->At(i)->Keyword() : "");
    }
    return out;
  }

  // The control with the keyword, whatever the display options.
  static PPDXControl* Control(KRTPPD& ppd, const char* keyword) {
    const _DISPLAY_OPTIONS_ saved = KRTPPD::Options();
    KRTPPD::Options(3);
    CNTL_TYPE type;
    PPDXControl* control = ppd.GetControls()->Find(keyword, type, true);
    KRTPPD::Options(saved);
    return control;
  }

  quill::testing::TempDir dir_;
  std::string path_;
  int count_ = 0;
};

}  // namespace parser_test
