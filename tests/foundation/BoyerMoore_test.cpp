#include "foundation/BoyerMoore.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

// The data lives in a heap block of exactly its size, so that a read past either end is caught
// by the address sanitizer.
class ExactData {
 public:
  explicit ExactData(std::string const& text)
      : bytes_(std::make_unique<char[]>(text.size())), size_(static_cast<long>(text.size())) {
    std::memcpy(bytes_.get(), text.data(), text.size());
  }
  void const* data() const { return bytes_.get(); }
  long size() const { return size_; }

 private:
  std::unique_ptr<char[]> bytes_;
  long size_;
};

long Find(std::string const& data, std::string const& pattern, long start = 0,
          bool case_sensitive = true) {
  ExactData exact(data);
  BoyerMoore searcher;
  searcher.SetCaseSensitve(case_sensitive);
  searcher.SetSearchData(exact.data(), exact.size());
  return searcher.Search(start, pattern.data(), static_cast<short>(pattern.size()));
}

}  // namespace

TEST(BoyerMoore, FindsTheFirstMatchRelativeToTheStart) {
  struct Case {
    std::string data;
    std::string pattern;
    long start;
    bool case_sensitive;
    long expected;
  };
  const std::vector<Case> cases = {
      {"*PCFileName: \"KRT.PPD\"", "PCFileName", 0, true, 1},
      {"PCFileName", "PCFileName", 0, true, 0},  // whole data
      {"abcdef", "abc", 0, true, 0},             // at the start
      {"abcdef", "def", 0, true, 3},             // at the end
      {"abcdef", "xyz", 0, true, -1},            // absent
      {"xbc", "abc", 0, true, -1},               // differs only in the first byte
      {"abcabd", "abd", 0, true, 3},
      {"aaaab", "aab", 0, true, 2},
      {"abc", "abcd", 0, true, -1},  // pattern longer than the data
      {"", "a", 0, true, -1},
      {"abcdef", "f", 0, true, 5},  // one byte, at the end
      {"abcdef", "a", 0, true, 0},
      {"abcdef", "x", 0, true, -1},                   // one byte, absent
      {"abcdef", "", 0, true, -1},                    // no pattern
      {"*pcfilename: x", "PCFileName", 0, true, -1},  // exact bytes by default
      {"*pcfilename: x", "PCFileName", 0, false, 1},
      {"zzzzABC", "abc", 0, false, 4},  // skips look up the folded byte
      {"zzzzabc", "ABC", 0, false, 4},
      {"xxABxab", "AB", 0, false, 2},
      {"abcabc", "abc", 1, true, 2},  // start offset: relative result
      {"abcabc", "abc", 3, true, 0},
      {"abcabc", "abc", 4, true, -1},
      {"abcabc", "c", 6, true, -1},  // start at the end
      {"abcabc", "c", 7, true, -1},  // start beyond the data
      {"abcabc", "c", -1, true, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("\"" + c.pattern + "\" in \"" + c.data + "\" from " + std::to_string(c.start) +
                 (c.case_sensitive ? "" : " ignoring case"));
    EXPECT_EQ(Find(c.data, c.pattern, c.start, c.case_sensitive), c.expected);
  }
}

TEST(BoyerMoore, AgreesWithAPlainSearchOnRandomData) {
  std::mt19937 random(12345);
  std::uniform_int_distribution<int> letter(0, 2);
  std::uniform_int_distribution<int> data_length(0, 40);
  std::uniform_int_distribution<int> pattern_length(1, 6);
  for (int round = 0; round < 3000; ++round) {
    std::string data(static_cast<size_t>(data_length(random)), 'a');
    for (char& ch : data) ch = static_cast<char>("abC"[letter(random)]);
    std::string pattern(static_cast<size_t>(pattern_length(random)), 'a');
    for (char& ch : pattern) ch = static_cast<char>("aBc"[letter(random)]);
    const size_t exact = data.find(pattern);
    ASSERT_EQ(Find(data, pattern), exact == std::string::npos ? -1 : static_cast<long>(exact))
        << pattern << " in " << data;

    std::string lower_data = data, lower_pattern = pattern;
    for (char& ch : lower_data) ch = static_cast<char>(std::tolower(ch));
    for (char& ch : lower_pattern) ch = static_cast<char>(std::tolower(ch));
    const size_t folded = lower_data.find(lower_pattern);
    ASSERT_EQ(Find(data, pattern, 0, false),
              folded == std::string::npos ? -1 : static_cast<long>(folded))
        << pattern << " in " << data << " ignoring case";
  }
}

TEST(BoyerMoore, TakesPascalPatternsAndKeepsAtMost255Bytes) {
  BoyerMoore searcher;
  EXPECT_TRUE(searcher.GetCaseSensitive());
  unsigned char pascal[] =
      "\x03"
      "def";
  searcher.SetSearchString(pascal);
  EXPECT_EQ(searcher.GetSearchStringLength(), 3);
  char out[256];
  searcher.GetSearchString(out);
  EXPECT_STREQ(out, "def");

  ExactData data("abcdefdef");
  searcher.SetSearchData(data.data(), data.size());
  EXPECT_EQ(searcher.Search(), 3);
  EXPECT_EQ(searcher.Search(4, static_cast<unsigned char const*>(nullptr)), 2);  // keeps "def"
  unsigned char other[] =
      "\x02"
      "ab";
  EXPECT_EQ(searcher.Search(0, other), 0);

  const std::string long_pattern(300, 'q');
  searcher.SetSearchString(long_pattern.data(), static_cast<short>(long_pattern.size()));
  EXPECT_EQ(searcher.GetSearchStringLength(), 255);
  ExactData qs(std::string(255, 'q'));
  searcher.SetSearchData(qs.data(), qs.size());
  EXPECT_EQ(searcher.Search(0, nullptr, 0), 0);

  searcher.SetSearchString("x", -4);
  EXPECT_EQ(searcher.GetSearchStringLength(), 0);
  searcher.SetSearchData(nullptr, 100);
  searcher.SetSearchString("q", 1);
  EXPECT_EQ(searcher.Search(), -1);
}
