#include "TextConverter/TextConverter.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "TextConverter/HexLanguageExceptions.h"
#include "platform/TextEncoding.h"

using quill::TextEncoding;

namespace {

// UTF-8 forms used throughout.
const std::string kCafe = "Caf\xC3\xA9";                // Café
const std::string kNihon = "\xE6\x97\xA5\xE6\x9C\xAC";  // 日本
const std::string kNihonSJIS = "\x93\xFA\x96\x7B";
const std::string kReplacement = "\xEF\xBF\xBD";

class TextConverterTest : public ::testing::Test {
 protected:
  void SetUp() override { TextEncoding::Reset(); }
  void TearDown() override { TextEncoding::Reset(); }
};

struct ConvertResult {
  int status;
  std::string text;
};

// Runs Convert on `text` in a heap buffer of exactly `size` bytes, so that the sanitizer sees
// any write past it.
ConvertResult RunConvert(TextConverter& converter, const std::string& text, size_t size) {
  std::vector<char> buffer(size, '\0');
  std::memcpy(buffer.data(), text.data(), std::min(text.size(), size));
  const int status = converter.Convert(buffer.data(), static_cast<long>(size));
  return {status, std::string(buffer.data(), strnlen(buffer.data(), size))};
}

// As the parser does, with a 256-byte buffer.
ConvertResult RunConvert(TextConverter& converter, const std::string& text) {
  return RunConvert(converter, text, 256);
}

}  // namespace

TEST_F(TextConverterTest, LanguageEncodingNames) {
  const struct {
    const char* name;
    unsigned int encoding;
  } cases[] = {
      {"ISOLatin1", quill::kEncodingISOLatin1},
      {"ISOLatin2", quill::kEncodingISOLatin2},
      {"ISOLatin5", quill::kEncodingISOLatin5},
      {"JIS83-RKSJ", quill::kEncodingShiftJIS},
      {"MacStandard", quill::kEncodingMacRoman},
      {"WindowsANSI", quill::kEncodingWindowsLatin1},
      {"UTF-8", quill::kEncodingUTF8},
      {"isolatin1", quill::kEncodingUnknown},
      {"ISOLatin1 ", quill::kEncodingUnknown},
      {"KOI8-R", quill::kEncodingUnknown},
      {"", quill::kEncodingUnknown},
      {nullptr, quill::kEncodingUnknown},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TextConverter::LanguageStringToEncoding(c.name), c.encoding)
        << (c.name ? c.name : "(null)");
  }
}

TEST(HexLanguageExceptions, TrustsOnlyTheNamedLanguages) {
  HexLanguageExceptions exceptions;
  for (const char* language :
       {"Japanese", "ChineseTrad", "ChineseSimp", "Chinese", "Korean", "Czech", "Russian", "Bulg",
        "Estonian", "Greek", "Hungarian", "Latvian", "Lithuanian", "Polish", "Romanian", "Slovak",
        "Slovenian"}) {
    EXPECT_TRUE(exceptions.IsException(language)) << language;
    EXPECT_TRUE(TextConverter::mExceptionsList.IsException(language)) << language;
  }
  for (const char* language :
       {"English", "French", "German", "polish", "Bulgarian", "", "Turkish"}) {
    EXPECT_FALSE(exceptions.IsException(language)) << language;
  }
}

TEST_F(TextConverterTest, ConstructionAndAccessors) {
  TextEncoding::SetApplicationEncoding(quill::kEncodingMacRoman);
  EXPECT_EQ(TextConverter::GetCurrentEncoding(), quill::kEncodingMacRoman);

  TextConverter latin2("Polish", "ISOLatin2", quill::kEncodingUTF8);
  EXPECT_TRUE(latin2.ValidConverter());
  EXPECT_EQ(latin2.GetSourceEncoding(), quill::kEncodingISOLatin2);
  EXPECT_EQ(latin2.GetOutputEncoding(), quill::kEncodingUTF8);
  EXPECT_EQ(latin2.GetStatus(), 0);

  // An encoding name this system does not know leaves both encodings unknown and no converter.
  TextConverter unknown("English", "KOI8-R", quill::kEncodingUTF8);
  EXPECT_FALSE(unknown.ValidConverter());
  EXPECT_EQ(unknown.GetSourceEncoding(), quill::kEncodingUnknown);
  EXPECT_EQ(unknown.GetOutputEncoding(), quill::kEncodingUnknown);

  unsigned int source = quill::kEncodingShiftJIS;
  TextConverter from_numbers(source, quill::kEncodingUTF8);
  EXPECT_TRUE(from_numbers.ValidConverter());
  EXPECT_EQ(from_numbers.GetSourceEncoding(), quill::kEncodingShiftJIS);

  unsigned int unknown_source = quill::kEncodingUnknown;
  TextConverter no_path(unknown_source, quill::kEncodingUTF8);
  EXPECT_FALSE(no_path.ValidConverter());
  EXPECT_EQ(no_path.GetStatus(), TextConverter::kNoConversionPathErr);
}

TEST_F(TextConverterTest, DehexBufferFill) {
  const struct {
    const char* text;
    std::string decoded;
  } cases[] = {
      {"Caf<E9>", "Caf\xE9"},
      {"<4142 43>", "ABC"},
      {"<41\t42\r\n43>", "ABC"},
      {"<6a6B>", "jk"},
      {"<>", ""},
      {"plain text", "plain text"},
      // An odd digit count or a stray character stops decoding; the rest stays as it is.
      {"<414>", "<414>"},
      {"a<41>b<4G>c<42>", "aAb<4G>c<42>"},
      {"<41<42>", "<41<42>"},
      // An unclosed bracket is copied.
      {"x<41", "x<41"},
      {"<41><42", "A<42"},
      {"<", "<"},
  };
  for (const auto& c : cases) {
    std::vector<char> out(std::strlen(c.text) + 1, '\x7F');
    const long written = TextConverter::DehexBufferFill(nullptr, c.text, out.data());
    EXPECT_EQ(std::string(out.data()), c.decoded) << c.text;
    EXPECT_EQ(written, static_cast<long>(c.decoded.size() + 1)) << c.text;
  }

  char out[4] = "zz";
  EXPECT_EQ(TextConverter::DehexBufferFill(nullptr, nullptr, out), 1);
  EXPECT_STREQ(out, "");
  EXPECT_EQ(TextConverter::DehexBufferFill(nullptr, "abc", nullptr), 0);
}

TEST_F(TextConverterTest, ConvertToCFStringByPPDEncoding) {
  const struct {
    const char* encoding;
    std::string text;
    std::string display;
  } cases[] = {
      {"ISOLatin1", "Caf<E9>", kCafe},
      {"ISOLatin1", "Caf\xE9", kCafe},
      {"MacStandard", "Caf\x8E", kCafe},
      {"WindowsANSI", "\x80", "\xE2\x82\xAC"},
      // Through the to-Unicode converter.
      {"ISOLatin2", "\xB1", "\xC4\x85"},
      {"ISOLatin5", "\xFD", "\xC4\xB1"},
      {"JIS83-RKSJ", kNihonSJIS, kNihon},
      {"JIS83-RKSJ", "<93FA 967B>", kNihon},
      {"UTF-8", "Caf\xC3\xA9", kCafe},
      {"UTF-8", "Caf<C3A9>", kCafe},
      // An unknown encoding reads the bytes as UTF-8.
      {"KOI8-R", "Caf\xC3\xA9", kCafe},
      // Bytes that cannot be read still give a valid string.
      {"UTF-8",
       "a\xFF"
       "b",
       "a" + kReplacement + "b"},
      {"KOI8-R", "\xE9t\xE9", kReplacement + "t" + kReplacement},
      {"WindowsANSI", "x\x81", "x" + kReplacement},
      {"JIS83-RKSJ", "A\x93", "A" + kReplacement},
      {"JIS83-RKSJ", "\x80" + kNihonSJIS, kReplacement + kNihon},
  };
  for (const auto& c : cases) {
    TextConverter converter("English", c.encoding, quill::kEncodingUTF8);
    const std::string display =
        converter.ConvertToCFString(c.text.c_str(), static_cast<long>(c.text.size()));
    EXPECT_EQ(display, c.display) << c.encoding << " " << c.text;
    EXPECT_TRUE(TextEncoding::IsValidUTF8(display)) << c.encoding << " " << c.text;
  }
}

TEST_F(TextConverterTest, ConvertToCFStringReadsOnlyTheGivenLength) {
  TextConverter converter("English", "ISOLatin1", quill::kEncodingUTF8);
  EXPECT_EQ(converter.ConvertToCFString(nullptr, 5), "");
  EXPECT_EQ(converter.ConvertToCFString("ABCDEF", 3), "ABC");
  EXPECT_EQ(converter.ConvertToCFString("ABC", 0), "");
  EXPECT_EQ(converter.ConvertToCFString("ABC", -1), "");
  // A NUL before the length ends the text.
  EXPECT_EQ(converter.ConvertToCFString("AB\0CD", 5), "AB");
  // The closing bracket lies beyond the length, so the bracket stays as it is.
  EXPECT_EQ(converter.ConvertToCFString("<41>", 3), "<41");
}

TEST_F(TextConverterTest, ConvertReadsHighBytesAsMacRomanUnlessTheLanguageIsTrusted) {
  const struct {
    const char* language;
    const char* encoding;
    std::string text;
    unsigned int output;
    std::string expected;
  } cases[] = {
      // E9 is È in Mac Roman, é in ISO Latin-1 and Latin-2.
      {"English", "ISOLatin1", "Caf\xE9", quill::kEncodingUTF8, "Caf\xC3\x88"},
      {"Polish", "ISOLatin2", "Caf\xE9", quill::kEncodingUTF8, kCafe},
      {"Polish", "ISOLatin2", "\xB1", quill::kEncodingUTF8, "\xC4\x85"},
      {"Czech", "ISOLatin2", "\xB1", quill::kEncodingUTF8, "\xC4\x85"},
      {"Japanese", "JIS83-RKSJ", kNihonSJIS, quill::kEncodingUTF8, kNihon},
      // A hex substring is not a raw high byte: the declared encoding holds.
      {"English", "ISOLatin1", "Caf<E9>", quill::kEncodingUTF8, kCafe},
      {"English", "MacStandard", "Caf\x8E", quill::kEncodingUTF8, kCafe},
      {"English", "MacStandard", "Caf\x8E", quill::kEncodingISOLatin1, "Caf\xE9"},
      // A UTF-8 PPD with valid UTF-8 keeps it; invalid UTF-8 is read as Mac Roman.
      {"English", "UTF-8", kCafe, quill::kEncodingUTF8, kCafe},
      {"English", "UTF-8", "Caf\x8E", quill::kEncodingUTF8, kCafe},
      {"Japanese", "UTF-8", kNihon, quill::kEncodingShiftJIS, kNihonSJIS},
      // An odd length into Shift-JIS keeps its last byte.
      {"English", "ISOLatin1", "abc", quill::kEncodingShiftJIS, "abc"},
      {"English", "ISOLatin1", "", quill::kEncodingUTF8, ""},
  };
  for (const auto& c : cases) {
    TextConverter converter(c.language, c.encoding, c.output);
    ASSERT_TRUE(converter.ValidConverter()) << c.language << " " << c.encoding;
    const auto result = RunConvert(converter, c.text);
    EXPECT_EQ(result.status, 0) << c.language << " " << c.text;
    EXPECT_EQ(result.text, c.expected) << c.language << " " << c.text;
  }
}

TEST_F(TextConverterTest, ConverterWithoutLanguageAppliesTheMacRomanRule) {
  unsigned int source = quill::kEncodingISOLatin2;
  TextConverter converter(source, quill::kEncodingUTF8);
  // B1 is ± in Mac Roman.
  EXPECT_EQ(RunConvert(converter, "\xB1").text, "\xC2\xB1");
}

TEST_F(TextConverterTest, MacRomanReadingDoesNotChangeTheDisplayEncoding) {
  TextConverter converter("English", "ISOLatin1", quill::kEncodingUTF8);
  EXPECT_EQ(RunConvert(converter, "Caf\xE9").text, "Caf\xC3\x88");
  EXPECT_EQ(converter.GetSourceEncoding(), quill::kEncodingISOLatin1);
  EXPECT_EQ(converter.ConvertToCFString("Caf\xE9", 4), kCafe);

  // After a text was taken as Mac Roman, valid UTF-8 of a UTF-8 PPD is read as UTF-8 again.
  TextConverter utf8("English", "UTF-8", quill::kEncodingUTF8);
  EXPECT_EQ(RunConvert(utf8, "Caf\x8E").text, kCafe);
  EXPECT_EQ(RunConvert(utf8, "\xC3\xA9t\xC3\xA9").text, "\xC3\xA9t\xC3\xA9");
}

TEST_F(TextConverterTest, ConvertKeepsTheBufferSize) {
  TextConverter converter("English", "ISOLatin1", quill::kEncodingUTF8);

  // "CafÈ" needs 5 bytes in UTF-8; a 5-byte buffer keeps 4 and never half a character.
  auto result = RunConvert(converter, "Caf\xE9", 5);
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.text, "Caf");

  // A text without a NUL inside the size is read up to the size and cut to size - 1.
  result = RunConvert(converter, "ABCDEFG", 4);
  EXPECT_EQ(result.text, "ABC");

  // A text whose conversion fills the first output area exactly (AA is ™, 3 bytes in UTF-8).
  const std::string marks(1000, '\xAA');
  std::string expected;
  for (int i = 0; i < 1000; ++i) expected += "\xE2\x84\xA2";
  result = RunConvert(converter, marks, expected.size() + 1);
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.text, expected);
}

TEST_F(TextConverterTest, ConvertFailures) {
  TextConverter converter("Polish", "ISOLatin2", quill::kEncodingISOLatin1);
  EXPECT_EQ(converter.Convert(nullptr, 10), TextConverter::kParamErr);
  EXPECT_EQ(converter.GetStatus(), TextConverter::kParamErr);
  char one[1] = {'\0'};
  EXPECT_EQ(converter.Convert(one, 0), TextConverter::kParamErr);

  // ą has no ISO Latin-1 form: the status says so and the text is left as it was.
  auto result = RunConvert(converter, "x\xB1");
  EXPECT_EQ(result.status, TextConverter::kMalformedInputErr);
  EXPECT_EQ(result.text, "x\xB1");
  // The next conversion starts afresh.
  EXPECT_EQ(RunConvert(converter, "Caf\xE9").text, "Caf\xE9");

  // Invalid Shift-JIS in a trusted Japanese PPD.
  TextConverter japanese("Japanese", "JIS83-RKSJ", quill::kEncodingUTF8);
  EXPECT_EQ(RunConvert(japanese, "\x93").status, TextConverter::kMalformedInputErr);

  // Without a converter Convert answers the status of the construction and changes nothing.
  TextConverter none("English", "KOI8-R", quill::kEncodingUTF8);
  result = RunConvert(none, "abc");
  EXPECT_EQ(result.status, TextConverter::kNoConversionPathErr);
  EXPECT_EQ(result.text, "abc");
}

TEST_F(TextConverterTest, CFStringToCstring) {
  const struct {
    std::string utf8;
    unsigned int system;
    long size;
    bool ok;
    std::string out;
  } cases[] = {
      {"Translation", quill::kEncodingUTF8, 8, false, "Transla"},
      {"Translation", quill::kEncodingUTF8, 12, true, "Translation"},
      {kCafe, quill::kEncodingUTF8, 6, true, kCafe},
      {kCafe, quill::kEncodingUTF8, 5, false, "Tran"},
      {kCafe, quill::kEncodingISOLatin1, 5, true, "Caf\xE9"},
      {kCafe, quill::kEncodingMacRoman, 5, true, "Caf\x8E"},
      {kNihon, quill::kEncodingShiftJIS, 5, true, kNihonSJIS},
      {kNihon, quill::kEncodingISOLatin1, 64, false, "Translation Error"},
      {"Caf\xC3", quill::kEncodingUTF8, 64, false, "Translation Error"},
      {"", quill::kEncodingUTF8, 1, true, ""},
      {"x", quill::kEncodingUTF8, 1, false, ""},
  };
  for (const auto& c : cases) {
    TextEncoding::SetSystemEncoding(c.system);
    std::vector<char> out(static_cast<size_t>(c.size), '\x7F');
    EXPECT_EQ(TextConverter::CFStringToCstring(c.utf8, out.data(), c.size), c.ok) << c.utf8;
    EXPECT_EQ(std::string(out.data()), c.out) << c.utf8 << " in " << c.size;
  }
  char untouched[2] = "z";
  EXPECT_FALSE(TextConverter::CFStringToCstring("a", untouched, 0));
  EXPECT_STREQ(untouched, "z");
  EXPECT_FALSE(TextConverter::CFStringToCstring("a", nullptr, 8));
}
