#include "server/CFileHdlr.h"

#include <cups/http.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "ppddata/BlockTestData.h"
#include "server/RecordBase64.h"
#include "support/TempDir.h"

namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;
using namespace quill::testing;

constexpr unsigned long kMaxPayload = 16777216;

// The writer's text for one section (its copy on standard error is swallowed).
std::string Section(const char* name, const std::string& payload) {
  std::string out;
  ::testing::internal::CaptureStderr();
  CFileHdlr::fileWriteData(name, payload.data(), payload.size(), &out);
  ::testing::internal::GetCapturedStderr();
  return out;
}

// Record lines for `stream` made without the writer: one record per 158 bytes, padded Base64,
// then the empty terminating record.
std::string Records(const std::string& name, const std::string& stream) {
  std::string text;
  std::vector<std::string> values = Base64Chunks(stream);
  for (unsigned i = 0; i < values.size(); ++i)
    text += NumberedName(name, i) + ": " + values[i] + "\n";
  return text + NumberedName(name, static_cast<unsigned>(values.size())) + ": \n";
}

std::optional<std::string> Take(char* data, const unsigned long& length) {
  std::unique_ptr<char, decltype(&std::free)> owner(data, &std::free);
  if (data == nullptr) {
    EXPECT_EQ(length, 0u);
    return std::nullopt;
  }
  EXPECT_EQ(data[length], '\0');
  return std::string(data, length);
}

// Reads section `name` out of `text`; nothing for a null result.
std::optional<std::string> Read(std::string text, const char* name, std::string* errors = nullptr) {
  unsigned long length = 99;
  ::testing::internal::CaptureStderr();
  char* data = CFileHdlr::stringReadData(text, name, &length);
  std::string captured = ::testing::internal::GetCapturedStderr();
  if (errors != nullptr) *errors = captured;
  return Take(data, length);
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

TEST(CFileHdlrRecords, ReadBackWhatTheWriterWrote) {
  const std::string payloads[] = {
      "",
      "x",
      RandomBytes(300),
      RandomBytes(5000, 2),
      SampleText(200000),
      RandomBytes(100000, 3),
      std::string("wide\0\0\0text\0", 12),
  };
  // Other sections around the one read, with names that contain each other.
  for (const std::string& payload : payloads) {
    std::string text = Section("TrayInfoX", "decoy " + payload) + Section("TrayInfo", payload) +
                       Section("Tray", SampleText(3000));
    std::string errors;
    auto data = Read(text, "TrayInfo", &errors);
    ASSERT_TRUE(data) << payload.size();
    EXPECT_EQ(*data, payload) << payload.size();
    EXPECT_EQ(errors, "") << payload.size();
  }
}

TEST(CFileHdlrRecords, WriterFormsRecordLinesAndBlocks) {
  EXPECT_EQ(Section("TonerInfo", ""), "TonerInfo0000: \n");

  const std::string payload = RandomBytes(3000, 4);
  std::string out;
  ::testing::internal::CaptureStderr();
  CFileHdlr::fileWriteData("TonerInfo", payload.data(), payload.size(), &out);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), out);

  // Blocks of under 1022 bytes, each but the last closed by an empty line.
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t gap; (gap = out.find("\n\n", start)) != std::string::npos; start = gap + 2) {
    EXPECT_LT(gap + 1 - start, 1022u);
  }
  EXPECT_LT(out.size() - start, 1022u);
  std::istringstream in(Replace(out, "\n\n", "\n"));
  for (std::string line; std::getline(in, line);) lines.push_back(line);

  const std::string stream = Deflate(payload);
  const std::vector<std::string> chunks = Chunks(stream);
  ASSERT_EQ(lines.size(), chunks.size() + 1);
  for (unsigned i = 0; i < chunks.size(); ++i) {
    std::string value = Base64(chunks[i]);
    if (chunks[i].size() == 158) value.pop_back();  // 211 characters: the last "=" is dropped
    EXPECT_EQ(lines[i], NumberedName("TonerInfo", i) + ": " + value);
  }
  EXPECT_EQ(lines.back(), NumberedName("TonerInfo", static_cast<unsigned>(chunks.size())) + ": ");
}

TEST(CFileHdlrRecords, StreamOfWholeChunksEndsWithAnEmptyRecord) {
  // Find a payload whose stream length is a multiple of 158.
  std::string payload;
  for (size_t size = 100; size < 2000 && payload.empty(); ++size) {
    std::string candidate = RandomBytes(size, 5);
    if (Deflate(candidate).size() % 158 == 0) payload = candidate;
  }
  ASSERT_FALSE(payload.empty());
  size_t chunks = Deflate(payload).size() / 158;
  std::string text = Section("PresetsData", payload);
  EXPECT_THAT(text,
              HasSubstr(NumberedName("PresetsData", static_cast<unsigned>(chunks)) + ": \n" +
                        NumberedName("PresetsData", static_cast<unsigned>(chunks + 1)) + ": \n"));
  EXPECT_EQ(Read(text, "PresetsData"), payload);
}

TEST(CFileHdlrRecords, WriterRefusesBadArguments) {
  std::vector<char> too_big(kMaxPayload + 1, 'a');
  std::string out;
  CFileHdlr::fileWriteData("Big", too_big.data(), too_big.size(), &out);
  CFileHdlr::fileWriteData(nullptr, "abc", 3, &out);
  CFileHdlr::fileWriteData("Null", nullptr, 3, &out);
  CFileHdlr::fileWriteData("Null", "abc", 3, nullptr);
  EXPECT_EQ(out, "");
}

TEST(CFileHdlrRecords, KeepsAtMost16MiB) {
  std::string errors;
  auto data = Read(Section("Big", std::string(kMaxPayload, 'z')), "Big", &errors);
  ASSERT_TRUE(data);
  EXPECT_EQ(data->size(), kMaxPayload);
  EXPECT_EQ(errors, "");

  data = Read(Records("Big", Deflate(std::string(kMaxPayload + 1, 'z'))), "Big", &errors);
  ASSERT_TRUE(data);
  EXPECT_EQ(data->size(), kMaxPayload);
  EXPECT_EQ(errors, "ERROR: inflate returned -5 (buffer error)\n");
}

TEST(CFileHdlrRecords, ReadsLinesEndedByLfCrOrCrLf) {
  const std::string payload = SampleText(20000);
  const std::string text = Section("ServerInfo", payload);
  for (const char* end : {"\n", "\r", "\r\n"}) {
    EXPECT_EQ(Read(Replace(text, "\n", end), "ServerInfo"), payload) << int(end[0]);
  }
}

TEST(CFileHdlrRecords, FindsRecordsAnywhereInALine) {
  const std::string payload = SampleText(5000);
  const std::string stream = Deflate(payload);
  std::vector<std::string> values = Base64Chunks(stream);
  ASSERT_GE(values.size(), 3u);

  // A keyword before every record and empty lines between them.
  std::string prefixed;
  for (unsigned i = 0; i <= values.size(); ++i) {
    prefixed += "*%KRTSpecialOption: *" + NumberedName("DMT_Injection", i) + ": " +
                (i < values.size() ? values[i] : "") + "\n\n";
  }
  EXPECT_EQ(Read(prefixed, "*DMT_Injection"), payload);

  // The first line holding a record's name wins, and the first place in it: a decoy line for
  // record 1 before the section is used, and the broken real record 1 is not.
  std::string text = Records("CDIHelpStrings", stream);
  text = Replace(text, "CDIHelpStrings0001: " + values[1], "CDIHelpStrings0001: !!broken!!");
  std::string decoy = "note CDIHelpStrings0001: " + values[1] + "CDIHelpStrings0001: junk\n";
  EXPECT_EQ(Read(decoy + text, "CDIHelpStrings"), payload);
  EXPECT_NE(Read(text, "CDIHelpStrings"), payload);
}

TEST(CFileHdlrRecords, EndsAtAMissingOrUnreadableRecord) {
  const std::string payload = SampleText(60000);
  const std::string stream = Deflate(payload);
  const std::string text = Records("TrayInfo", stream);
  const std::string first_two = InflatePrefix(stream.substr(0, 2 * 158));
  ASSERT_LT(first_two.size(), payload.size());

  std::string missing_2 = Replace(text, "TrayInfo0002", "TrayInfoGone");
  std::string not_base64 = Replace(text, "TrayInfo0002: ", "TrayInfo0002: ***");
  not_base64.insert(not_base64.find("***") + 3, "\n");

  struct Case {
    const char* what;
    std::string text;
    const char* name;
    std::string expected;
  } cases[] = {
      {"no such section", text, "TonerInfo", ""},
      {"record 0002 missing", missing_2, "TrayInfo", first_two},
      {"record 0002 not Base64", not_base64, "TrayInfo", first_two},
      {"name at the end of a line", "TrayInfo0000\n", "TrayInfo", ""},
      {"one character after the name", "TrayInfo0000:", "TrayInfo", ""},
  };
  for (const Case& c : cases) {
    std::string errors;
    auto data = Read(c.text, c.name, &errors);
    ASSERT_TRUE(data) << c.what;
    EXPECT_EQ(*data, c.expected) << c.what;
    EXPECT_EQ(errors, "") << c.what;
  }
}

TEST(CFileHdlrRecords, StopsAtCorruptData) {
  const std::string payload = SampleText(20000);
  std::string stream = Deflate(payload);

  std::string bad_header = stream;
  bad_header[0] = 0x01;
  std::string errors;
  auto data = Read(Records("QueuePropList", bad_header), "QueuePropList", &errors);
  ASSERT_TRUE(data);
  EXPECT_EQ(*data, "");
  // One report: the reader stops at the first error.
  EXPECT_EQ(errors, "ERROR: inflate returned -3 (incorrect header check)\n");

  // Garbage in the middle: the data of the good records before it is kept.
  std::string garbled = stream;
  garbled.replace(158, 158, std::string(158, '\xff'));
  data = Read(Records("QueuePropList", garbled), "QueuePropList", &errors);
  ASSERT_TRUE(data);
  EXPECT_THAT(*data, StartsWith(InflatePrefix(stream.substr(0, 158))));
  EXPECT_NE(*data, payload);
  EXPECT_THAT(errors, StartsWith("ERROR: inflate returned -3 ("));
  EXPECT_EQ(errors.find("ERROR", 1), std::string::npos);

  // A value cut short in the middle of the section.
  std::string text = Records("QueuePropList", stream);
  std::string value_1 = Base64Chunks(stream)[1];
  text = Replace(text, value_1, value_1.substr(0, 100));
  data = Read(text, "QueuePropList", &errors);
  ASSERT_TRUE(data);
  EXPECT_LT(data->size(), payload.size());

  // A stream that asks for a preset dictionary cannot go on.
  data = Read(Records("X", Deflate("abc", "dictionary")), "X", &errors);
  ASSERT_TRUE(data);
  EXPECT_EQ(errors, "ERROR: inflate returned 2 (need dictionary)\n");
}

TEST(CFileHdlrRecords, EndsWhenTheStreamEndsOrRecordsRepeat) {
  // Bytes after the end of the stream and records after it are ignored.
  std::string text = Records("ListLockedKeys", Deflate("locked=1") + "trailing");
  text = Replace(text, "ListLockedKeys0001: ", "ListLockedKeys0001: " + Base64("more"));
  EXPECT_EQ(Read(text, "ListLockedKeys"), "locked=1");

  // Names of 36 characters still tell records apart; longer ones are cut, and records start to
  // look the same.
  const std::string payload = SampleText(3000);
  const std::string name36(36, 'N');
  EXPECT_EQ(Read(Section(name36.c_str(), payload), name36.c_str()), payload);
  const std::string name45(45, 'N');
  EXPECT_TRUE(Read(Section(name45.c_str(), payload), name45.c_str()));
  // With a name of 40 characters every counter is cut off, so every record is the first one
  // again: it is read once. (Its stored block leaves the stream open for more.)
  const std::string name40(40, 'N');
  std::string open_stream = std::string("\x78\x01\x00\x03\x00\xfc\xff", 7) + "abc";
  std::string errors;
  EXPECT_EQ(Read(name40 + ": " + Base64(open_stream) + "\n", name40.c_str(), &errors), "abc");
  EXPECT_EQ(errors, "");
}

TEST(CFileHdlrRecords, UsesAtMost255CharactersOfAValue) {
  // Record 0 holds the first 120 bytes of the stream, padded to 255 characters with characters
  // the decoder skips, then Base64 that would spoil the stream if it were read.
  const std::string payload = SampleText(2000);
  const std::string stream = Deflate(payload);
  ASSERT_GT(stream.size(), 120u);
  std::string value_0 = Base64(stream.substr(0, 120));
  ASSERT_EQ(value_0.size(), 160u);
  value_0 += std::string(255 - value_0.size(), '*') + Base64("spoil");
  std::string text = "Data0000: " + value_0 + "\n";
  std::vector<std::string> rest = Base64Chunks(stream.substr(120));
  for (unsigned i = 0; i < rest.size(); ++i) {
    text += NumberedName("Data", i + 1) + ": " + rest[i] + "\n";
  }
  EXPECT_EQ(Read(text, "Data"), payload);
}

TEST(CFileHdlrRecords, HandlesNulBytesInTheText) {
  const std::string payload = SampleText(4000);
  std::string text = std::string("junk\0line\n", 10) + Section("Presets", payload);
  EXPECT_EQ(Read(text, "Presets"), payload);

  // A NUL inside a value ends the value there, as the end of the line would.
  std::string head = Base64Chunks(Deflate(payload))[0].substr(0, 80);
  ASSERT_NE(text.find(head), std::string::npos);
  auto with_nul = Read(Replace(text, head, head.substr(0, 40) + '\0' + head.substr(40)), "Presets");
  auto with_end = Read(Replace(text, head, head.substr(0, 40) + '\n' + head.substr(40)), "Presets");
  ASSERT_TRUE(with_nul);
  EXPECT_EQ(with_nul, with_end);
  EXPECT_NE(with_nul, payload);
}

// The record decoder must read every value as libcups' decoder does with the readers' limit of
// 158 bytes: skipped characters, "=" and NUL inside a group, short groups, values past the limit.
TEST(CFileHdlrRecords, DecoderAgreesWithLibcups) {
  std::vector<std::string> values = {
      "", "Q", "QQ", "QUI", "QUJD", "QUI=", "QU=JD", "QU!JD", "Q U J D", "QUJD-_.", "====",
      "QUJDRA==x", "\x80QUJDRA", std::string("QU\0JD", 5), "QUJ\nDRA", "*QUJD*QUJD*QUJD*",
      std::string(211, 'A'), std::string(212, '/'), std::string(255, 'z'),
      std::string(200, 'A') + "==" + std::string(50, 'B'), std::string(213, 'A') + "*QQ",
  };
  std::mt19937 gen(5);
  const std::string alphabet =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  for (int i = 0; i < 2000; ++i) {
    std::string value(gen() % 256, '\0');
    for (char& c : value) {
      // Mostly alphabet characters, with a few of anything else (NUL and "=" included).
      c = gen() % 16 != 0 ? alphabet[gen() % 64] : static_cast<char>(gen() & 0xFF);
    }
    values.push_back(value);
  }
  for (const std::string& value : values) {
    std::string nul_ended = value;  // libcups reads up to the first NUL
    char expected[256];
    int expected_size = 159;
    ASSERT_NE(httpDecode64_2(expected, &expected_size, nul_ended.c_str()), nullptr);
    unsigned char got[256];
    std::size_t got_size = quill::DecodeRecordBase64(value.data(), value.size(), got, 158);
    ASSERT_EQ(got_size, static_cast<std::size_t>(expected_size)) << value;
    EXPECT_EQ(std::string(reinterpret_cast<char*>(got), got_size),
              std::string(expected, static_cast<std::size_t>(expected_size)))
        << value;
  }
}

// Reads `stream` cut into records the plain way: one record at a time into zlib, stopping at the
// first error or at the end of the stream.
std::string InflateRecordByRecord(const std::string& stream) {
  z_stream z{};
  EXPECT_EQ(inflateInit(&z), Z_OK);
  std::string out;
  char buffer[4096];
  int code = Z_OK;
  for (std::size_t at = 0; at < stream.size() && code == Z_OK; at += 158) {
    std::string chunk = stream.substr(at, 158);
    z.next_in = reinterpret_cast<Bytef*>(chunk.data());
    z.avail_in = static_cast<uInt>(chunk.size());
    while (z.avail_in > 0 && code == Z_OK) {
      z.next_out = reinterpret_cast<Bytef*>(buffer);
      z.avail_out = sizeof buffer;
      code = inflate(&z, Z_NO_FLUSH);
      out.append(buffer, sizeof buffer - z.avail_out);
    }
  }
  inflateEnd(&z);
  return out;
}

// Records are taken in large batches; what comes out must still be what feeding them one by one
// gives, wherever in a batch the stream goes bad, and out-of-order lines are still found.
TEST(CFileHdlrRecords, LongSectionsReadAsRecordByRecord) {
  std::mt19937 gen(9);
  std::string payload(400000, '\0');
  for (char& c : payload) c = static_cast<char>('a' + gen() % 16);  // deflates to about half
  const std::string stream = Deflate(payload);
  ASSERT_GT(stream.size(), 3u * 65536);
  for (std::size_t bad_at : {std::size_t{65536 - 10}, std::size_t{65536 + 158 * 3 + 7},
                             std::size_t{150000}, stream.size() - 3}) {
    std::string garbled = stream;
    for (std::size_t i = bad_at; i < std::min(bad_at + 40, garbled.size()); ++i) garbled[i] = '\xff';
    std::string errors;
    auto data = Read(Records("PresetsData", garbled), "PresetsData", &errors);
    ASSERT_TRUE(data);
    EXPECT_EQ(*data, InflateRecordByRecord(garbled)) << bad_at;
    EXPECT_THAT(errors, StartsWith("ERROR: inflate returned ")) << bad_at;
    EXPECT_EQ(errors.find("ERROR", 1), std::string::npos) << bad_at;
  }

  // The lines in reverse order, each with a keyword before the name.
  std::string text = Records("PresetsData", stream);
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back("*Key " + line);
  std::string reversed;
  for (auto it = lines.rbegin(); it != lines.rend(); ++it) reversed += *it + "\n";
  EXPECT_EQ(Read(reversed, "PresetsData"), payload);
}

TEST(CFileHdlrRecords, NullAndEmptyInputs) {
  std::string text = Section("A", "abc");
  unsigned long length = 5;
  EXPECT_EQ(CFileHdlr::stringReadData(text, nullptr, &length), nullptr);
  EXPECT_EQ(length, 0u);
  std::string empty;
  length = 5;
  EXPECT_EQ(CFileHdlr::stringReadData(empty, "A", &length), nullptr);
  EXPECT_EQ(length, 0u);
  char* data = CFileHdlr::stringReadData(text, "A", nullptr);
  ASSERT_NE(data, nullptr);
  EXPECT_STREQ(data, "abc");
  std::free(data);
}

TEST(CFileHdlrFile, ReadsSectionsFromAFile) {
  TempDir dir;
  const std::string payload = RandomBytes(7000, 6);
  std::string path = dir.Write(
      "queue.bididata",
      Replace(Section("BidiData", payload) + Section("TonerInfo", "toner"), "\n", "\r\n"));
  unsigned long length = 0;
  EXPECT_EQ(Take(CFileHdlr::fileReadData(path.data(), "BidiData", &length), length), payload);
  EXPECT_EQ(Take(CFileHdlr::fileReadData(path.data(), "TonerInfo", &length), length), "toner");
  EXPECT_EQ(Take(CFileHdlr::fileReadData(path.data(), "TrayInfo", &length), length), "");

  std::string empty = dir.Write("empty.bididata", "");
  EXPECT_EQ(Take(CFileHdlr::fileReadData(empty.data(), "BidiData", &length), length), "");

  std::string missing = (dir.path() / "missing.bididata").string();
  ::testing::internal::CaptureStdout();
  length = 3;
  EXPECT_EQ(CFileHdlr::fileReadData(missing.data(), "BidiData", &length), nullptr);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "Failed to open the file.\n");
  EXPECT_EQ(length, 0u);
  EXPECT_EQ(CFileHdlr::fileReadData(nullptr, "BidiData", &length), nullptr);
  EXPECT_EQ(CFileHdlr::fileReadData(path.data(), nullptr, &length), nullptr);
}

TEST(CFileHdlrFile, GathersTextAndCommitsItToTheFile) {
  TempDir dir;
  std::string path = (dir.path() / "out.txt").string();
  {
    CFileHdlr file(path);
    EXPECT_EQ(file.Commit(), -1);
    EXPECT_EQ(file.AddString("count="), 6);
    EXPECT_EQ(file.AddInt(-42), 3);
    EXPECT_EQ(file.AddString(" scale="), 7);
    EXPECT_EQ(file.AddFloat(0.1f), 3);
    EXPECT_EQ(file.AddFloat(1e7f), 5);
    EXPECT_EQ(file.Commit(), 24);
    EXPECT_EQ(file.Commit(), -1);
    EXPECT_EQ(file.AddString("dropped"), 7);
    EXPECT_EQ(file.Discard(), 7);
    EXPECT_EQ(file.Discard(), -1);
  }
  std::ifstream in(path, std::ios::binary);
  std::string written((std::istreambuf_iterator<char>(in)), {});
  EXPECT_EQ(written, "count=-42 scale=0.11e+07");

  CFileHdlr reader(path, "rb");
  EXPECT_EQ(reader.AddString("x"), 1);
  EXPECT_EQ(reader.Commit(), -1);  // a reader has no file to write
  CFileHdlr nameless("");
  EXPECT_EQ(nameless.AddInt(1), 1);
  EXPECT_EQ(nameless.Commit(), -1);
}

TEST(CFileHdlrGetline, SplitsAtEveryKindOfLineEnd) {
  struct Case {
    std::string text;
    std::vector<std::string> lines;
  } cases[] = {
      {"a\nb\rc\r\nd", {"a", "b", "c", "d"}},
      {"a\n", {"a"}},
      {"a\n\nb\r\r\n", {"a", "", "b", ""}},
      {"\r\n\n", {"", ""}},
      {"", {}},
      {std::string("n\0ul\n", 5), {std::string("n\0ul", 4)}},
  };
  for (const Case& c : cases) {
    std::istringstream in(c.text);
    std::vector<std::string> lines;
    std::string line;
    while (!CFileHdlr::safeGetline_(in, line).eof()) lines.push_back(line);
    EXPECT_EQ(lines, c.lines) << c.text;
    EXPECT_EQ(line, "");
  }
}

}  // namespace
