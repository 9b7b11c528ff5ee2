// The token functions that every keyword handler reads its line with, and the header keywords.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "PPDX/PPDFile.h"
#include "PPDX/PPDFileStream.h"
#include "PPDX/PPDStream.h"
#include "PPDX/PPDX.h"
#include "foundation/ProcessGlobals.h"
#include "support/TempDir.h"

namespace {

// A PPD root whose file stream the test sets, as a parse would.
class TestPPDX : public PPDX {
 public:
  using PPDX::SetCurrentFileStream;
  void Parse() override {}
};

// The stream reads the text in place: the text must outlive it.
PPDStream StreamOver(const std::string& text) {
  return PPDStream(text.data(), static_cast<long>(text.size()));
}
PPDStream StreamOver(const char* literal) {
  return PPDStream(literal, static_cast<long>(std::strlen(literal)));
}

}  // namespace

TEST(PPDXTokens, NextToken) {
  struct Case {
    std::string line;
    const char* delimiters;
    bool strip;
    bool ok;
    std::string token;
  };
  const std::vector<Case> cases = {
      {"*PageSize Letter/US Letter: \"x\"", kMainKeywordDelimiters, true, true, "*PageSize"},
      {"Letter/US Letter: \"x\"", kOptionKeywordDelimiters, true, true, "Letter"},
      {"  padded  :rest", kTranslationStringDelimiters, true, true, "padded"},
      {"  padded  :rest", kTranslationStringDelimiters, false, true, "  padded  "},
      {":leading delimiter", kTranslationStringDelimiters, true, false, ""},
      {"", kMainKeywordDelimiters, true, false, ""},
      {"value\r\n", kConstraintDelimiters, false, true, "value"},   // CR LF: no CR kept
      {"value\rnext", kConstraintDelimiters, false, true, "value"},  // lone CR ends the line
      {"a|b:c\"d", kFlagKeywordDelimiters, true, true, "a"},
      {std::string(300, 'k'), kMainKeywordDelimiters, false, true, std::string(255, 'k')},
  };
  for (const auto& c : cases) {
    PPDStream stream = StreamOver(c.line);
    char out[256];
    TestPPDX ppd;
    EXPECT_EQ(ppd.NextToken(stream, out, c.delimiters, c.strip), c.ok) << c.line;
    if (c.ok) {
      EXPECT_EQ(std::string(out), c.token) << c.line;
    }
  }
}

TEST(PPDXTokens, StripWhiteSpace) {
  char text[] = " \t value \t ";
  PPDX::StripLeadingWhiteSpace(text);
  EXPECT_STREQ(text, "value \t ");
  PPDX::StripTrailingWhiteSpace(text);
  EXPECT_STREQ(text, "value");
  char blank[] = " \t ";
  PPDX::StripTrailingWhiteSpace(blank);
  EXPECT_STREQ(blank, "");
}

TEST(PPDXTokens, ParseMainKeyword) {
  char out[256];
  PPDX::ParseMainKeyword("Letter/US Letter", out);
  EXPECT_STREQ(out, "US Letter");
  PPDX::ParseMainKeyword("NoSlash", out);
  EXPECT_STREQ(out, "");
  PPDX::ParseMainKeyword("a/b/c", out);
  EXPECT_STREQ(out, "b/c");
}

TEST(PPDXTokens, QuotedStringOnOneLine) {
  struct Case {
    std::string line;
    unsigned long size;
    unsigned long result;
    std::string text;
  };
  const std::vector<Case> cases = {
      {": \"4.3\"", 256, 4, "4.3"},
      {": \"\"", 256, 0, ""},
      {": no quote", 256, 0, ""},
      {": \"abcdefghij\"", 5, 4, "abcd"},  // cut at size - 1
  };
  for (const auto& c : cases) {
    TestPPDX ppd;
    PPDStream stream = StreamOver(c.line);
    char out[256];
    EXPECT_EQ(ppd.GetQuotedString(stream, out, c.size), c.result) << c.line;
    EXPECT_EQ(std::string(out), c.text) << c.line;
  }
}

// Values spread over lines: the line stream holds the first line, the file stream the rest.
class ContinuedValue : public ::testing::Test {
 protected:
  void SetUp() override { ResetProcessGlobals(); }

  // Reads the value that starts on the first line of `text` with `reader`.
  template <typename Reader>
  unsigned long Read(const std::string& text, Reader reader, char* out, unsigned long size) {
    path_ = dir_.Write("value.ppd", text);
    file_ = std::make_unique<PPDFile>(path_);
    file_stream_ = std::make_unique<PPDFileStream>(file_.get(), true);
    file_stream_->GetLine(line_);
    ppd_.SetCurrentFileStream(file_stream_.get());
    PPDStream line_stream(line_, static_cast<long>(std::strlen(line_)));
    const unsigned long n = (ppd_.*reader)(line_stream, out, size);
    file_stream_->GetLine(next_);
    return n;
  }

  quill::testing::TempDir dir_;
  std::string path_;
  std::unique_ptr<PPDFile> file_;
  std::unique_ptr<PPDFileStream> file_stream_;
  TestPPDX ppd_;
  char line_[256] = {};
  char next_[256] = {};  // the line after the value
};

TEST_F(ContinuedValue, QuotedValueShowsOnlyItsFirstLine) {
  char out[256];
  const unsigned long n =
      Read("*Foo: \"one\ntwo\nthree\"\n*Next\n", &PPDX::GetQuotedString, out, 256);
  EXPECT_STREQ(out, "one");
  EXPECT_EQ(n, 14u);  // "one" NUL "two" NUL "three", plus one
  EXPECT_EQ(std::string(out, 13), std::string("one\0two\0three", 13));
  EXPECT_STREQ(next_, "*Next");
}

TEST_F(ContinuedValue, QuotedValueEndsAtAKeywordLine) {
  char out[256];
  const unsigned long n = Read("*Foo: \"open\n*Bar: 1\n*Next\n", &PPDX::GetQuotedString, out, 256);
  EXPECT_STREQ(out, "open");
  EXPECT_EQ(n, 5u);
  EXPECT_STREQ(next_, "*Next");  // the keyword line was consumed
}

TEST_F(ContinuedValue, PostScriptValueKeepsEveryLine) {
  char out[4096];
  const unsigned long n = Read("*Foo: \"l1\nl2\nl3\"\n*Next\n", &PPDX::GetPostscriptString, out,
                               sizeof out);
  EXPECT_EQ(std::string(out, n), "l1\nl2\nl3\n");
}

TEST_F(ContinuedValue, PostScriptValueRules) {
  struct Case {
    const char* name;
    std::string text;
    unsigned long size;
    std::string code;
  };
  const std::vector<Case> cases = {
      {"one line", "*Foo: \"code\"\n", 4096, "code\n"},
      {"empty", "*Foo: \"\"\n", 4096, ""},
      {"asterisk ends", "*Foo: \"a\nb\n*Bar\n", 4096, "a\nb\n\n"},
      {"asterisk-percent continues", "*Foo: \"a\n*%b\"\n", 4096, "a\nb\n"},
      {"end of file", "*Foo: \"a\nb", 4096, "a\nb\n"},
      {"cut at size", "*Foo: \"abcdefgh\"\n", 5, "abcd\n"},
      {"cut across lines", "*Foo: \"ab\ncdef\"\n", 6, "ab\ncd\n"},
      {"fills the buffer, then the quote", "*Foo: \"abcd\"\n", 5, "abcd\n"},
      {"fills the buffer, then the line end", "*Foo: \"abcd\nef\"\n", 5, "abcd\n"},
      {"quote is the last byte of the file", "*Foo: \"", 4096, "\n"},
  };
  for (const auto& c : cases) {
    char out[4096];
    const unsigned long n = Read(c.text, &PPDX::GetPostscriptString, out, c.size);
    EXPECT_EQ(std::string(out, n), c.code) << c.name;
  }
}

TEST(PPDXHeader, StoresHeaderKeywords) {
  struct Case {
    const char* keyword;
    std::string rest;
    const char* (PPDX::*accessor)() const;
    const char* value;
  };
  const std::vector<Case> cases = {
      {"*PCFileName", ": \"QUILLS01.PPD\"", &PPDX::PCFileName, "QUILLS01.PPD"},
      {"*FormatVersion", ": \"4.3\"", &PPDX::FormatVersion, "4.3"},
      {"*FileVersion", ": \"2.4\"", &PPDX::FileVersion, "2.4"},
      {"*ModelName", ": \"Quill Press\"", &PPDX::ModelName, "Quill Press"},
      {"*APDialogExtension", ": \"/x/y.plugin\"", &PPDX::PathToPDE, "/x/y.plugin"},
      {"*LanguageVersion", " English  ", &PPDX::LanguageVersion, "English"},
      {"*LanguageEncoding", "ISOLatin1", &PPDX::LanguageEncoding, "ISOLatin1"},
  };
  for (const auto& c : cases) {
    TestPPDX ppd;
    EXPECT_EQ((ppd.*c.accessor)(), nullptr) << c.keyword;
    PPDStream stream = StreamOver(c.rest);
    ppd.ParsePSKeywords(stream, c.keyword);
    ASSERT_NE((ppd.*c.accessor)(), nullptr) << c.keyword;
    EXPECT_STREQ((ppd.*c.accessor)(), c.value) << c.keyword;
  }
}

TEST(PPDXHeader, TextConverterNeedsBothLanguageKeywords) {
  TestPPDX ppd;
  PPDStream version = StreamOver(": English");
  ppd.ParsePSKeywords(version, "*LanguageVersion");
  EXPECT_EQ(ppd.GetTextConverter(), nullptr);
  PPDStream encoding = StreamOver(": ISOLatin1");
  ppd.ParsePSKeywords(encoding, "*LanguageEncoding");
  EXPECT_NE(ppd.GetTextConverter(), nullptr);
}

TEST(PPDXHeader, PCFileNameTest) {
  quill::testing::TempDir dir;
  const std::string small = dir.Write("small.ppd",
                                      "*PPD-Adobe: \"4.3\"\n*PCFileName:\t \"QUILLS01.PPD\"\n");
  // The keyword sits beyond the first 4096-byte block.
  const std::string late = dir.Write(
      "late.ppd", "*PPD-Adobe: \"4.3\"\n" + std::string(5000, '%') + "\n*PCFileName: \"QLATE.PPD\"\n");
  const std::string none = dir.Write("none.ppd", "*PPD-Adobe: \"4.3\"\n");

  struct Case {
    std::string path;
    std::vector<std::string> names;
    bool accepted;
  };
  const std::vector<Case> cases = {
      {small, {"QUILLS01.PPD"}, true},
      {small, {"OTHER.PPD", "QUILLS01"}, true},  // a name found inside the window is enough
      {small, {"OTHER.PPD"}, false},
      {small, {}, false},
      {late, {"QLATE.PPD"}, true},
      {none, {"QUILLS01.PPD"}, false},
      {dir.path().string() + "/missing.ppd", {"QUILLS01.PPD"}, false},
  };
  for (const auto& c : cases) {
    PPDFile file(c.path);
    EXPECT_EQ(PPDX::ValidateAgainstPCFilename(c.names, &file), c.accepted) << c.path;
    EXPECT_FALSE(file.dataForkOpen());
  }
  EXPECT_TRUE(PPDX::ValidateFileName(small, nullptr, nullptr));
  const std::vector<std::string> names = {"QUILLS01.PPD"};
  EXPECT_TRUE(PPDX::ValidateFileName(small, &names, nullptr));
}
