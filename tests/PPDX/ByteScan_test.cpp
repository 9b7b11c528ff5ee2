// ByteSet::Find against a plain byte loop: every range length around the sixteen-byte blocks,
// every position of the stop byte, sets that are searched by blocks and sets too large for that.
// The ranges are exactly sized heap copies, so that a read past the end shows under the address
// sanitizer.
#include "PPDX/ByteScan.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace {

const unsigned char* Reference(std::string_view set, const unsigned char* p,
                               const unsigned char* end) {
  for (; p < end; ++p) {
    if (set.find(static_cast<char>(*p)) != std::string_view::npos) return p;
  }
  return end;
}

}  // namespace

TEST(ByteScan, FindsTheFirstStopByteAsAPlainLoopDoes) {
  using namespace std::string_literals;
  const std::vector<std::string> sets = {
      ":",        "\n\r\xFF", " \t:\n\r", "|:\"\n\r", ";();\n\r",  // up to five bytes, blocks
      "\0"s,      "abcdef",  // a NUL byte; six, the most for blocks
      "abcdefgh",            // larger: byte by byte
  };
  for (const std::string& set_bytes : sets) {
    const ByteSet set{std::string_view(set_bytes)};
    const char stop = set_bytes.back();
    for (size_t length = 0; length <= 49; ++length) {
      // Positions past the end mean a range without any stop byte.
      for (size_t position = 0; position <= length; ++position) {
        auto bytes = std::make_unique<unsigned char[]>(length + 1);
        for (size_t i = 0; i < length; ++i) bytes[i] = static_cast<unsigned char>('A' + i % 20);
        if (position < length) bytes[position] = static_cast<unsigned char>(stop);
        // A second stop byte later must not win over the first.
        if (position + 3 < length) bytes[position + 3] = static_cast<unsigned char>(set_bytes[0]);
        const unsigned char* begin = bytes.get();
        const unsigned char* end = begin + length;
        ASSERT_EQ(set.Find(begin, end), Reference(set_bytes, begin, end))
            << "set of " << set_bytes.size() << " bytes, length " << length << ", position "
            << position;
      }
    }
  }
}

TEST(ByteScan, EmptyAndNullRangesGiveTheirEnd) {
  const ByteSet set{std::string_view(":")};
  EXPECT_EQ(set.Find(nullptr, nullptr), nullptr);
  const unsigned char byte = ':';
  EXPECT_EQ(set.Find(&byte, &byte), &byte);
  EXPECT_TRUE(set.Contains(':'));
  EXPECT_FALSE(set.Contains('x'));
}
