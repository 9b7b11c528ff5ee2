#include "output/KRTJobTicket.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <map>

#include "OutputFixtures.h"
#include "PPDX/PPDObjects/Controls/PPDXJobNote.h"
#include "foundation/PointerList.h"
#include "platform/PrintSettings.h"

namespace quill::testing {
namespace {

using Piece = KRTJobTicket::Piece;

class JobTicketTest : public OutputTest {
 protected:
  PrintSettings settings_;
  PrintSettingsTicket settingsTicket_{nullptr, &settings_};
  KRTJobTicket ticket_{&settingsTicket_, &settings_, CreatePostscriptDataFileKey()};
};

// A job note whose feature block is 53 bytes plus its text: "%%BeginFeature: *KRNote <text>\n",
// "%%EmptyOption\n\n", "%%EndFeature\n".
std::unique_ptr<PPDXJobNote> NoteOfText(const char* keyword, const std::string& text) {
  PointerList flags;
  return std::make_unique<PPDXJobNote>(keyword, "Note", flags, nullptr, 0, new CString(text.c_str()),
                                       nullptr, true, 0, 0, 0);
}

TEST_F(JobTicketTest, StoredFormRoundTripsEveryPieceInOrder) {
  const std::vector<Piece> pieces = {
      {kSiteBareKeyword, "*Duplex"},
      {kSiteJobNote, "%%KRTCustom1: x\n"},
      {kSiteJobNote, "%%KRTCustom1: x\n"},  // the same text twice stays twice
      {kSiteFeature, std::string("\0\xFF<&>\x01", 6)},
      {kSiteLayoutHeader, ""},
      {INT32_MIN, "min"},
      {INT32_MAX, "max"},
  };
  for (const Piece& piece : pieces) ticket_.Add(piece.site, piece.data);
  const std::string* xml = ticket_.Save();
  ASSERT_NE(xml, nullptr);
  EXPECT_NE(xml->find("<integer>-9</integer>"), std::string::npos) << *xml;
  EXPECT_NE(xml->find("<data>"), std::string::npos);
  EXPECT_EQ(KRTJobTicket::Parse(*xml), pieces);
}

TEST_F(JobTicketTest, EmptyTicketIsAnEmptyRootArray) {
  const std::string* xml = ticket_.Save();
  ASSERT_NE(xml, nullptr);
  EXPECT_EQ(KRTJobTicket::Parse(*xml), std::vector<Piece>());
  EXPECT_TRUE(xml->find("<array/>") != std::string::npos ||
              xml->find("<array>\n</array>") != std::string::npos)
      << *xml;
}

TEST_F(JobTicketTest, ParseRefusesOtherShapes) {
  const char* texts[] = {
      "",
      "not xml",
      "<plist version=\"1.0\"><dict/></plist>",
      "<plist version=\"1.0\"><array><integer>30</integer></array></plist>",
      "<plist version=\"1.0\"><array><data>eA==</data><integer>30</integer></array></plist>",
      "<plist version=\"1.0\"><array><integer>4294967296</integer><data>eA==</data></array></plist>",
      "<plist version=\"1.0\"><array><integer>30</integer><string>x</string></array></plist>",
  };
  for (const char* text : texts) EXPECT_FALSE(KRTJobTicket::Parse(text)) << text;
}

TEST_F(JobTicketTest, ControlBlocksGoUnderTheirSiteAndPageSizeUnder70) {
  auto ppd = Load();
  PPDXControl* page_size = ppd->GetControls()->FindPopup("*PageSize", true);
  ASSERT_NE(page_size, nullptr);
  EXPECT_TRUE(ticket_.Add(kSiteFeature, page_size));
  auto note = NoteOfText("*KRNote", "hi");
  EXPECT_TRUE(ticket_.Add(kSiteFeature, note.get()));
  EXPECT_FALSE(ticket_.Add(kSiteFeature, static_cast<PPDXControl*>(nullptr)));

  ASSERT_EQ(ticket_.Count(), 2u);
  const auto& pieces = *ticket_.Pieces();
  EXPECT_EQ(pieces[0].site, kSitePageSize);
  EXPECT_EQ(pieces[0].data.rfind("%%BeginFeature: *PageSize A4\n", 0), 0u) << pieces[0].data;
  EXPECT_EQ(pieces[1], (Piece{kSiteFeature,
                              "%%BeginFeature: *KRNote hi\n%%EmptyOption\n\n%%EndFeature\n"}));
}

TEST_F(JobTicketTest, BlocksOf1025BytesOrMoreAreLeftOut) {
  for (auto [text_size, added] : {std::pair{971u, true}, {972u, false}, {5000u, false}}) {
    auto note = NoteOfText("*KRNote", std::string(text_size, 'x'));
    ASSERT_EQ(note->PostScript(nullptr), static_cast<long>(53 + text_size));
    ticket_.Create();
    EXPECT_EQ(ticket_.Add(kSiteFeature, note.get()), added) << text_size;
    EXPECT_EQ(ticket_.Count(), added ? 1u : 0u);
  }
}

TEST_F(JobTicketTest, SaveNamesTheFileInTheCacheAndWritesTheKey) {
  const std::string key = "KRT.PSData." + std::string(kQuillPanelKind);
  EXPECT_EQ(CreatePostscriptDataFileKey(), key);
  ASSERT_NE(ticket_.Save(), nullptr);
  const std::string first = ticket_.FileName();
  EXPECT_EQ(first.rfind("/Library/Caches/KRT/Quill.temp", 0), 0u) << first;
  EXPECT_EQ(first.size(), std::strlen(KRTJobTicket::kTicketPrefix) + 36);
  EXPECT_EQ(settings_.GetString(key), first);
  // From 10.7 on the filter writes the file, not the panel.
  EXPECT_FALSE(std::filesystem::exists(Paths::Resolve(first)));

  ASSERT_NE(ticket_.Save(), nullptr);
  EXPECT_NE(ticket_.FileName(), first);  // two prints, two files
  EXPECT_EQ(settings_.GetString(key), ticket_.FileName());
}

TEST_F(JobTicketTest, BeforeTenSevenSaveWritesTheFileItself) {
  SystemInfo::SetVersion({10, 6});
  std::filesystem::create_directories(root_.path() / "tmp");
  ticket_.Add(kSiteJobNote, std::string_view("%%KRTCustom1: a\n"));
  const std::string* xml = ticket_.Save();
  ASSERT_NE(xml, nullptr);
  const std::string name = ticket_.FileName();
  EXPECT_EQ(name.rfind("/tmp/Quill.temp", 0), 0u) << name;
  const std::string path = Paths::Resolve(name);
  EXPECT_EQ(ReadFile(path), *xml);
  struct stat info {};
  ASSERT_EQ(stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0644u);  // readable by the filter, changeable by nobody else
  // No half ticket and no key when the file cannot be written.
  std::filesystem::remove_all(root_.path() / "tmp");
  settings_.Clear();
  std::string error;
  EXPECT_EQ(ticket_.Save(&error), nullptr);
  EXPECT_NE(error.find("cannot create the ticket file"), std::string::npos) << error;
  EXPECT_FALSE(settings_.Contains(CreatePostscriptDataFileKey()));
  EXPECT_EQ(ticket_.XMLData(), nullptr);
}

TEST_F(JobTicketTest, DiscardedTicketIsNeverSavedOrHandedOver) {
  ticket_.Add(kSiteFeature, std::string_view("half"));
  ticket_.Discard();
  ticket_.Add(kSiteFeature, std::string_view("ignored"));
  EXPECT_EQ(ticket_.Pieces(), nullptr);
  std::string error;
  EXPECT_EQ(ticket_.Save(&error), nullptr);
  EXPECT_FALSE(ticket_.HandToFilter(nullptr, &error));
  EXPECT_NE(error.find("cannot save the job ticket"), std::string::npos) << error;
  EXPECT_TRUE(settings_.Empty());
  ticket_.Create();
  EXPECT_NE(ticket_.Save(), nullptr);
}

TEST_F(JobTicketTest, TruncateTakesLaterPiecesBack) {
  for (const char* text : {"a", "b", "c"}) ticket_.Add(kSiteFeature, std::string_view(text));
  ticket_.Truncate(1);
  ticket_.Truncate(5);
  EXPECT_EQ(*ticket_.Pieces(), (std::vector<Piece>{{kSiteFeature, "a"}}));
}

TEST_F(JobTicketTest, HandingOverWithoutAPrinterStopsThePrint) {
  std::string error;
  EXPECT_FALSE(ticket_.HandToFilter(nullptr, &error));
  EXPECT_EQ(error, "cannot hand the job ticket to the filter: no printer");
  // Before 10.7 the file is the hand-over.
  SystemInfo::SetVersion({10, 6});
  std::filesystem::create_directories(root_.path() / "tmp");
  EXPECT_TRUE(ticket_.HandToFilter(nullptr, &error));
}

TEST_F(JobTicketTest, OptionValuesReachTheSettingsButTwoNeverDo) {
  auto ppd = Load();
  ticket_.SavePPDForAllKeys(ppd.get(), "unused");
  EXPECT_EQ(settings_.GetString("*PageSize"), "A4");
  EXPECT_FALSE(settings_.Contains("*KRGrayOverride"));

  settings_.Clear();
  settingsTicket_.Set("", "", {{"*krspotpriority", "1"}, {"*KRGRAYOVERRIDE", "On"}, {"*Duplex", "None"}});
  EXPECT_EQ(settings_.Keys(), std::vector<std::string>{"*Duplex"});
}

TEST_F(JobTicketTest, GetReadsThirtyTwoBitIntegers) {
  settings_.SetInteger("n", 6);
  settings_.SetString("text", "-12");
  settings_.SetString("word", "12a");
  settings_.SetInteger("big", int64_t{1} << 40);
  struct Row {
    const char* key;
    int status;
    int value;
  };
  const Row rows[] = {{"n", 1, 6},       {"text", 1, -12}, {"word", 0, 99},
                      {"big", 0, 99},    {"none", JobTicket::kNotFound, 99}};
  for (const Row& row : rows) {
    int value = 99;
    EXPECT_EQ(settingsTicket_.Get(row.key, value), row.status) << row.key;
    EXPECT_EQ(value, row.value) << row.key;
  }
  PrintSettingsTicket without(nullptr, nullptr);
  int value = 0;
  EXPECT_EQ(without.Get("n", value), JobTicket::kNoSettings);
}

TEST_F(JobTicketTest, RandomFileNamesFitTheirBuffer) {
  char out[KRTJobTicket::kMaxPath + 1];
  const std::string plain = KRTJobTicket::CreateRandomFileName(nullptr, out);
  EXPECT_EQ(plain.size(), 36u);
  EXPECT_STREQ(out, plain.c_str());
  const std::string prefix(300, 'p');
  std::memset(out, 'z', sizeof out);
  const std::string long_name = KRTJobTicket::CreateRandomFileName(prefix.c_str(), out);
  EXPECT_EQ(long_name.size(), 336u);
  EXPECT_EQ(std::strlen(out), KRTJobTicket::kMaxPath);
}

}  // namespace
}  // namespace quill::testing
