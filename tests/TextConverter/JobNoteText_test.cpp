// The free functions that convert job-note text to UTF-8.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "TextConverter/TextConverter.h"
#include "foundation/ProcessGlobals.h"
#include "platform/TextEncoding.h"

using quill::TextEncoding;

namespace {

class JobNoteTextTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TextEncoding::Reset();
    ResetProcessGlobals();
  }
  void TearDown() override {
    TextEncoding::Reset();
    ResetProcessGlobals();
  }
};

constexpr const char* kReadFailed = "[conv from MR or SJ failed]";
constexpr const char* kDoesNotFit = "[MR or SJ conv to UTF8 failed]";

}  // namespace

TEST_F(JobNoteTextTest, MacRomanToUTF8) {
  const struct {
    std::string text;
    bool japanese;
    std::string utf8;
  } cases[] = {
      {"Caf\x8E", false, "Caf\xC3\xA9"},
      {"\x93\xFA\x96\x7B", true, "\xE6\x97\xA5\xE6\x9C\xAC"},
      {"", false, ""},
      // A lone lead byte is not Shift-JIS.
      {"\x93", true, kReadFailed},
      // 254 bytes and the NUL fill the 255-byte buffer; one more does not fit.
      {std::string(254, 'a'), false, std::string(254, 'a')},
      {std::string(255, 'a'), false, kDoesNotFit},
      {std::string(127, '\x8E'), false,
       [] {
         std::string s;
         for (int i = 0; i < 127; ++i) s += "\xC3\xA9";
         return s;
       }()},
      {std::string(128, '\x8E'), false, kDoesNotFit},
  };
  for (const auto& c : cases) {
    Globals().popupJobNotesLangIsJapanese = c.japanese;
    std::string text = c.text;
    EXPECT_EQ(std::string(macRomanToUTF8(text.data())), c.utf8) << c.text.size();
  }
  EXPECT_STREQ(macRomanToUTF8(nullptr), kReadFailed);
}

TEST_F(JobNoteTextTest, MacRomanToUTF8SharesOneBuffer) {
  char first[] = "one";
  char second[] = "two";
  char* a = macRomanToUTF8(first);
  char* b = macRomanToUTF8(second);
  EXPECT_EQ(a, b);
  EXPECT_STREQ(a, "two");
}

TEST_F(JobNoteTextTest, ConvertTextFromApplicationToUTF8) {
  const struct {
    unsigned int application;
    std::string text;
    int status;
    std::string utf8;
  } cases[] = {
      {quill::kEncodingMacRoman, "Caf\x8E", 0, "Caf\xC3\xA9"},
      // The widest cases: one byte that becomes three UTF-8 bytes (™, half-width ア).
      {quill::kEncodingMacRoman, "\xAA", 0, "\xE2\x84\xA2"},
      {quill::kEncodingShiftJIS, "\xB1", 0, "\xEF\xBD\xB1"},
      {quill::kEncodingShiftJIS, "\x93\xFA\x96\x7B", 0, "\xE6\x97\xA5\xE6\x9C\xAC"},
      {quill::kEncodingUTF8, "Caf\xC3\xA9", 0, "Caf\xC3\xA9"},
      {quill::kEncodingUTF8, "", 0, ""},
      // Failures keep what was converted before the bad byte.
      {quill::kEncodingShiftJIS, "ab\x93", TextConverter::kMalformedInputErr, "ab"},
      {quill::kEncodingUnknown, "abc", TextConverter::kNoConversionPathErr, ""},
  };
  for (const auto& c : cases) {
    TextEncoding::SetApplicationEncoding(c.application);
    // Exactly 4 bytes per input byte (1 for an empty text), so overruns show under the sanitizer.
    std::vector<char> out(c.text.empty() ? 1 : c.text.size() * 4, '\x7F');
    EXPECT_EQ(ConvertTextFromApplicationToUTF8(c.text.c_str(), out.data()), c.status) << c.text;
    EXPECT_EQ(std::string(out.data()), c.utf8) << c.text;
  }
  char out[8];
  EXPECT_EQ(ConvertTextFromApplicationToUTF8(nullptr, out), TextConverter::kParamErr);
  EXPECT_EQ(ConvertTextFromApplicationToUTF8("a", nullptr), TextConverter::kParamErr);
}
