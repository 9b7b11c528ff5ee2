#include "foundation/CStringUtils.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

struct FreeDeleter {
  void operator()(char* p) const { std::free(p); }
};
using MallocText = std::unique_ptr<char, FreeDeleter>;

}  // namespace

TEST(CStringUtils, PascalStringsRoundTrip) {
  unsigned char pascal[256];
  char back[256];
  EXPECT_EQ(ctoPStr("Letter", pascal), pascal);
  EXPECT_EQ(pascal[0], 6);
  EXPECT_EQ(std::memcmp(pascal + 1, "Letter", 6), 0);
  EXPECT_STREQ(ptoCStr(pascal, back), "Letter");
  EXPECT_EQ(ctoPStr(nullptr, pascal)[0], 0);
  EXPECT_STREQ(ptoCStr(nullptr, back), "");

  // In place, both ways.
  char buffer[256] = "A4";
  ctoPStr(buffer, reinterpret_cast<unsigned char*>(buffer));
  EXPECT_EQ(buffer[0], 2);
  EXPECT_EQ(buffer[1], 'A');
  ptoCStr(reinterpret_cast<unsigned char*>(buffer), buffer);
  EXPECT_STREQ(buffer, "A4");

  // A text longer than a Pascal string can say is cut to 255 bytes.
  const std::string long_text(400, 'x');
  ctoPStr(long_text.c_str(), pascal);
  EXPECT_EQ(pascal[0], 255);
  EXPECT_EQ(std::strlen(ptoCStr(pascal, back)), 255u);
}

TEST(CStringUtils, FormatsNumbers) {
  char buf[kFloat2StringSize];
  EXPECT_STREQ(num2String(-42, buf), "-42");
  EXPECT_STREQ(num2String(INT_MIN, buf), "-2147483648");
  EXPECT_STREQ(float2String(buf, 1.5f), "   1.5000");
  EXPECT_STREQ(float2String(buf, -612.25f), "-612.2500");
  EXPECT_STREQ(float2String(buf, 123456.0f), "123456.0000");
  // The widest float fits the buffer whole.
  EXPECT_EQ(std::strlen(float2String(buf, -FLT_MAX)), 45u);
}

TEST(CStringUtils, String2NumberParsesALeadingInteger) {
  struct Case {
    char const* text;
    int value;
  };
  const std::vector<Case> cases = {
      {"42", 42},
      {"  -17", -17},
      {"\t+8", 8},
      {"12abc", 12},
      {"3.9", 3},
      {"abc", 0},
      {"", 0},
      {"-", 0},
      {"+-3", 0},
      {"- 3", 0},
      {nullptr, 0},
      {"2147483647", INT_MAX},
      {"-2147483648", INT_MIN},
      {"99999999999", INT_MAX},
      {"-99999999999999999999999", INT_MIN},
      {"007", 7},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(string2Number(c.text), c.value) << (c.text ? c.text : "(null)");
  }
}

TEST(CStringUtils, DeleteCharRangeInStr) {
  struct Case {
    short from;
    short to;
    char const* expected;
  };
  const std::vector<Case> cases = {
      {1, 3, "adef"},   {0, 6, ""},       {4, 100, "abcd"},  {2, 2, "abcdef"},
      {3, 1, "abcdef"}, {6, 8, "abcdef"}, {9, 12, "abcdef"}, {-1, 2, "abcdef"},
  };
  for (const Case& c : cases) {
    char text[] = "abcdef";
    deleteCharRangeInStr(text, c.from, c.to);
    EXPECT_STREQ(text, c.expected) << c.from << ".." << c.to;
  }
  deleteCharRangeInStr(nullptr, 0, 1);
}

TEST(CStringUtils, FindCharAndNewInitializedCString) {
  char text[] = "a=b=c";
  EXPECT_EQ(findChar(text, '='), text + 1);
  EXPECT_EQ(findChar(text, 'x'), nullptr);
  EXPECT_EQ(findChar(text, '\0'), nullptr);
  EXPECT_EQ(findChar(static_cast<char*>(nullptr), 'a'), nullptr);

  MallocText dashes(newInitalizedCString(5, '-'));
  ASSERT_NE(dashes, nullptr);
  EXPECT_STREQ(dashes.get(), "-----");
  MallocText none(newInitalizedCString(0, '-'));
  ASSERT_NE(none, nullptr);
  EXPECT_STREQ(none.get(), "");
  EXPECT_EQ(newInitalizedCString(SIZE_MAX, '-'), nullptr);
}

TEST(CStringUtils, ValidateRangeValuesLimitsDigitRuns) {
  struct Case {
    char const* text;
    int limit;
    int valid;
  };
  const std::vector<Case> cases = {
      {"12345", 4, 0}, {"1234a5678", 4, 1},    {"1234", 4, 1},   {"", 4, 1},
      {"ab", 0, 1},    {"a1", 0, 0},           {"12.345", 3, 1}, {"12 34567", 4, 0},
      {nullptr, 4, 1}, {"\xB9\xB2\xB3", 1, 1},  // superscript digits are not ASCII digits
  };
  for (const Case& c : cases) {
    EXPECT_EQ(validateRangeValues(c.text, c.limit), c.valid)
        << (c.text ? c.text : "(null)") << " limit " << c.limit;
  }
}

TEST(CStringUtils, WtoiReadsWideDigits) {
  struct Case {
    wchar_t const* text;
    int value;
  };
  const std::vector<Case> cases = {
      {L"123", 123},
      {L"  -45x", -45},
      {L"+7", 7},
      {L"abc", 0},
      {L"", 0},
      {nullptr, 0},
      {L"12\u00e9", 12},
      {L"99999999999", INT_MAX},
      {L"-99999999999", INT_MIN},
  };
  for (const Case& c : cases) EXPECT_EQ(wtoi(c.text), c.value);
}

TEST(CStringUtils, ReplaceAllReplacesEveryOccurrenceOnce) {
  struct Case {
    char const* text;
    char const* what;
    char const* with;
    char const* expected;  // null: no result
  };
  const std::vector<Case> cases = {
      {"a-b-c", "-", "+", "a+b+c"},
      {"aXa", "a", "aa", "aaXaa"},  // the replacement is not scanned again
      {"aaaa", "aa", "b", "bb"},
      {"<<x>>", "<<", "", "x>>"},
      {"abc", "x", "y", "abc"},
      {"abc", "abc", "", ""},
      {"", "a", "b", ""},
      {"abc", "", "y", "abc"},  // an empty pattern: an unchanged copy
      {nullptr, "a", "b", nullptr},
      {"abc", nullptr, "b", nullptr},
      {"abc", "a", nullptr, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text ? c.text : "(null)");
    MallocText result(replaceAll(c.text, c.what, c.with));
    if (c.expected == nullptr) {
      EXPECT_EQ(result, nullptr);
    } else {
      ASSERT_NE(result, nullptr);
      EXPECT_STREQ(result.get(), c.expected);
      EXPECT_NE(result.get(), c.text);
    }
  }
}

TEST(CStringUtils, HexDigitValueAtTheEdgesOfEachRange) {
  const std::vector<std::pair<char, int>> cases = {
      {'0', 0},  {'9', 9},  {'a', 10}, {'f', 15}, {'A', 10}, {'F', 15},  {'/', -1}, {':', -1},
      {'`', -1}, {'g', -1}, {'@', -1}, {'G', -1}, {' ', -1}, {'\0', -1}, {'\xE9', -1},
  };
  for (const auto& [c, value] : cases) EXPECT_EQ(HexDigitValue(c), value) << int(c);
}
