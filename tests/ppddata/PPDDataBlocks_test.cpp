// The block attributes that the parser collects line by line: each value is the one libcups gives
// for the same file, and a registered store answers the block reads of its unchanged file.
#include "ppddata/PPDDataBlocks.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ppddata/BlockTestData.h"
#include "ppddata/CupsPPD.h"
#include "ppddata/PPDDataBlock.h"
#include "support/TempDir.h"

namespace {

using quill::CupsPPD;
using quill::FileIdentity;
using quill::PPDDataBlocks;
using namespace quill::testing;

// Hands `text` to the store line by line, as the parser reads it: a line ends at a line feed, a
// carriage return, or a carriage return and line feed pair.
void Feed(PPDDataBlocks& blocks, const std::string& text) {
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find_first_of("\r\n", at);
    if (end == std::string::npos) {
      blocks.Take(std::string_view(text).substr(at), true);
      break;
    }
    blocks.Take(std::string_view(text).substr(at, end - at), true);
    at = end + 1;
    if (text[end] == '\r' && at < text.size() && text[at] == '\n') ++at;
  }
  blocks.Finish();
}

std::optional<std::string> Value(const PPDDataBlocks& blocks, const char* name) {
  const std::string* value = blocks.Find(name);
  return value ? std::optional<std::string>(*value) : std::nullopt;
}

std::optional<std::string> CupsValue(const CupsPPD& ppd, const char* name) {
  const char* value = CupsPPD::FindAttrValue(ppd.get(), name);
  return value ? std::optional<std::string>(value) : std::nullopt;
}

TEST(PPDDataBlocks, TakesEachValueAsLibcupsDoes) {
  struct Case {
    const char* lines;  // after the header
    std::vector<const char*> names;
  };
  const Case cases[] = {
      {"*KRAa0000: \"QUJD\"\n*KRAa0000: \"REVG\"\n", {"KRAa0000", "kraa0000"}},  // first wins
      {"*kraa0001: \"QU JD\"\n*KRAa000A: \"QUJD\"\n", {"KRAa0001", "KRAa000a", "KRAA000A"}},
      {"*KRAa0003:    QU JD   \n", {"KRAa0003"}},
      {"*KRAa0004: \"QU\nJD\"\n*KRAa0005: \"QU#JD\"\n", {"KRAa0004", "KRAa0005"}},
      {"*KRAa0006: \"QUJD\" junk\n*KRAa0007: \"QUJD\"x\n*KRAa0008: \"\"QUJD\n",
       {"KRAa0006", "KRAa0007", "KRAa0008"}},
      {"*KRAa0009: \"\"\n*KRAa000b:\n*KRAa000c\n*KRAa000d: \" \"\n",
       {"KRAa0009", "KRAa000b", "KRAa000c", "KRAa000d"}},
      {"*KRAa0010: \"a\"b\"c\"\n*KRAa0011: \"QU\"JD\"\n*KRAa0012 :\"QUJD\" \t\n",
       {"KRAa0010", "KRAa0011", "KRAa0012"}},
      // An open quote takes the following lines into the value, attribute lines included.
      {"*KRAa0013: \"QUJD\n*KRAa0014: \"REVG\"\n*KRAa0015: \"x\"\n",
       {"KRAa0013", "KRAa0014", "KRAa0015"}},
      {"*KRAa0016: a\"b\n*KRAa0017: \"QUJD\"\n", {"KRAa0016", "KRAa0017"}},
      {"*KRAa0018: \"\n\n\"\n", {"KRAa0018"}},
      // Carriage returns end lines too.
      {"*KRAa0019: \"QUJD\"\r\n*KRAa001a: QUJD\r*KRAa001b: \"a\r\nb\"\r\n",
       {"KRAa0019", "KRAa001a", "KRAa001b"}},
      // Cut off by the end of the file, with and without a last line end.
      {"*KRAa001c: \"QUJD\"\n*KRAa001d: \"QU", {"KRAa001c", "KRAa001d"}},
      {"*KRAa001e: \"QU\n", {"KRAa001e"}},
      {"*KR0000: \"x\"\n*%KRAa0000: \"y\"\n", {"KR0000", "KRAa0000"}},
  };
  TempDir dir;
  for (const Case& c : cases) {
    const std::string text = std::string("*PPD-Adobe: \"4.3\"\n") + c.lines;
    CupsPPD cups(dir.Write("case.ppd", text));
    ASSERT_TRUE(cups) << c.lines;
    PPDDataBlocks blocks;
    Feed(blocks, text);
    for (const char* name : c.names) {
      EXPECT_EQ(Value(blocks, name), CupsValue(cups, name)) << c.lines << " asked " << name;
    }
  }
}

TEST(PPDDataBlocks, KeepsOnlyBlockAttributes) {
  // "KR", a name, four hexadecimal digits and a colon; other attributes are no business of the
  // store.
  PPDDataBlocks blocks;
  // An option line of a UI group is no block attribute, even with a keyword of that form.
  Feed(blocks,
       "*KRBlock: \"x\"\n*XYAa0000: \"x\"\n*KRBlock000g: \"x\"\n*KRBlock0000: \"x\"\n"
       "*KRPopup0001 Opt1/Choice 1: \"<</KRPopup0001 1>> setpagedevice\"\n");
  EXPECT_EQ(blocks.Size(), 1u);
  EXPECT_EQ(Value(blocks, "KRBlock0000"), "x");
}

TEST(PPDDataBlocks, ALineInPiecesIsOneLine) {
  // A line longer than the parser's line buffer comes in pieces.
  const std::string value(600, 'Q');
  PPDDataBlocks blocks;
  blocks.Take("*KRLong", false);
  blocks.Take("Name0000: \"" + value.substr(0, 300), false);
  blocks.Take(value.substr(300) + "\"", true);
  blocks.Take("*OtherKeyword: \"x\" and a long line ", false);
  blocks.Take("*KRNotAnAttribute0001: \"y\"", true);
  blocks.Finish();
  EXPECT_EQ(Value(blocks, "KRLongName0000"), value);
  EXPECT_EQ(Value(blocks, "KRNotAnAttribute0001"), std::nullopt);
  EXPECT_EQ(blocks.Size(), 1u);
}

TEST(PPDDataBlocks, ReadsBlocksAsLibcupsDoesWhenDamaged) {
  const std::vector<std::string> good = Base64Chunks(Deflate(RandomBytes(700, 5)));
  ASSERT_GE(good.size(), 4u);
  auto with = [&](std::vector<std::string> chunks, bool end = true) {
    return BlockAttributes("KRBlock", chunks, end);
  };
  Attributes gap = with(good);
  gap.erase(gap.begin() + 2);  // KRBlock0002 missing: reading stops after KRBlock0001
  std::vector<std::string> bad = good;
  bad[1] = "!!!!";
  std::vector<std::string> cut = good;
  cut.resize(2);
  std::vector<std::string> half = good;
  half[3].resize(half[3].size() / 2);
  const struct {
    const char* name;
    Attributes attributes;
  } cases[] = {
      {"whole", with(good)},
      {"no end attribute", with(good, false)},
      {"cut off after two chunks", with(cut, false)},
      {"a chunk cut in half", with(half)},
      {"gap in the numbering", gap},
      {"bad base64", with(bad)},
      {"missing", {}},
  };
  TempDir dir;
  for (const auto& c : cases) {
    const std::string text = PPDText(c.attributes);
    CupsPPD cups(dir.Write("damaged.ppd", text));
    ASSERT_TRUE(cups);
    PPDDataBlocks blocks;
    Feed(blocks, text);
    size_t cups_size = 1, store_size = 2;
    ::testing::internal::CaptureStderr();
    std::unique_ptr<char, decltype(&std::free)> from_cups(
        ppdxReadData(cups.get(), "KRBlock", &cups_size), &std::free);
    const std::string cups_errors = ::testing::internal::GetCapturedStderr();
    ::testing::internal::CaptureStderr();
    std::unique_ptr<char, decltype(&std::free)> from_store(
        ppdxReadData(blocks, "KRBlock", &store_size), &std::free);
    const std::string store_errors = ::testing::internal::GetCapturedStderr();
    ASSERT_EQ(from_cups == nullptr, from_store == nullptr) << c.name;
    EXPECT_EQ(cups_size, store_size) << c.name;
    if (from_cups) {
      EXPECT_EQ(std::string(from_cups.get(), cups_size), std::string(from_store.get(), store_size))
          << c.name;
    }
    EXPECT_EQ(cups_errors, store_errors) << c.name;
  }
}

TEST(PPDDataBlocks, ARegisteredStoreAnswersOnlyForItsUnchangedFile) {
  TempDir dir;
  const std::string path = dir.Write("queue.ppd", PPDText(BlockOf("KRBlock", "from the file")));
  const std::string other = dir.Write("other.ppd", PPDText(BlockOf("KRBlock", "other file")));
  EXPECT_EQ(PPDDataBlocks::ForFile(path), nullptr);

  // The store says something else than the file, so the answer shows which path was taken.
  auto blocks = std::make_unique<PPDDataBlocks>();
  Feed(*blocks, PPDText(BlockOf("KRBlock", "from the store")));
  blocks->Register(*FileIdentity::OfPath(path));
  EXPECT_EQ(PPDDataBlocks::ForFile(path), blocks.get());
  EXPECT_EQ(PPDDataBlocks::ForFile(dir.path().string() + "/./queue.ppd"), blocks.get());
  EXPECT_EQ(PPDDataBlocks::ForFile(other), nullptr);
  EXPECT_EQ(quill::ReadPPDDataBlock(path, "KRBlock"), "from the store");
  EXPECT_EQ(quill::ReadPPDDataBlock(other, "KRBlock"), "other file");

  // Rewritten (as the spooler side does when it stores a block): read from the file again.
  {
    std::ofstream out(path, std::ios::app);
    out << "*KRMore: \"x\"\n";
  }
  EXPECT_EQ(PPDDataBlocks::ForFile(path), nullptr);
  EXPECT_EQ(quill::ReadPPDDataBlock(path, "KRBlock"), "from the file");

  blocks->Register(*FileIdentity::OfPath(path));
  EXPECT_EQ(quill::ReadPPDDataBlock(path, "KRBlock"), "from the store");
  blocks.reset();  // gone: unregistered
  EXPECT_EQ(PPDDataBlocks::ForFile(path), nullptr);
  EXPECT_EQ(quill::ReadPPDDataBlock(path, "KRBlock"), "from the file");
}

}  // namespace
