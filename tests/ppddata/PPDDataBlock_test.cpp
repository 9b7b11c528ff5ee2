#include "ppddata/PPDDataBlock.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

#include "ppddata/BlockTestData.h"
#include "ppddata/CupsPPD.h"
#include "support/TempDir.h"

namespace {

using quill::CupsPPD;
using ::testing::HasSubstr;
using ::testing::StartsWith;
using namespace quill::testing;

int CountOf(const std::string& text, std::string_view what) {
  int count = 0;
  for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
  return count;
}

class PpdxReadData : public ::testing::Test {
 protected:
  // Writes a PPD holding `attributes` and reads block `name` from it through libcups. Nothing
  // for a null result; checks the NUL after the data.
  std::optional<std::string> Read(const Attributes& attributes, const char* name = "KRBlock") {
    std::string path = dir_.Write("queue.ppd", PPDText(attributes));
    CupsPPD ppd(path);
    EXPECT_TRUE(ppd);
    size_t size = 12345;
    std::unique_ptr<char, decltype(&std::free)> data(ppdxReadData(ppd.get(), name, &size),
                                                     &std::free);
    if (data == nullptr) {
      EXPECT_EQ(size, 0u);
      return std::nullopt;
    }
    EXPECT_EQ(data.get()[size], '\0');
    return std::string(data.get(), size);
  }

  // The same, also catching what goes to standard error.
  std::optional<std::string> Read(const Attributes& attributes, std::string* errors) {
    ::testing::internal::CaptureStderr();
    auto result = Read(attributes);
    *errors = ::testing::internal::GetCapturedStderr();
    return result;
  }

  TempDir dir_;
};

TEST_F(PpdxReadData, ReadsBackBlocksOfEverySize) {
  const std::string cases[] = {
      "",
      "x",
      RandomBytes(300),
      RandomBytes(5000, 2),
      SampleText(100000),
      RandomBytes(30000, 3),
      std::string("a\0b\0\0c", 6),
  };
  for (const std::string& payload : cases) {
    std::string errors;
    auto data = Read(BlockOf("KRBlock", payload), &errors);
    ASSERT_TRUE(data) << payload.size();
    EXPECT_EQ(*data, payload) << payload.size();
    EXPECT_EQ(errors, "");
  }
}

TEST_F(PpdxReadData, AnswersNullForNullArgumentsAndAMissingFirstAttribute) {
  size_t size = 7;
  EXPECT_EQ(ppdxReadData(nullptr, "KRBlock", &size), nullptr);
  EXPECT_EQ(size, 0u);

  std::string path = dir_.Write("queue.ppd", PPDText(BlockOf("KRBlock", "data")));
  CupsPPD ppd(path);
  ASSERT_TRUE(ppd);
  size = 7;
  EXPECT_EQ(ppdxReadData(ppd.get(), nullptr, &size), nullptr);
  EXPECT_EQ(size, 0u);

  Attributes no_first = BlockOf("KRBlock", SampleText(2000));
  no_first.erase(no_first.begin());
  EXPECT_FALSE(Read(no_first));
  EXPECT_FALSE(Read(BlockOf("KRBlock", "data"), "KRBlockOther"));
  // A name too long for a PPD attribute is simply never found.
  EXPECT_FALSE(Read(BlockOf("KRBlock", "data"), "KRBlockKRBlockKRBlockKRBlockKRBlockKRBlock"));
}

TEST_F(PpdxReadData, EndsAtTheFirstGapOrEmptyAttribute) {
  const std::string payload = SampleText(60000);
  const std::string stream = Deflate(payload);
  const std::vector<std::string> chunks = Base64Chunks(stream);
  ASSERT_GE(chunks.size(), 4u);
  const std::string first_two = InflatePrefix(stream.substr(0, 2 * 158));

  Attributes gap = BlockAttributes("KRBlock", chunks);
  gap.erase(gap.begin() + 2);

  // An empty attribute written after a shorter block hides the chunks of an older, longer one.
  Attributes shorter = BlockAttributes("KRBlock", {chunks[0], chunks[1]});
  for (unsigned i = 3; i < chunks.size(); ++i) {
    shorter.emplace_back(NumberedName("KRBlock", i), chunks[i]);
  }

  Attributes no_end = BlockAttributes("KRBlock", chunks, /*with_end=*/false);

  struct Case {
    const char* what;
    Attributes attributes;
    std::string expected;
  } cases[] = {
      {"gap at 0002", gap, first_two},
      {"empty 0002, stale chunks after it", shorter, first_two},
      {"no end attribute", no_end, payload},
  };
  for (const Case& c : cases) {
    auto data = Read(c.attributes);
    ASSERT_TRUE(data) << c.what;
    EXPECT_EQ(*data, c.expected) << c.what;
  }
  EXPECT_LT(first_two.size(), payload.size());
  EXPECT_GT(first_two.size(), 0u);
}

TEST_F(PpdxReadData, KeepsTheGoodDataOfCorruptOrTruncatedChunks) {
  const std::string payload = SampleText(20000);
  const std::string stream = Deflate(payload);
  std::vector<std::string> chunks = Base64Chunks(stream);
  ASSERT_GE(chunks.size(), 4u);

  // A corrupt zlib header: nothing inflates, and the read stops there, reporting it once.
  std::string bad_header = stream;
  bad_header[0] = 0x01;
  std::string errors;
  auto data = Read(BlockAttributes("KRBlock", Base64Chunks(bad_header)), &errors);
  ASSERT_TRUE(data);
  EXPECT_EQ(*data, "");
  EXPECT_THAT(errors, StartsWith("ERROR: inflate returned -3 (incorrect header check)\n"));
  EXPECT_EQ(CountOf(errors, "ERROR: inflate returned -3"), 1);

  // Garbage in the middle: the data of the good chunks before it is kept.
  std::vector<std::string> garbled = chunks;
  garbled[1] = Base64(std::string(158, '\xff'));
  data = Read(BlockAttributes("KRBlock", garbled), &errors);
  ASSERT_TRUE(data);
  EXPECT_THAT(*data, StartsWith(InflatePrefix(stream.substr(0, 158))));
  EXPECT_NE(*data, payload);
  EXPECT_THAT(errors, HasSubstr("ERROR: inflate returned -3 ("));
  EXPECT_EQ(CountOf(errors, "ERROR: inflate returned"), 1);

  // A bad check value at the end: all the data is there, the error is reported.
  std::string bad_check = stream;
  bad_check.back() ^= 0x55;
  data = Read(BlockAttributes("KRBlock", Base64Chunks(bad_check)), &errors);
  ASSERT_TRUE(data);
  EXPECT_EQ(*data, payload);
  EXPECT_THAT(errors, HasSubstr("ERROR: inflate returned -3 (incorrect data check)"));

  // The last chunk's Base64 cut short: the data read so far, without error.
  std::vector<std::string> truncated = chunks;
  truncated.back().resize(truncated.back().size() / 2);
  data = Read(BlockAttributes("KRBlock", truncated), &errors);
  ASSERT_TRUE(data);
  EXPECT_LT(data->size(), payload.size());
  EXPECT_EQ(payload.compare(0, data->size(), *data), 0);

  // Text that is not Base64 decodes to nothing and ends the block.
  std::vector<std::string> not_base64 = chunks;
  not_base64[0] = "!!!!";
  data = Read(BlockAttributes("KRBlock", not_base64), &errors);
  ASSERT_TRUE(data);
  EXPECT_EQ(*data, "");
  EXPECT_EQ(errors, "");
}

TEST_F(PpdxReadData, EndsOnStreamsThatCannotGoOn) {
  // A stream that needs a preset dictionary is an error, not a wait for more input.
  std::string errors;
  auto data =
      Read(BlockAttributes("KRBlock", Base64Chunks(Deflate("text", "dictionary"))), &errors);
  ASSERT_TRUE(data);
  EXPECT_EQ(*data, "");
  EXPECT_THAT(errors, StartsWith("ERROR: inflate returned 2 (need dictionary)\n"));

  // Bytes after the end of the stream, in its last chunk and in further chunks, are ignored.
  std::string stream = Deflate("short payload") + "trailing bytes";
  std::vector<std::string> chunks = Base64Chunks(stream);
  chunks.push_back(Base64("one more chunk"));
  data = Read(BlockAttributes("KRBlock", chunks), &errors);
  ASSERT_TRUE(data);
  EXPECT_EQ(*data, "short payload");
  EXPECT_EQ(errors, "");
}

TEST_F(PpdxReadData, KeepsAtMost16MiB) {
  constexpr size_t kMax = 16777216;
  std::string errors;
  auto data = Read(BlockOf("KRBlock", std::string(kMax, 'q')), &errors);
  ASSERT_TRUE(data);
  EXPECT_EQ(data->size(), kMax);
  EXPECT_EQ(errors, "");

  data = Read(BlockOf("KRBlock", std::string(kMax + 1000, 'q')), &errors);
  ASSERT_TRUE(data);
  EXPECT_EQ(data->size(), kMax);
  EXPECT_EQ(data->find_first_not_of('q'), std::string::npos);
  EXPECT_THAT(errors, StartsWith("ERROR: inflate returned -5 (buffer error)\n"));
}

TEST(ReadPPDDataBlock, AnswersEmptyWithoutAPPDOrABlock) {
  TempDir dir;
  std::string ppd = dir.Write("q.ppd", PPDText(BlockOf("KRBlock", "payload")));
  std::string not_ppd = dir.Write("not.ppd", "*KRBlock0000: \"abc\"\n");
  EXPECT_EQ(quill::ReadPPDDataBlock(ppd, "KRBlock"), "payload");
  EXPECT_EQ(quill::ReadPPDDataBlock(ppd, "KRMissing"), "");
  EXPECT_EQ(quill::ReadPPDDataBlock(ppd, ""), "");
  EXPECT_EQ(quill::ReadPPDDataBlock("", "KRBlock"), "");
  EXPECT_EQ(quill::ReadPPDDataBlock(not_ppd, "KRBlock"), "");
  EXPECT_EQ(quill::ReadPPDDataBlock((dir.path() / "absent.ppd").string(), "KRBlock"), "");
}

}  // namespace
