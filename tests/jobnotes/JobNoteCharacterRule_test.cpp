// Which characters a job note accepts as the user types: every row is a flag set, checked
// against the same sample characters.
#include "PPDX/PPDObjects/Controls/JobNoteCharacterRule.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Digit, letters, the separators and punctuation the rule names, one character it never names,
// a non-ASCII letter and a character of another script.
constexpr char32_t kSamples[] = {U'7', U'a', U'Z', U'-',      U'.',     U',',
                                 U' ', U'_', U'#', U'\u00E9', U'\u65E5'};
const std::u32string kAll(std::begin(kSamples), std::end(kSamples));

struct Row {
  char const* name;
  JobNoteFlag flags;
  std::u32string accepted;  // the samples accepted; every other sample is refused
};

const Row kRows[] = {
    {"no character flag takes anything", 0, kAll},
    {"flags that do not restrict characters", kJobNoteHyphen | kJobNotePassword | kJobNoteEncrypt,
     kAll},
    {"Numeric and Hyphen", kJobNoteNumeric | kJobNoteHyphen, U"7-"},
    {"Numeric", kJobNoteNumeric, U"7"},
    {"Numeric and Negative", kJobNoteNumeric | kJobNoteNegative, U"7-"},
    {"Alpha", kJobNoteAlpha, U"aZ"},
    {"Alpha and Space", kJobNoteAlpha | kJobNoteSpace, U"aZ "},
    {"Decimal", kJobNoteDecimal, U"7.,"},
    {"Decimal and Negative", kJobNoteDecimal | kJobNoteNegative, U"7.,-"},
    // With Decimal the separators lose their own acceptance: "," still passes as a decimal
    // character, a blank only when Space is set.
    {"Decimal and MultiComma", kJobNoteDecimal | kJobNoteMultiComma, U"7.,"},
    {"Decimal and MultiSpace", kJobNoteDecimal | kJobNoteMultiSpace, U"7.,"},
    {"Decimal, MultiSpace and Space", kJobNoteDecimal | kJobNoteMultiSpace | kJobNoteSpace,
     U"7., "},
    {"MultiComma", kJobNoteMultiComma, U","},
    {"MultiSpace", kJobNoteMultiSpace, U" "},
    {"Negative", kJobNoteNegative, U"-"},
    {"Space", kJobNoteSpace, U" "},
    {"Numeric, MultiComma and Hyphen", kJobNoteNumeric | kJobNoteMultiComma | kJobNoteHyphen,
     U"7-,"},
    {"LCD", kJobNoteLCD, U"7aZ-.,_"},
    {"LCD overrides every other character flag",
     kJobNoteLCD | kJobNoteNumeric | kJobNoteSpace | kJobNoteMultiSpace | kJobNoteDecimal,
     U"7aZ-.,_"},
};

TEST(JobNoteAcceptsCharacter, FlagsBySampleCharacters) {
  for (const Row& row : kRows) {
    for (char32_t c : kSamples) {
      const bool expected = row.accepted.find(c) != std::u32string::npos;
      EXPECT_EQ(JobNoteAcceptsCharacter(row.flags, c), expected)
          << row.name << ", character U+" << std::hex << static_cast<unsigned>(c);
    }
  }
}

TEST(JobNoteAcceptsCharacter, DigitsAndLettersAreAsciiOnly) {
  // Full-width digits and letters outside A-Z/a-z are neither digits nor letters.
  EXPECT_FALSE(JobNoteAcceptsCharacter(kJobNoteNumeric, U'\uFF17'));
  EXPECT_FALSE(JobNoteAcceptsCharacter(kJobNoteAlpha, U'\u00C0'));
  EXPECT_FALSE(JobNoteAcceptsCharacter(kJobNoteLCD, U'\u00E9'));
  for (char32_t c = U'0'; c <= U'9'; ++c) EXPECT_TRUE(JobNoteAcceptsCharacter(kJobNoteNumeric, c));
  EXPECT_FALSE(JobNoteAcceptsCharacter(kJobNoteNumeric, U'/'));
  EXPECT_FALSE(JobNoteAcceptsCharacter(kJobNoteNumeric, U':'));
  EXPECT_FALSE(JobNoteAcceptsCharacter(kJobNoteAlpha, U'@'));
  EXPECT_FALSE(JobNoteAcceptsCharacter(kJobNoteAlpha, U'['));
  EXPECT_FALSE(JobNoteAcceptsCharacter(kJobNoteAlpha, U'`'));
  EXPECT_FALSE(JobNoteAcceptsCharacter(kJobNoteAlpha, U'{'));
}

}  // namespace
