#include "panel/PDEData.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "PPDX/KRTPPD.h"
#include "PPDX/PPDObjects/Controls/PPDXControl.h"
#include "connection/KRTMeridiaPrinterPList.h"
#include "foundation/ProcessGlobals.h"
#include "panel/PPDTree.h"
#include "panel/SessionText.h"
#include "panel/UI_Panel.h"
#include "platform/Log.h"
#include "platform/PrintSession.h"
#include "platform/PrintSettings.h"
#include "platform/SystemInfo.h"
#include "support/TempDir.h"

namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

// Sets an environment variable for the life of the object.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    ::setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (old_) ::setenv(name_, old_->c_str(), 1);
    else ::unsetenv(name_);
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

// A session on the old system version, where the printer preference list is the file
// $HOME/Library/Preferences/..., so that stored blocks can be tested without a spooler.
class PDEDataTest : public ::testing::Test {
 protected:
  void SetUp() override {
    quill::SystemInfo::SetVersion({10, 6});
    quill::PrintSession::Reset();
    fs::create_directories(home_.path() / "Library/Preferences");
    fs::create_directories(home_.path() / "run");
    ResetProcessGlobals();  // the end-of-PPD latch of an earlier parse
    KRTPPD::Options(kDisplayOrphans | kDisplayHidden);
    ppd_ = std::make_unique<KRTPPD>(quill::testing::FixturePath("Session.ppd"), 3);
  }
  void TearDown() override {
    ppd_.reset();
    KRTPPD::Options(0);
    quill::SystemInfo::Reset();
  }
  std::unique_ptr<PDEData> Session(const std::string& queue = "Press") {
    auto data = std::make_unique<PDEData>(ppd_.get(), queue);
    data->SetPrintSettings(&settings_);
    return data;
  }
  // Stores watermark records for the queue in the preference list file.
  void StoreWatermarks(const std::vector<std::string>& lines) {
    auto data = Session();
    for (const auto& line : lines) data->Watermarks().Add(line.c_str());
    ASSERT_TRUE(data->SaveWatermarksToPreferences());
    ASSERT_TRUE(data->PrinterList()->Save());
  }

  quill::testing::TempDir home_;
  ScopedEnv home_env_{"HOME", home_.path().string()};
  ScopedEnv run_env_{"XDG_RUNTIME_DIR", (home_.path() / "run").string()};
  std::unique_ptr<KRTPPD> ppd_;
  quill::PrintSettings settings_;
};

constexpr const char* kRecord = "0,0,0,192,192,192,0,0,0,450,0,0,72,Helvetica,DRAFT";

TEST_F(PDEDataTest, PPDCopyIsPrivateToTheSessionAndGoesWithIt) {
  quill::SystemInfo::SetVersion({10, 15});
  std::string folder;
  {
    auto data = Session();
    const fs::path copy = data->CopyPath();
    EXPECT_EQ(copy.filename(), "krtcopy.ppd");
    EXPECT_EQ(copy.parent_path().parent_path(), home_.path() / "run");
    folder = copy.parent_path().string();
    struct stat st {};
    ASSERT_EQ(::stat(folder.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_EQ(fs::file_size(copy), fs::file_size(quill::testing::FixturePath("Session.ppd")));
    // Two sessions never share a copy.
    auto other = Session();
    EXPECT_NE(other->CopyPath(), data->CopyPath());
  }
  EXPECT_FALSE(fs::exists(folder));
}

TEST_F(PDEDataTest, CopyNamesFollowTheSystemVersionAndFallBackToTheSource) {
  // Before 10.7 the copy keeps the PPD's name, with ".ppd" added when it has none.
  const std::string bare = (home_.path() / "PressQueue").string();
  fs::copy_file(quill::testing::FixturePath("Session.ppd"), bare);
  ResetProcessGlobals();
  KRTPPD bare_ppd(bare, 3);
  {
    PDEData data(&bare_ppd, "Press");
    EXPECT_EQ(fs::path(data.CopyPath()).filename(), "PressQueue.ppd");
    EXPECT_TRUE(fs::exists(data.CopyPath()));
  }
  // Without any folder to make a private copy in, the session uses the PPD itself.
  quill::SystemInfo::SetVersion({10, 15});
  ScopedEnv no_run("XDG_RUNTIME_DIR", "relative");
  ScopedEnv no_cache("XDG_CACHE_HOME", "relative");
  ScopedEnv no_home("HOME", "/proc/version");
  PDEData data(&bare_ppd, "Press");
  EXPECT_EQ(data.CopyPath(), bare);
}

TEST_F(PDEDataTest, ConstructorGivesTheQueueARecordAndReportsFirstLaunch) {
  auto data = Session();
  EXPECT_TRUE(data->isFirstLaunch());
  EXPECT_EQ(data->PrinterAddress(), "");  // no printer chosen: no device URI
  quill::KRTMeridiaPrinterPList saved;     // reads the file again
  bool found = false;
  saved.Exists("press", found);
  EXPECT_TRUE(found);

  ASSERT_TRUE(data->SetMeridiaPrinterAddress("10.0.0.7", true));
  auto again = Session();
  EXPECT_FALSE(again->isFirstLaunch());
  bool enabled = false;
  EXPECT_EQ(again->GetMeridiaPrinterAddress(&enabled), "10.0.0.7");
  EXPECT_TRUE(enabled);
  EXPECT_TRUE(again->isBIDIEnabled());
}

TEST_F(PDEDataTest, NonPostScriptSettingsRoundTrip) {
  StoreWatermarks({kRecord, kRecord, kRecord});
  auto data = Session();
  data->GetWatermarksFromPreferences();
  ASSERT_EQ(data->Watermarks().Count(), 3);
  data->Watermarks().Select(2);
  data->Watermarks().Selected()->SetFirstPageOnly(true);
  data->MixedMedia().Append(L"*RangeProp1", L"1-3 \u00e9t\u00e9");
  data->MixedMedia().Append(L"*MM_A", L"");
  data->PadCover().Append(L"*PadCoverTray", L"Tray2");
  data->CoverPage().Append(L"*CoverPage_Front", L"Printed");
  data->SlipSheet().Append(L"*SlipSheet_Tray", L"Tray3");
  ASSERT_EQ(data->SaveNonPSSettings(), 0);
  EXPECT_EQ(settings_.GetInteger(".SelectedWatermarkKey"), 2);
  EXPECT_EQ(settings_.GetInteger("WatermarkFirstPageInfo"), 1);
  EXPECT_EQ(settings_.GetString("MMValue1"), "");

  settings_.SetString("*KRPCName", "Gloss 200");
  auto restored = Session();
  restored->GetWatermarksFromPreferences();
  ASSERT_EQ(restored->RestoreNonPSSettings(), 0);
  EXPECT_EQ(restored->Watermarks().SelectedIndex(), 2);
  EXPECT_TRUE(restored->Watermarks().Selected()->FirstPageOnly());
  ASSERT_EQ(restored->MixedMedia().Count(), 2);
  EXPECT_EQ(restored->MixedMedia().At(0)->value, L"1-3 \u00e9t\u00e9");
  EXPECT_EQ(restored->MixedMedia().At(1)->value, L"");
  EXPECT_EQ(restored->PadCover().At(0)->value, L"Tray2");
  EXPECT_EQ(restored->CoverPage().At(0)->key, L"*CoverPage_Front");
  EXPECT_EQ(restored->SlipSheet().At(0)->value, L"Tray3");
  EXPECT_EQ(restored->PaperCatalog().At(1)->value, L"Gloss 200");
  EXPECT_EQ(restored->PaperCatalog().At(0)->value, L"-1");

  // A missing count empties the table's count but leaves its strings.
  settings_.Remove(".MMKey");
  ASSERT_EQ(restored->RestoreNonPSSettings(), 0);
  EXPECT_EQ(restored->MixedMedia().Count(), 0);
  EXPECT_EQ(restored->MixedMedia().At(0)->key, L"*RangeProp1");

  PDEData no_settings(ppd_.get(), "Press");
  EXPECT_EQ(no_settings.SaveNonPSSettings(), -1);
  EXPECT_EQ(no_settings.RestoreNonPSSettings(), -1);
}

TEST_F(PDEDataTest, StoredCountsAndIndexesAreCheckedAgainstTheirTables) {
  StoreWatermarks({kRecord, kRecord});
  std::vector<std::string> log;
  quill::SetLogSink([&](std::string_view m) { log.emplace_back(m); });
  struct Case {
    long long padCount;
    long long watermark;
    int32_t wantCount;
    int wantSelected;
  };
  for (const Case& c : {Case{500, 5, 16, -1}, Case{-3, -7, 0, -1}, Case{2, 1, 2, 1},
                        Case{16, 2, 16, -1}}) {
    settings_.Clear();
    settings_.SetInteger(".PadCov", c.padCount);
    settings_.SetInteger(".SelectedWatermarkKey", c.watermark);
    settings_.SetInteger("WatermarkFirstPageInfo", 1);
    auto data = Session();
    data->GetWatermarksFromPreferences();
    ASSERT_EQ(data->RestoreNonPSSettings(), 0);
    EXPECT_EQ(data->PadCover().Count(), c.wantCount) << c.padCount;
    EXPECT_EQ(data->Watermarks().SelectedIndex(), c.wantSelected) << c.watermark;
  }
  quill::SetLogSink({});
  EXPECT_THAT(log, ::testing::Contains(HasSubstr(".PadCov count 500")));
}

TEST_F(PDEDataTest, TextsAreCutOnCharacterBoundaries) {
  // 200 two-byte characters: 400 bytes, cut to 254 (127 characters), never 255.
  std::wstring wide(200, L'\u00e9');
  auto data = Session();
  data->SlipSheet().Append(L"*SlipSheet_Name", wide);
  ASSERT_EQ(data->SaveNonPSSettings(), 0);
  const std::string stored = *settings_.GetString("SlpShtValue0");
  EXPECT_EQ(stored.size(), 254u);
  EXPECT_EQ(quill::WidenUTF8(stored), std::wstring(127, L'\u00e9'));

  settings_.SetString("SlpShtValue0", std::string(254, 'a') + "\xe2\x82\xac");  // euro at 254..256
  ASSERT_EQ(data->RestoreNonPSSettings(), 0);
  EXPECT_EQ(data->SlipSheet().At(0)->value, std::wstring(254, L'a'));

  settings_.SetString("InputSlot", "Fach\u00e9");
  char slot[6] = "xxxxx";
  EXPECT_EQ(data->GetPrimayPaperFeedFromOS(slot, sizeof slot), 0);
  EXPECT_STREQ(slot, "Fach");  // "é" would not fit with its terminator
}

TEST_F(PDEDataTest, QuickAccessListKeepsOnlyEligibleStoredKeywords) {
  auto data = Session();
  PPDTree stored;
  for (const char* k : {"*KRStaple", "*KRNoSuchOption", "*KRPrinterBidi", "*Duplex", "*PageSize"}) {
    stored.AddShortcut("x", k);
  }
  ASSERT_TRUE(data->SetPPDShortcuts(stored));

  auto again = Session();
  PPDTree tree;
  tree.AddShortcut("old", "*KRMirror");
  ASSERT_TRUE(again->GetPPDShortcuts(tree));
  std::vector<std::string> keywords;
  for (const auto& s : tree.shortcuts) keywords.push_back(s.keyword);
  EXPECT_THAT(keywords, ElementsAre("*KRStaple", "*Duplex"));
  EXPECT_EQ(tree.shortcuts[1].name, "2-Sided Printing");

  PDEData no_queue(ppd_.get(), "");
  EXPECT_FALSE(no_queue.GetPPDShortcuts(tree));
  EXPECT_FALSE(no_queue.SetPPDShortcuts(tree));
}

TEST_F(PDEDataTest, OverLongStoredQuickAccessListIsCut) {
  auto data = Session();
  std::vector<std::string> lines(150, "*Duplex");
  ASSERT_TRUE(data->PrinterList()->AddDataBlob("Press", PDEData::kShortcutsBlock, lines));
  std::vector<std::string> log;
  quill::SetLogSink([&](std::string_view m) { log.emplace_back(m); });
  PPDTree tree;
  ASSERT_TRUE(data->GetPPDShortcuts(tree));
  quill::SetLogSink({});
  EXPECT_EQ(tree.shortcuts.size(), PPDTree::kMaxShortcuts);
  EXPECT_THAT(log, ::testing::Contains(HasSubstr("GetPPDShortcuts")));
}

TEST_F(PDEDataTest, ControlTests) {
  auto data = Session();
  auto control = [&](const char* keyword) { return ppd_->GetPPDXControlForKey(keyword); };
  EXPECT_FALSE(data->IsValidBasicPanelControl(control("*KRColorMode")));  // *KRCurveAdjust exists
  EXPECT_FALSE(data->IsValidBasicPanelControl(control("*KRPrinterBidi")));
  EXPECT_FALSE(data->IsValidBasicPanelControl(control("*KRPureBlack")));    // expert colour
  EXPECT_FALSE(data->IsValidBasicPanelControl(control("*KRFinisher")));     // installable
  EXPECT_FALSE(data->IsValidBasicPanelControl(control("*PageSize")));       // excluded
  EXPECT_FALSE(data->IsValidBasicPanelControl(nullptr));
  EXPECT_TRUE(data->IsValidBasicPanelControl(control("*Duplex")));

  // The same session type on a PPD without *KRCurveAdjust offers the colour mode.
  ResetProcessGlobals();
  KRTPPD::Options(kDisplayOrphans | kDisplayHidden);
  KRTPPD sample(quill::testing::ExamplePath("QuillSample.ppd"), 3);
  PDEData plain(&sample, "Sample");
  EXPECT_TRUE(plain.IsValidBasicPanelControl(sample.GetPPDXControlForKey("*KRColorMode")));

  struct BidiCase {
    const char* keyword;
    bool bidi;
  };
  for (const BidiCase& c : {BidiCase{"Bidi", false}, BidiCase{"*Bidi", true},
                            BidiCase{"*KRBidiMode", false}, BidiCase{nullptr, false}}) {
    EXPECT_EQ(isBidiKeyword(c.keyword), c.bidi) << (c.keyword ? c.keyword : "null");
  }
  EXPECT_TRUE(data->isSpecialTonesmithControl("*KRGrayOverrideEx"));
  EXPECT_FALSE(data->isSpecialTonesmithControl("*KRGray"));
  EXPECT_TRUE(isExpertTonesmithControl("*KRPaperSim"));
  EXPECT_FALSE(isExpertTonesmithControl("*KRPaperSimX"));
}

TEST_F(PDEDataTest, PanelTreePlacesQuickAccessEntriesInTheirGroups) {
  auto data = Session();
  PPDTree tree;
  UI_Panel(data.get()).PopulatePPDTreeStructure(tree);
  std::vector<std::string> quick;
  for (const auto& s : tree.shortcuts) quick.push_back(s.keyword);
  // The PPD's shortcuts that may be shown; *PageSize, the colour mode and the two-way switch may not.
  EXPECT_THAT(quick, ElementsAre("*Duplex", "*KRStaple", "*KRMirror"));
  for (const auto& group : tree.groups) EXPECT_FALSE(group.controls.empty()) << group.keyword;
  // Every entry placed in a group gets 100 x (group + 1) + its place there.
  const PPDTreeShortcut* mirror = GetShortcutFromKeyword(tree, "*KRMirror");
  ASSERT_NE(mirror, nullptr);
  EXPECT_GE(mirror->position, 100);
  EXPECT_EQ(GetShortcutFromKeyword(tree, "*KRColorMode"), nullptr);
}

TEST_F(PDEDataTest, WorkflowUploadIsAbsentWithoutALibrary) {
  auto data = Session();
  PDEData::SetWorkflowClientPath("");
  data->UploadRelayerXMLFiles(2);  // nothing configured: nothing happens
  PDEData::SetWorkflowClientPath((home_.path() / "missing.so").string());
  std::vector<std::string> log;
  quill::SetLogSink([&](std::string_view m) { log.emplace_back(m); });
  data->UploadRelayerXMLFiles(2);
  quill::SetLogSink({});
  PDEData::SetWorkflowClientPath("");
  EXPECT_THAT(log, ::testing::Contains(HasSubstr("cannot load")));
}

}  // namespace
