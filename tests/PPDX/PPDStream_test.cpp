// Line reading of the PPD streams: line ends, cuts at 255 bytes, the 0xFF byte, the end marker
// and its latch, and lines that cross a chunk boundary.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "PPDX/PPDFile.h"
#include "PPDX/PPDFileStream.h"
#include "PPDX/PPDStream.h"
#include "foundation/ProcessGlobals.h"
#include "platform/Log.h"
#include "support/TempDir.h"

namespace {

struct Line {
  std::string text;
  bool complete;
  bool operator==(const Line&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Line& l) {
  return os << "{\"" << l.text << "\", " << (l.complete ? "true" : "false") << "}";
}

// Every GetLine result until the stream runs out (a cut line or a 0xFF byte does not stop it).
template <typename Stream>
std::vector<Line> ReadLines(Stream& stream, size_t limit = 100) {
  std::vector<Line> lines;
  char out[256];
  while (lines.size() < limit) {
    const bool complete = stream.GetLine(out);
    if (complete || out[0] != '\0') lines.push_back({out, complete});
    if (!complete && !stream.Good()) break;
  }
  return lines;
}

class PPDStreamTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetProcessGlobals(); }
  void TearDown() override { ResetProcessGlobals(); }
};

}  // namespace

TEST_F(PPDStreamTest, SplitsLinesAtEveryLineEnd) {
  struct Case {
    const char* name;
    std::string data;
    std::vector<Line> lines;
  };
  const std::vector<Case> cases = {
      {"LF", "*A: 1\n*B: 2\n", {{"*A: 1", true}, {"*B: 2", true}}},
      {"CR only", "*A: 1\r*B: 2\r", {{"*A: 1", true}, {"*B: 2", true}}},
      // A CR LF pair is two line ends: the second gives an empty line.
      {"CRLF", "*A\r\n*B\r\n", {{"*A", true}, {"", true}, {"*B", true}, {"", true}}},
      {"no final line feed", "*A\n*B", {{"*A", true}, {"*B", false}}},
  };
  for (const auto& c : cases) {
    PPDStream stream(c.data.data(), static_cast<long>(c.data.size()));
    EXPECT_EQ(ReadLines(stream), c.lines) << c.name;
  }
}

TEST_F(PPDStreamTest, CutsLongLinesAt255Bytes) {
  const std::string data = std::string(300, 'x') + "\n*Next\n";
  PPDStream stream(data.data(), static_cast<long>(data.size()));
  char out[256];
  EXPECT_FALSE(stream.GetLine(out));
  EXPECT_EQ(std::string(out), std::string(255, 'x'));
  EXPECT_TRUE(stream.GetLine(out));
  EXPECT_EQ(std::string(out), std::string(45, 'x'));
  EXPECT_TRUE(stream.GetLine(out));
  EXPECT_STREQ(out, "*Next");
}

TEST_F(PPDStreamTest, LinesOf254And255Bytes) {
  // 254 bytes fit with their line end; at 255 the buffer is full before the line end is seen.
  for (size_t length : {254u, 255u, 256u}) {
    const std::string data = std::string(length, 'y') + "\n";
    PPDStream stream(data.data(), static_cast<long>(data.size()));
    char out[256];
    EXPECT_EQ(stream.GetLine(out), length < 255) << length;
    EXPECT_EQ(std::strlen(out), std::min<size_t>(length, 255)) << length;
  }
}

TEST_F(PPDStreamTest, ByteFFEndsTheLineAsEndOfFile) {
  std::vector<std::string> log;
  auto previous = quill::SetLogSink([&](std::string_view m) { log.emplace_back(m); });
  const std::string data = "*A\n*B\xFFrest\n";
  PPDStream stream(data.data(), static_cast<long>(data.size()));
  char out[256];
  EXPECT_TRUE(stream.GetLine(out));
  EXPECT_FALSE(stream.GetLine(out));
  EXPECT_STREQ(out, "*B");
  quill::SetLogSink(previous);
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0], "PPDStream::GetLine theChar == EOF, i 2 \n");
}

TEST_F(PPDStreamTest, EndMarkerLatchesUntilCleared) {
  const std::string data = "*A\n*% End of PPD file\n*B\n";
  PPDStream stream(data.data(), static_cast<long>(data.size()));
  char out[256];
  EXPECT_TRUE(stream.GetLine(out));
  EXPECT_FALSE(stream.GetLine(out));
  EXPECT_STREQ(out, "");
  EXPECT_TRUE(Globals().endOfPPDLatch);
  // Nothing behind the marker, and nothing of a second stream either, while the latch holds.
  EXPECT_FALSE(stream.GetLine(out));
  PPDStream second(data.data(), static_cast<long>(data.size()));
  EXPECT_FALSE(second.GetLine(out));
  EXPECT_STREQ(out, "");
  Globals().endOfPPDLatch = false;
  EXPECT_TRUE(second.GetLine(out));
  EXPECT_STREQ(out, "*A");
}

TEST_F(PPDStreamTest, BadAndEmptyStreams) {
  PPDStream none(nullptr, 10);
  EXPECT_TRUE(none.Bad());
  PPDStream empty("x", 0);
  EXPECT_TRUE(empty.Bad());
  char c = 0;
  EXPECT_FALSE(empty.GetChar(c));
  EXPECT_EQ(static_cast<unsigned char>(c), 0xFF);
  EXPECT_EQ(empty.PeekChar(), -1);

  PPDStream one("a", 1);
  EXPECT_TRUE(one.GetChar(c));
  EXPECT_FALSE(one.GetChar(c));
  EXPECT_TRUE(one.EndOfFile());
}

TEST_F(PPDStreamTest, FileStreamJoinsALineAcrossTheChunkBoundary) {
  quill::testing::TempDir dir;
  // The second line straddles the 1,000,000-byte chunk boundary.
  std::string data;
  const std::string filler = std::string(99, 'f') + "\n";
  while (data.size() + filler.size() < PPDFileStream::kChunkSize - 5) data += filler;
  data += "*Straddling: value\n*Last\n";
  const std::string path = dir.Write("big.ppd", data);

  PPDFile file(path);
  PPDFileStream stream(&file, true);
  ASSERT_FALSE(stream.Bad());
  auto lines = ReadLines(stream, 20000);
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[lines.size() - 2], (Line{"*Straddling: value", true}));
  EXPECT_EQ(lines.back(), (Line{"*Last", true}));
}

TEST_F(PPDStreamTest, FileStreamOverMissingFileIsBad) {
  PPDFileStream no_file(nullptr, true);
  EXPECT_TRUE(no_file.Bad());
  PPDFile missing("/nonexistent/file.ppd");
  PPDFileStream stream(&missing, true);
  EXPECT_TRUE(stream.Bad());
  char out[256];
  EXPECT_FALSE(stream.GetLine(out));
}

TEST_F(PPDStreamTest, EmptyFileGivesNoLine) {
  quill::testing::TempDir dir;
  PPDFile file(dir.Write("empty.ppd", ""));
  PPDFileStream stream(&file, true);
  char out[256];
  EXPECT_FALSE(stream.GetLine(out));
  EXPECT_STREQ(out, "");
}
