// Data blocks of a parsed PPD: read from what the parse collected while the tree lives, they equal
// what libcups reads from the same file, whole or damaged, wherever in the file they stand.
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "ParserFixture.h"
#include "ppddata/BlockTestData.h"
#include "ppddata/CupsPPD.h"
#include "ppddata/KRPDEData.h"
#include "ppddata/PPDDataBlock.h"
#include "ppddata/PPDDataBlocks.h"
#include "server/CPPDMsgHdlr.h"

using namespace parser_test;
using namespace quill::testing;

namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string Lines(const Attributes& attributes) {
  std::string text;
  for (const auto& [name, value] : attributes) text += "*" + name + ": \"" + value + "\"\n";
  return text;
}

// A block's data as ppdxReadData gives it, or "(null)"; with what went to standard error.
struct Read {
  std::string data;
  std::string errors;
  bool operator==(const Read&) const = default;
};

template <typename Source>
Read ReadBlock(const Source& source, const char* name) {
  ::testing::internal::CaptureStderr();
  size_t size = 99;
  std::unique_ptr<char, decltype(&std::free)> data(ppdxReadData(source, name, &size), &std::free);
  Read read{data ? std::string(data.get(), size) : "(null)", ""};
  read.errors = ::testing::internal::GetCapturedStderr();
  if (!data) {
    EXPECT_EQ(size, 0u);
  }
  return read;
}

void PrintTo(const Read& read, std::ostream* out) {
  *out << read.data.size() << " bytes, errors \"" << read.errors << "\"";
}

const std::string kSample = ReadFile(ExamplePath("QuillSample.ppd"));

}  // namespace

class ParseDataBlocks : public ParserTest {};

TEST_F(ParseDataBlocks, BothReadingPathsAgree) {
  ASSERT_FALSE(kSample.empty());
  const std::string end_marker = "*% End of PPD file";
  const size_t end_at = kSample.find(end_marker);
  ASSERT_NE(end_at, std::string::npos);
  auto sample_with = [&](const std::string& before_end, const std::string& after_end = "") {
    return kSample.substr(0, end_at) + before_end + kSample.substr(end_at) + after_end;
  };

  const std::vector<std::string> chunks = Base64Chunks(Deflate(RandomBytes(900, 7)));
  Attributes cut = BlockAttributes("KRCut", chunks, false);
  cut.resize(3);
  Attributes gap = BlockAttributes("KRGap", chunks);
  gap.erase(gap.begin() + 1);
  std::vector<std::string> bad_chunks = chunks;
  bad_chunks[2] = "*not*base64*";
  std::vector<std::string> half_chunks = chunks;
  half_chunks[1].resize(half_chunks[1].size() / 2);
  // A 34-character block name makes lines over 255 bytes, which the parser reads in pieces.
  const std::string long_name = "KR" + std::string(32, 'L');
  const std::string several =
      Lines(BlockOf("KRPopupJnData", "{ bob = \"1110\\nKRAccount\\n4711\\n\"; }")) +
      Lines(BlockOf("KRLocalJPPresets", SampleText(20000))) +
      Lines(BlockOf("KRInvalidPrinterAddress", "1")) +
      Lines(BlockOf(long_name, RandomBytes(3000, 9)));

  const std::vector<const char*> names = {
      "KRPopupJnData", "KRLocalJPPresets", "KRInvalidPrinterAddress", "KRDriverPreference",
      "KRCut", "KRGap", "KRBad", "KRHalf", "KRBidiData", "KRMissing"};
  const struct {
    const char* name;
    std::string text;
  } files[] = {
      {"the sample", kSample},
      {"several blocks", sample_with(several)},
      {"a block before the end marker",
       sample_with(Lines(BlockOf("KRPopupJnData", "before"))),
       },
      {"blocks behind the end marker", sample_with("", "\n" + several)},
      {"damaged blocks",
       sample_with(Lines(cut) + Lines(gap) + Lines(BlockAttributes("KRBad", bad_chunks)) +
                   Lines(BlockAttributes("KRHalf", half_chunks)))},
      {"blocks behind a fatal error",
       sample_with("*%KRTFlags: *Broken Spooler\n*%KRTGroup: *Broken QPPaperSource\n"
                   "*OpenUI *Broken/Broken: PickOne\n*DefaultBroken: a\n*DefaultBroken: b\n"
                   "*CloseUI: *Broken\n" + several)},
      {"a header libcups takes and the parser does not",
       "*PPD-Adobe: \"4.2\"\n" + kSample.substr(kSample.find('\n') + 1) + several},
  };
  std::vector<std::string> all_names(names.begin(), names.end());
  all_names.push_back(long_name);
  for (const auto& file : files) {
    for (const std::string line_end : {"\n", "\r\n"}) {
      std::string text;
      for (char c : file.text) c == '\n' ? text += line_end : text += c;
      ParsedPPD ppd = Parse(text);
      ASSERT_NE(ppd->DataBlocks(), nullptr);
      quill::CupsPPD cups(path_);
      ASSERT_TRUE(cups) << file.name;
      for (const std::string& name : all_names) {
        EXPECT_EQ(ReadBlock(*ppd->DataBlocks(), name.c_str()), ReadBlock(cups.get(), name.c_str()))
            << file.name << ", block " << name << ", line end " << line_end.size();
      }
    }
  }
}

TEST_F(ParseDataBlocks, ReadersUseTheParsedBlocksWhileTheTreeLives) {
  quill::SystemInfo::SetUserName("bob");
  const std::string record = "1110\nKRAccount\n4711\n\n\n\n\n\n\n\n\n";
  std::string escaped;
  for (char c : record) c == '\n' ? escaped += "\\n" : escaped += c;
  const std::string text =
      kSample + Lines(BlockOf("KRPopupJnData", "{ bob = \"" + escaped + "\"; }")) +
      Lines(BlockOf("KRDriverPreference", std::string("<\0\0\0a\0\0\0>\0\0\0", 12)));

  std::string path;
  {
    ParsedPPD ppd = Parse(text);
    path = path_;
    Globals().currentPPDPath = path;
    EXPECT_EQ(quill::PPDDataBlocks::ForFile(path), ppd->DataBlocks());
    EXPECT_EQ(CPPDMsgHdlr("DriverPreference", path).GetStringData(), L"<a>");
    char out[kKRPDERecordBufferSize];
    int length = -1;
    EXPECT_EQ(KRPDEDataRead("PopupJnData", out, &length), 0);
    EXPECT_EQ(std::string(out, static_cast<size_t>(length)), record);
  }
  // Without a tree the same answers come through libcups.
  EXPECT_EQ(quill::PPDDataBlocks::ForFile(path), nullptr);
  EXPECT_EQ(CPPDMsgHdlr("DriverPreference", path).GetStringData(), L"<a>");
  char out[kKRPDERecordBufferSize];
  int length = -1;
  EXPECT_EQ(KRPDEDataRead("PopupJnData", out, &length), 0);
  EXPECT_EQ(std::string(out, static_cast<size_t>(length)), record);
}
