#include "output/KRTWatermark.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(KRTWatermark, RecordFieldsAndTextWithCommas) {
  KRTWatermark mark("1,-20,35,255,128,0,x,1,y,450,a,b,72,Helvetica-Bold,Draft, not for, release");
  ASSERT_TRUE(mark.IsValid()) << mark.Problem();
  EXPECT_TRUE(mark.ClearInk());
  EXPECT_EQ(mark.XOffset(), -20);
  EXPECT_EQ(mark.YOffset(), 35);
  EXPECT_EQ(mark.Red(), 255);
  EXPECT_EQ(mark.Green(), 128);
  EXPECT_EQ(mark.Blue(), 0);
  EXPECT_TRUE(mark.FirstPageOnly());
  EXPECT_EQ(mark.Angle(), 450);
  EXPECT_EQ(mark.FontSize(), 72);
  EXPECT_EQ(mark.FontName(), "Helvetica-Bold");
  EXPECT_EQ(mark.Text(), "Draft, not for, release");
}

TEST(KRTWatermark, EmptyFieldsKeepTheirPlaces) {
  // With merged commas the font size would be read as the font name and the name as text.
  KRTWatermark mark("0,,,,,,,,,,,,48,Times-Roman,Secret");
  ASSERT_TRUE(mark.IsValid());
  EXPECT_FALSE(mark.ClearInk());
  EXPECT_EQ(mark.XOffset(), 0);
  EXPECT_EQ(mark.FontSize(), 48);
  EXPECT_EQ(mark.FontName(), "Times-Roman");
  EXPECT_EQ(mark.Text(), "Secret");

  KRTWatermark empty_text("0,0,0,0,0,0,0,0,0,0,0,0,12,Courier,");
  EXPECT_EQ(empty_text.Text(), "");
  KRTWatermark short_record("5,1,2");
  EXPECT_TRUE(short_record.ClearInk());
  EXPECT_EQ(short_record.YOffset(), 2);
  EXPECT_EQ(short_record.FontName(), "");
  EXPECT_EQ(short_record.Text(), "");
}

TEST(KRTWatermark, FlagsAndNumbersReadAsTheRecordMeansThem) {
  const struct {
    const char* record;
    bool clear_ink;
    bool first_page;
    int red;
    int size;
  } cases[] = {
      {"2,0,0,300,0,0,0,1 ,0,0,0,0,99999999999,F,t", true, false, 255, 2147483647},
      {"0,0,0,-5,0,0,0,01,0,0,0,0,-3,F,t", false, false, 0, -3},
      {"x,0,0,12abc,0,0,0,1,0,0,0,0,10,F,t", false, true, 12, 10},
  };
  for (const auto& c : cases) {
    KRTWatermark mark(c.record);
    EXPECT_EQ(mark.ClearInk(), c.clear_ink) << c.record;
    EXPECT_EQ(mark.FirstPageOnly(), c.first_page) << c.record;
    EXPECT_EQ(mark.Red(), c.red) << c.record;
    EXPECT_EQ(mark.FontSize(), c.size) << c.record;
  }
  KRTWatermark mark("0,0,0,0,0,0,0,0,0,0,0,0,10,F,t");
  mark.SetFirstPageOnly(L"True");
  EXPECT_TRUE(mark.FirstPageOnly());
  mark.SetFirstPageOnly(L"true");
  EXPECT_FALSE(mark.FirstPageOnly());
  mark.SetFirstPageOnly(static_cast<const wchar_t*>(nullptr));
  EXPECT_FALSE(mark.FirstPageOnly());
}

TEST(KRTWatermark, RecordsThatCouldBreakOutAreRefused) {
  const char* refused[] = {
      "0,0,0,0,0,0,0,0,0,0,0,0,10,Helvetica,Draft\n%%EOF",          // a new line in the text
      "0,0,0,0,0,0,0,0,0,0,0,0,10,Helvetica,Draft\r%%Page: 1 1",    // a carriage return
      "0,0,0,0,0,0,0,0,0,0,0,0,10,Helvetica,Tab\there",
      "0,0,0,0,0,0,0,0,0,0,0,0,10,Helvetica def} pop,Draft",        // ends the font name
      "0,0,0,0,0,0,0,0,0,0,0,0,10,Helvetica/Evil,Draft",
      "0,0,0,0,0,0,0,0,0,0,0,0,10,Helvetica(x),Draft",
      "0,0,0,0,0,0,0,0,0,0,0,0,10,Helvetica%comment,Draft",
      "0,0,0,0,0,0,0,0,0,0,0,0,10,Helv\xC3\xA9tica,Draft",          // not printable ASCII
  };
  for (const char* record : refused) {
    std::string why;
    EXPECT_FALSE(KRTWatermark::CheckRecordText(record, &why)) << record;
    EXPECT_FALSE(why.empty());
    KRTWatermark mark(record);
    EXPECT_FALSE(mark.IsValid()) << record;
    EXPECT_EQ(mark.FontName(), "");
    EXPECT_EQ(mark.Text(), "");
    EXPECT_STREQ(mark.GetWMTextInHex("English", "Helvetica"), "");
    EXPECT_EQ(mark.RecordText(), record);  // kept as given, so nothing stored is lost
  }
  // Parentheses and "%" in the text are fine: the text reaches PostScript as hex digits.
  EXPECT_TRUE(KRTWatermark("0,0,0,0,0,0,0,0,0,0,0,0,10,Helvetica,(100%) done").IsValid());
}

TEST(KRTWatermark, LongPartsAreCutOnCharacterBoundaries) {
  const std::string name(80, 'N');
  std::string text;
  for (int i = 0; i < 100; ++i) text += "\xE2\x82\xAC";  // 300 bytes of euro signs
  KRTWatermark mark(("0,0,0,0,0,0,0,0,0,0,0,0,10," + name + "," + text).c_str());
  EXPECT_EQ(mark.FontName(), std::string(63, 'N'));
  EXPECT_EQ(mark.Text().size(), 255u);  // 85 whole characters
  EXPECT_EQ(mark.Text(), text.substr(0, 255));

  const std::string huge = "0,0,0,0,0,0,0,0,0,0,0,0,10,F," + std::string(6000, 'x');
  EXPECT_EQ(KRTWatermark(huge.c_str()).RecordText().size(), KRTWatermark::kMaxRecordText);
  EXPECT_EQ(KRTWatermark(nullptr).RecordText(), "");
}

TEST(KRTWatermark, HexTextPerLanguage) {
  const struct {
    const char* text;
    const char* language;
    const char* font;
    const char* hex;
  } cases[] = {
      {"Ab", "English", "Helvetica", "4162"},
      {"\xE2\x82\xAC" "1", "English", "Helvetica", "8031"},            // euro to 80 in Latin-9
      {"\xC3\xA9", "French", "Helvetica", "E9"},
      {"\xE4\xB8\xAD" "\xE2\x82\xAC", "Chinese", "STSong", "D6D080"},  // GBK keeps its euro at 80
      {"\xE3\x81\x81", "Chinese", "STSong", "A4A1"},                   // A4 inside a character stays
      {"\xD0\x96", "Russian", "Arial", "D096"},                        // UTF-8 as it is
      {"\xE3\x81\x82", "Japanese", "Ryumin-Light-H", "82A0"},          // Shift-JIS
      {"\xE3\x81\x82" "A", "Japanese", "Helvetica", "3F41"},           // Latin-9 lacks it: "?"
      {"\xC2\x8F", "Russian", "Arial", "C28F"},                        // two digits for every byte
  };
  for (const auto& c : cases) {
    const std::string record = std::string("0,0,0,0,0,0,0,0,0,0,0,0,10,F,") + c.text;
    KRTWatermark mark(record.c_str());
    EXPECT_STREQ(mark.GetWMTextInHex(c.language, c.font), c.hex) << c.language;
  }
}

TEST(KRTWatermark, FirstHexTextStays) {
  KRTWatermark mark("0,0,0,0,0,0,0,0,0,0,0,0,10,F,\xE2\x82\xAC");
  EXPECT_STREQ(mark.GetWMTextInHex("English", "Helvetica"), "80");
  EXPECT_STREQ(mark.GetWMTextInHex("Russian", "Arial"), "80");
  EXPECT_EQ(mark.Text(), "\xE2\x82\xAC");
  KRTWatermark null_args("0,0,0,0,0,0,0,0,0,0,0,0,10,F,a");
  EXPECT_STREQ(null_args.GetWMTextInHex(nullptr, nullptr), "61");
}

TEST(KRTWatermark, LongestTextFillsTheHexText) {
  KRTWatermark mark(("0,0,0,0,0,0,0,0,0,0,0,0,10,F," + std::string(400, '\xFF')).c_str());
  // 255 bytes kept, every one written with two digits in the unconverted form.
  EXPECT_EQ(std::string(mark.GetWMTextInHex("Czech", "F")), std::string(510, 'F'));
}

}  // namespace
