// The text converter that a PPD makes from its own language keywords.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "PPDX/PPDStream.h"
#include "PPDX/PPDX.h"
#include "TextConverter/TextConverter.h"
#include "platform/TextEncoding.h"

namespace {

class HeaderOnlyPPDX : public PPDX {
 public:
  HeaderOnlyPPDX(const char* version, const char* encoding) {
    Read("*LanguageVersion", version);
    Read("*LanguageEncoding", encoding);
  }
  void Parse() override {}

 private:
  void Read(const char* keyword, const char* value) {
    // The parser has read the keyword and its colon; the value is the rest of the line.
    const std::string rest = std::string(" ") + value + "\n";
    PPDStream stream(rest.data(), static_cast<long>(rest.size()));
    ParsePSKeywords(stream, keyword);
  }
};

}  // namespace

TEST(PPDXTextConverter, ReadsTheEncodingAndKeepsTheLanguageVersion) {
  // 0xB1 is "a with ogonek" in Latin-2 and the plus-minus sign in Mac Roman: a Polish PPD is
  // trusted with its declared encoding, an English one is taken to be Mac Roman.
  struct Case {
    const char* version;
    std::string converted;
  };
  for (const Case& c : {Case{"Polish", "\xC4\x85"}, Case{"English", "\xC2\xB1"}}) {
    HeaderOnlyPPDX ppd(c.version, "ISOLatin2");
    EXPECT_EQ(GetPPDEncoding(&ppd), quill::kEncodingISOLatin2);
    auto converter = MakeTextConverter(&ppd, quill::kEncodingUTF8);
    ASSERT_TRUE(converter->ValidConverter()) << c.version;
    char text[16] = "\xB1";
    EXPECT_EQ(converter->Convert(text, sizeof text), TextConverter::kNoErr);
    EXPECT_EQ(std::string(text), c.converted) << c.version;
    EXPECT_EQ(MakeTextConverter(&ppd)->GetOutputEncoding(), TextConverter::GetCurrentEncoding());
  }
}

TEST(PPDXTextConverter, NoPPDOrAnUnknownEncodingGivesNoConverter) {
  EXPECT_EQ(GetPPDEncoding(nullptr), quill::kEncodingUnknown);
  EXPECT_FALSE(MakeTextConverter(nullptr)->ValidConverter());
  HeaderOnlyPPDX klingon("English", "Klingon");
  EXPECT_EQ(GetPPDEncoding(&klingon), quill::kEncodingUnknown);
  EXPECT_FALSE(MakeTextConverter(&klingon, quill::kEncodingUTF8)->ValidConverter());
}
