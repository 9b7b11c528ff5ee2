#include "ppddata/PPDDataBlockWriter.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "ppddata/BlockTestData.h"
#include "ppddata/CupsPPD.h"
#include "ppddata/PPDDataBlock.h"
#include "support/TempDir.h"

namespace {

using quill::BuildDataBlockLines;
using quill::CupsPPD;
using quill::ReplaceDataBlockLines;
using ::testing::HasSubstr;
using ::testing::Not;
using namespace quill::testing;

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Block `name` read back through libcups' parser and the existing reader; nothing when the file
// does not open as a PPD or the block is missing.
std::optional<std::string> ReadBack(const std::string& path, const char* name) {
  CupsPPD ppd(path);
  if (!ppd) return std::nullopt;
  size_t size = 0;
  std::unique_ptr<char, decltype(&std::free)> data(ppdxReadData(ppd.get(), name, &size), &std::free);
  if (data == nullptr) return std::nullopt;
  return std::string(data.get(), size);
}

int CountLinesStartingWith(const std::string& text, const std::string& prefix) {
  int count = 0;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) count += line.rfind(prefix, 0) == 0;
  return count;
}

// A payload whose level-9 stream is an exact multiple of 158 bytes, so the last chunk is full.
std::string PayloadFillingWholeChunks() {
  for (std::size_t size = 100; size < 2000; ++size) {
    std::string payload = RandomBytes(size, 3);
    if (Deflate(payload).size() % 158 == 0) return payload;
  }
  return {};
}

TEST(BuildDataBlockLines, MatchesTheFormatTheReaderExpects) {
  // The expected lines are made with zlib and libcups directly.
  const std::string payloads[] = {"x", SampleText(300), RandomBytes(5000), PayloadFillingWholeChunks()};
  for (const std::string& payload : payloads) {
    ASSERT_FALSE(payload.empty());
    std::string expected = PPDText(BlockOf("KRBlock", payload));
    expected.erase(0, PPDText({}).size());
    auto lines = BuildDataBlockLines("KRBlock", payload.data(), payload.size());
    ASSERT_TRUE(lines);
    EXPECT_EQ(*lines, expected) << payload.size() << " bytes";
  }
  EXPECT_EQ(BuildDataBlockLines("KRBlock", nullptr, 0), "*KRBlock0000: \"\"\n");
}

TEST(BuildDataBlockLines, RefusesWhatCannotBeStored) {
  const char byte = 'x';
  EXPECT_FALSE(BuildDataBlockLines("", &byte, 1));
  EXPECT_FALSE(BuildDataBlockLines("KR Block", &byte, 1));
  EXPECT_FALSE(BuildDataBlockLines("KR:Block", &byte, 1));
  EXPECT_FALSE(BuildDataBlockLines("KR/Block", &byte, 1));
  EXPECT_FALSE(BuildDataBlockLines("KR\"Block", &byte, 1));
  EXPECT_FALSE(BuildDataBlockLines("KR\xC3\xA9", &byte, 1));
  EXPECT_FALSE(BuildDataBlockLines(std::string(37, 'K'), &byte, 1));
  EXPECT_TRUE(BuildDataBlockLines(std::string(36, 'K'), &byte, 1));
  EXPECT_FALSE(BuildDataBlockLines("KRBlock", nullptr, 1));
  EXPECT_FALSE(BuildDataBlockLines("KRBlock", &byte, quill::kMaxDataBlockSize + 1));
}

TEST(ReplaceDataBlockLines, RemovesOnlyTheBlocksOwnLines) {
  struct Case {
    const char* what;
    std::string before;
    std::string after;
  } cases[] = {
      {"in place of the first old line",
       "*A: \"1\"\n*KRBlock0000: \"old\"\n*B: \"2\"\n*KRBlock0001: \"\"\n",
       "*A: \"1\"\nNEW\n*B: \"2\"\n"},
      {"names are compared ignoring case, numbers too",
       "*krblock000A: \"x\"\n*KRBLOCK0000: \"y\"\n*C: \"3\"\n", "NEW\n*C: \"3\"\n"},
      {"neighbours sharing the prefix stay",
       "*KRBlockX0000: \"a\"\n*KRBlock000: \"b\"\n*KRBlock00000: \"c\"\n*KRBlock20000: \"d\"\n"
       "*KRBlock0000: \"e\"\n",
       "*KRBlockX0000: \"a\"\n*KRBlock000: \"b\"\n*KRBlock00000: \"c\"\n*KRBlock20000: \"d\"\nNEW\n"},
      {"long numbers are the block's once it reached ffff",
       "*KRBlockffff: \"a\"\n*KRBlock10000: \"b\"\n*KRBlock10001: \"\"\n*Z: \"z\"\n",
       "NEW\n*Z: \"z\"\n"},
      {"a value over several lines goes whole",
       "*KRBlock0000: \"first\nsecond\nthird\"\n*D: \"4\"\n", "NEW\n*D: \"4\"\n"},
      {"line ends of the file are kept", "*A: \"1\"\r\n*KRBlock0000: \"x\"\r\n*B: \"2\"\r\n",
       "*A: \"1\"\r\nNEW\n*B: \"2\"\r\n"},
      {"a new block goes before the closing comment", "*A: \"1\"\n*% End of test.ppd, 1 lines.\n\n",
       "*A: \"1\"\nNEW\n*% End of test.ppd, 1 lines.\n\n"},
      {"or at the end", "*A: \"1\"", "*A: \"1\"\nNEW\n"},
      {"an attribute with an option keyword", "*KRBlock0000 opt/Text: \"x\"\n*E: \"5\"\n",
       "NEW\n*E: \"5\"\n"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ReplaceDataBlockLines(c.before, "KRBlock", "NEW\n"), c.after) << c.what;
  }
}

class PpdxWriteData : public ::testing::Test {
 protected:
  std::string WritePPD(const Attributes& attributes = {{"KROther0000", "keep"}}) {
    std::string text = PPDText(attributes) + "*% End of queue.ppd\n";
    return dir_.Write("queue.ppd", text);
  }
  TempDir dir_;
};

TEST_F(PpdxWriteData, RoundTripsThroughLibcupsAndTheReader) {
  const std::string payloads[] = {
      std::string(1, '\0'), "hello", SampleText(300), RandomBytes(5000, 9),
      PayloadFillingWholeChunks(), RandomBytes(1 << 20, 5)};
  std::string path = WritePPD();
  for (const std::string& payload : payloads) {
    ASSERT_EQ(ppdxWriteData(path.c_str(), "KRBlock", payload.data(), payload.size()), 0);
    EXPECT_EQ(ReadBack(path, "KRBlock"), payload) << payload.size() << " bytes";
  }
  std::string text = Slurp(path);
  EXPECT_THAT(text, HasSubstr("*KROther0000: \"keep\""));
  EXPECT_THAT(text, HasSubstr("*ModelName: \"Test Printer\""));
}

TEST_F(PpdxWriteData, AShorterBlockLeavesNoChunksOfTheLongerOne) {
  std::string path = WritePPD();
  std::string big = RandomBytes(5000, 2);
  ASSERT_EQ(ppdxWriteData(path.c_str(), "KRBlock", big.data(), big.size()), 0);
  EXPECT_GT(CountLinesStartingWith(Slurp(path), "*KRBlock"), 30);
  ASSERT_EQ(ppdxWriteData(path.c_str(), "KRBlock", "tiny", 4), 0);
  EXPECT_EQ(CountLinesStartingWith(Slurp(path), "*KRBlock"), 2);
  EXPECT_EQ(ReadBack(path, "KRBlock"), "tiny");
  ASSERT_EQ(ppdxWriteData(path.c_str(), "KRBlock", nullptr, 0), 0);
  EXPECT_EQ(ReadBack(path, "KRBlock"), "");
}

TEST_F(PpdxWriteData, BlocksBeyondFfffChunksAndTheSizeLimit) {
  std::string path = WritePPD();
  // Incompressible data needing more than 0x10000 chunks: five-digit numbers, readable again.
  std::string payload = RandomBytes(0x10000 * 158 + 4000, 4);
  ASSERT_EQ(ppdxWriteData(path.c_str(), "KRBig", payload.data(), payload.size()), 0);
  EXPECT_THAT(Slurp(path), HasSubstr("*KRBig10000: "));
  EXPECT_EQ(ReadBack(path, "KRBig"), payload);
  // A 36-character name leaves no room for a fifth digit: refused rather than a broken PPD.
  std::string long_name(36, 'L');
  EXPECT_EQ(ppdxWriteData(path.c_str(), long_name.c_str(), payload.data(), payload.size()), -1);
  // Rewriting it small removes every five-digit line too.
  ASSERT_EQ(ppdxWriteData(path.c_str(), "KRBig", "s", 1), 0);
  EXPECT_EQ(CountLinesStartingWith(Slurp(path), "*KRBig"), 2);

  // 16 MiB is kept; one byte more is refused and reported, and the file stays as it was.
  std::string limit = SampleText(quill::kMaxDataBlockSize + 1);
  ASSERT_EQ(ppdxWriteData(path.c_str(), "KRLimit", limit.data(), quill::kMaxDataBlockSize), 0);
  std::string before = Slurp(path);
  errno = 0;
  EXPECT_EQ(ppdxWriteData(path.c_str(), "KRLimit", limit.data(), limit.size()), -1);
  EXPECT_EQ(errno, EFBIG);
  EXPECT_EQ(Slurp(path), before);
  auto back = ReadBack(path, "KRLimit");
  ASSERT_TRUE(back);
  EXPECT_TRUE(*back == std::string_view(limit).substr(0, quill::kMaxDataBlockSize));
}

TEST_F(PpdxWriteData, ReportsBadArgumentsAndFileErrors) {
  std::string path = WritePPD();
  EXPECT_EQ(ppdxWriteData(nullptr, "KRBlock", "x", 1), -1);
  EXPECT_EQ(ppdxWriteData("", "KRBlock", "x", 1), -1);
  EXPECT_EQ(ppdxWriteData(path.c_str(), nullptr, "x", 1), -1);
  EXPECT_EQ(ppdxWriteData(path.c_str(), "KR Block", "x", 1), -1);
  EXPECT_EQ(ppdxWriteData(path.c_str(), "KRBlock", nullptr, 1), -1);
  errno = 0;
  std::string missing = (dir_.path() / "missing.ppd").string();
  EXPECT_EQ(ppdxWriteData(missing.c_str(), "KRBlock", "x", 1), -2);
  EXPECT_EQ(errno, ENOENT);
  EXPECT_EQ(ppdxWriteData(dir_.path().c_str(), "KRBlock", "x", 1), -2);
}

TEST_F(PpdxWriteData, WritersArrivingTogetherAllLand) {
  std::string path = WritePPD();
  constexpr int kWriters = 6;
  constexpr int kRounds = 15;
  std::vector<std::thread> writers;
  for (int w = 0; w < kWriters; ++w) {
    writers.emplace_back([&path, w] {
      std::string name = "KRUser" + std::to_string(w);
      for (int round = 0; round < kRounds; ++round) {
        std::string data = RandomBytes(200 + 97 * static_cast<std::size_t>(round + w), round + 1) +
                           name + "#" + std::to_string(round);
        EXPECT_EQ(ppdxWriteData(path.c_str(), name.c_str(), data.data(), data.size()), 0);
      }
    });
  }
  for (auto& t : writers) t.join();
  for (int w = 0; w < kWriters; ++w) {
    std::string name = "KRUser" + std::to_string(w);
    auto back = ReadBack(path, name.c_str());
    ASSERT_TRUE(back) << name;
    EXPECT_THAT(*back, ::testing::EndsWith(name + "#" + std::to_string(kRounds - 1)));
  }
  EXPECT_THAT(Slurp(path), HasSubstr("*KROther0000: \"keep\""));
}

}  // namespace
