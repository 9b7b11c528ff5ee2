// UI_Panel's side of the job-properties step on the sample PPD: the settings handed to the module,
// the module's answers taken back (checked before they reach the option tree), presets, resets,
// and whole runs with the stand-in module.
#include <gtest/gtest.h>
#include <plist/plist.h>
#include <pwd.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "PPDX/KRTPPD.h"
#include "PPDX/PPDObjects/Controls/PPDXControl.h"
#include "PPDX/PPDObjects/PPDXControls.h"
#include "bridge/BridgeTestSupport.h"
#include "foundation/ProcessGlobals.h"
#include "panel/PDEData.h"
#include "panel/UI_Panel.h"
#include "panel/UI_PanelReturnTimer.h"
#include "platform/Log.h"
#include "platform/PrintSettings.h"
#include "platform/SystemInfo.h"
#include "server/SDMAllocator.h"
#include "server/SDMText.h"
#include "support/TempDir.h"

namespace quill::testing {
namespace {

namespace fs = std::filesystem;
using Pairs = std::vector<std::pair<std::string, std::string>>;

constexpr const char* kMark = "0,0,0,192,192,192,0,0,0,450,0,0,72,Helvetica,DRAFT";

class UIPanelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(home_.path() / "run");
    setenv("HOME", home_.path().c_str(), 1);
    setenv("XDG_RUNTIME_DIR", (home_.path() / "run").c_str(), 1);
    ResetProcessGlobals();
    KRTPPD::Options(kDisplayOrphans | kDisplayHidden);
    ppd_ = std::make_unique<KRTPPD>(ExamplePath("QuillSample.ppd"), 3);
    data_ = std::make_unique<PDEData>(ppd_.get(), "");
    data_->SetPrintSettings(&settings_);
    panel_ = std::make_unique<UI_Panel>(data_.get());
    SetJPModulePath(QUILL_STANDIN_MODULE);
  }
  void TearDown() override {
    UnloadJPModule();
    SetJPModulePath("");
    panel_.reset();
    data_.reset();
    ppd_.reset();
    KRTPPD::Options(0);
  }
  std::string Value(const char* keyword) {
    CNTL_TYPE type = kBaseControl;
    PPDXControl* c = ppd_->GetControls()->Find(keyword, type, true);
    return c != nullptr ? c->CopyCurrentControlValueString().value_or("") : "(none)";
  }
  Pairs Current() {
    SDMKeyValueList* list = panel_->GetDefaultSettings();
    Pairs out;
    for (const auto& [k, v] : SDMReadKeyValueList(list)) out.emplace_back(UTF8FromWide(k), UTF8FromWide(v));
    UI_Panel::FreeSDMList(list);
    return out;
  }
  static std::string Find(const Pairs& pairs, const std::string& key) {
    for (const auto& [k, v] : pairs) {
      if (k == key) return v;
    }
    return "(absent)";
  }
  void Apply(const WidePairs& pairs) {
    SDMKeyValueList* list = SDMCreateKeyValueList(SDMAllocator::Host(), pairs);
    panel_->SetUpdatedSettings(list);
    UI_Panel::FreeSDMList(list);
  }
  std::string Outcome(const std::string& key) {
    for (const auto& a : panel_->LastApplied()) {
      if (a.key == key) return a.outcome;
    }
    return "(none)";
  }

  TempDir home_;
  std::unique_ptr<KRTPPD> ppd_;
  std::unique_ptr<PDEData> data_;
  PrintSettings settings_;
  std::unique_ptr<UI_Panel> panel_;
};

TEST_F(UIPanelTest, CurrentSettingsCarryTheTreeAndTheSession) {
  settings_.SetInteger(PDEData::kCopiesKey, 3);
  data_->Watermarks().Add(kMark);
  data_->Watermarks().Select(0);
  data_->MixedMedia().Append(L"*MM_A1", L"Tray 2");
  const Pairs pairs = Current();
  EXPECT_EQ(Find(pairs, "*Duplex"), "None");
  EXPECT_EQ(Find(pairs, "*KRStaple"), "None");
  EXPECT_EQ(Find(pairs, "*KR_WATERMARK"), "1");
  EXPECT_EQ(Find(pairs, "*KR_WATERMARK_FIRSTPAGEONLY"), "False");
  EXPECT_EQ(Find(pairs, "*KR_COPIES"), "3");
  EXPECT_EQ(Find(pairs, "num copies"), "3");
  EXPECT_EQ(Find(pairs, "*KROrientation"), "Portrait");
  EXPECT_EQ(Find(pairs, "*KRPCMID"), "-1");
  EXPECT_EQ(Find(pairs, "*MM_A1"), "Tray 2");
  // The installable options' slot numbers name their keys.
  const std::string slots(QUILL_SML_GET(panel_->Shared(), installable));
  ASSERT_FALSE(slots.empty());
  const std::size_t first = std::stoul(slots);
  ASSERT_LT(first, pairs.size());
  EXPECT_EQ(pairs[first].first, "*KRFinisher");
}

TEST_F(UIPanelTest, ReturnedValuesAreCheckedBeforeTheyReachTheTree) {
  for (int i = 0; i < 20; ++i) data_->Watermarks().Add(kMark);
  data_->MixedMedia().Append(L"*MM_Old", L"x");
  Apply({{L"*Duplex", L"DuplexTumble"},
         {L"*KRStaple", L"Spiral"},  // no such option: refused, not added
         {L"*KRMirror", L"True"},
         {L"*KR_WATERMARK", L"25"},
         {L"*KR_WATERMARK_FIRSTPAGEONLY", L"True"},
         {L"*KR_COPIES", L"4"},
         {L"*PadCoverTray", L"2"},
         {L"*KRPCName", L"Plain"},
         {L"*PresetName", L"Fast"},
         {L"*KRSimulation", L"SWOP"},
         {L"*NoSuchKey", L"1"}});
  EXPECT_EQ(Value("*Duplex"), "DuplexTumble");
  EXPECT_EQ(Value("*KRStaple"), "None");
  EXPECT_EQ(Outcome("*KRStaple").rfind("refused: ", 0), 0u) << Outcome("*KRStaple");
  PPDXControl* staple = ppd_->GetControls()->FindPopup("*KRStaple", true);
  EXPECT_FALSE(staple->AcceptsValue("Spiral"));  // the popup did not grow
  EXPECT_EQ(Value("*KRMirror"), "True");
  EXPECT_EQ(data_->Watermarks().SelectedIndex(), 19);
  EXPECT_TRUE(data_->Watermarks().Selected()->FirstPageOnly());
  EXPECT_EQ(settings_.GetInteger(PDEData::kCopiesKey).value_or(0), 4);
  EXPECT_EQ(data_->MixedMedia().Count(), 0);  // emptied first
  EXPECT_EQ(data_->PadCover().Count(), 1);
  EXPECT_EQ(settings_.GetString("*KRPCName").value_or(""), "Plain");
  EXPECT_EQ(Value("*PresetName"), "Fast");  // a job note made for it
  EXPECT_EQ(Value("*KRSimulation"), "SWOP");
  EXPECT_EQ(Outcome("*NoSuchKey"), "ignored");

  Apply({{L"*KR_WATERMARK", L"0"}, {L"*KR_COPIES", L"many"}});
  EXPECT_EQ(data_->Watermarks().SelectedIndex(), -1);
  EXPECT_EQ(Outcome("*KR_COPIES"), "refused: not a number of copies");
  panel_->SetUpdatedSettings(nullptr);  // nothing to apply
  EXPECT_TRUE(panel_->LastApplied().empty());
}

TEST_F(UIPanelTest, TheDialogsPaperIsCustomWhenThePPDLacksIt) {
  struct Case {
    const char* name;  // null: no name in the ticket
    bool custom;
    const char* pageSize;
  };
  const Case cases[] = {{"A3", false, "A3"}, {"US Letter", false, "Letter"}, {"Poster 50x70", true, "A4"}};
  for (const Case& c : cases) {
    ppd_->GetControls()->FindPopup("*PageSize", true)->SetCurrentControlWithCFString("A4");
    plist_t info = plist_new_dict();
    if (c.name != nullptr) plist_dict_set_item(info, "com.apple.print.PaperInfo.ppd.PMPaperName", plist_new_string(c.name));
    plist_t rect = plist_new_array();
    for (double v : {-10.0, -20.0, 1400.0, 980.0}) plist_array_append_item(rect, plist_new_real(v));
    plist_dict_set_item(info, "com.apple.print.PaperInfo.PMUnadjustedPaperRect", rect);
    settings_.SetValue("com.apple.print.subTicket.paper_info_ticket", info);
    EXPECT_EQ(panel_->GetOSPageSize(), c.custom) << c.name;
    EXPECT_EQ(Value("*PageSize"), c.pageSize) << c.name;
    if (c.custom) {
      EXPECT_EQ(panel_->CustomSizeText(), "1000.000000 1410.000000");
      EXPECT_TRUE(data_->CustomPaper());
      EXPECT_EQ(Find(Current(), "*PageSize"), "(absent)");  // the custom size stands for it
    }
  }
  settings_.SetValue("com.apple.print.subTicket.paper_info_ticket", nullptr);
  EXPECT_FALSE(panel_->GetOSPageSize());
}

TEST_F(UIPanelTest, ServerPresetsCompareNumbersAsNumbers) {
  struct Case {
    const wchar_t* saved;
    const char* current;
    bool same;
  };
  const Case cases[] = {
      {L"1.0", "1.00", true}, {L"1.0", "11.05", false}, {L"None", "None", true}, {L"A", "B", false}};
  PPDXControl* note = ppd_->GetControls()->FindJobNote("*KRJobName", true);
  ASSERT_NE(note, nullptr);
  for (const Case& c : cases) {
    note->SetCurrentControlWithCFString(c.current);
    panel_->SetServerPreset({{L"*KRJobName", c.saved}, {L"PresetName", L"Other"}});
    EXPECT_EQ(panel_->compareJPServerPresets(), c.same) << UTF8FromWide(c.saved) << " vs " << c.current;
  }
  panel_->SetServerPreset({{L"PresetType", L"Server"}, {L"PresetName", L"Fast"}});
  panel_->revertBackJPServerPresets();
  EXPECT_EQ(Value("*PresetName"), "Fast");
  EXPECT_EQ(Value("*PresetType"), "Server");
}

TEST_F(UIPanelTest, ResetAndSpecialControls) {
  Apply({{L"*Duplex", L"DuplexTumble"}, {L"*KRFinisher", L"None"}, {L"*PresetName", L"Fast"}});
  data_->SlipSheet().Append(L"*SlipSheet_1", L"x");
  panel_->ResetControlsToDefault();
  EXPECT_EQ(Value("*Duplex"), "None");
  EXPECT_EQ(Value("*PresetName"), "");
  EXPECT_EQ(data_->SlipSheet().Count(), 0);
  // The sample has none of the special colour controls: the pass goes through all of them.
  std::vector<std::string> log;
  const LogSink previous = SetLogSink([&log](std::string_view m) { log.emplace_back(m); });
  panel_->SetTwoWay(true, "127.0.0.1");
  panel_->makeJobNotesForSpecialControls();
  SetLogSink(previous);
  EXPECT_EQ(std::count_if(log.begin(), log.end(),
                          [](const std::string& m) { return m.find("makeJobNotesForSpecialControls") != std::string::npos; }),
            6);
}

TEST_F(UIPanelTest, AWholeRunWithTheStandInModule) {
  data_->Watermarks().Add(kMark);
  StandInModule module("set *Duplex=DuplexNoTumble\nset *KRStaple=Spiral\nset *KR_WATERMARK=1\n"
                       "watermark 0=0,0,0,0,0,0,0,0,0,300,0,0,48,Helvetica,CONFIDENTIAL\n");
  const UI_Panel::LaunchOutcome outcome = panel_->LaunchJobProperties(UI_Panel::kActionOpen);
  EXPECT_TRUE(outcome.ran) << outcome.message;
  EXPECT_EQ(outcome.result, "0");
  EXPECT_EQ(outcome.message, "accepted");
  EXPECT_EQ(std::string(QUILL_SML_GET(panel_->Shared(), result)), "0");
  EXPECT_EQ(Value("*Duplex"), "DuplexNoTumble");
  EXPECT_EQ(Value("*KRStaple"), "None");
  ASSERT_EQ(data_->Watermarks().Count(), 1);
  EXPECT_EQ(data_->Watermarks().At(0)->Text(), "CONFIDENTIAL");
  EXPECT_EQ(data_->Watermarks().SelectedIndex(), 0);
  EXPECT_TRUE(module.Has("  in *Duplex=None"));
  EXPECT_TRUE(module.Has("begin version=19 twoWay=0"));
  EXPECT_TRUE(UnloadJPModule());
  EXPECT_TRUE(module.Has("dll-end live=0 foreign=0"));
}

TEST_F(UIPanelTest, WithoutAModuleTheLaunchSaysSoAndChangesNothing) {
  SetJPModulePath("/nonexistent/libquilljp.so");
  const std::string before = Value("*Duplex");
  const UI_Panel::LaunchOutcome outcome = panel_->LaunchJobProperties(UI_Panel::kActionOpen);
  EXPECT_FALSE(outcome.ran);
  EXPECT_NE(outcome.message.find("the job-properties module is not available: no job-properties module at "
                                 "/nonexistent/libquilljp.so"),
            std::string::npos)
      << outcome.message;
  EXPECT_EQ(Value("*Duplex"), before);
}

TEST(UIPanelInstallable, TheSlotListKeepsWholeNumbersOnly) {
  TempDir dir;
  fs::create_directories(dir.path() / "run");
  setenv("XDG_RUNTIME_DIR", (dir.path() / "run").c_str(), 1);
  std::ifstream in(ExamplePath("QuillSample.ppd"));
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::string extra;
  for (int i = 0; i < 30; ++i) {
    const std::string k = "*KRInstalled" + std::to_string(i);
    extra += "*%KRTFlags: " + k + " Installable\n*%KRTGroup: " + k + " KRPPInstallableOptions\n*OpenUI " + k + "/Unit " + std::to_string(i) +
             ": PickOne\n*Default" + k.substr(1) + ": No\n" + k + " No/No: \"\"\n" + k + " Yes/Yes: \"\"\n*CloseUI: " + k + "\n\n";
  }
  text.insert(text.find("*CloseGroup: InstallableOptions"), extra);
  const fs::path path = dir.path() / "installable.ppd";
  std::ofstream(path) << text;
  ResetProcessGlobals();
  KRTPPD::Options(kDisplayOrphans | kDisplayHidden);
  {
    auto ppd = std::make_unique<KRTPPD>(path.string(), 3);
    PDEData data(ppd.get(), "");
    UI_Panel panel(&data);
    SDMKeyValueList* list = panel.GetDefaultSettings();
    const WidePairs pairs = SDMReadKeyValueList(list);
    UI_Panel::FreeSDMList(list);
    const std::string slots(QUILL_SML_GET(panel.Shared(), installable));
    ASSERT_FALSE(slots.empty());
    EXPECT_EQ(slots.back(), ',');
    std::size_t named = 0;
    for (std::size_t at = 0; at < slots.size();) {
      const std::size_t comma = slots.find(',', at);
      const std::size_t slot = std::stoul(slots.substr(at, comma - at));
      ASSERT_LT(slot, pairs.size());
      EXPECT_TRUE(pairs[slot].first == L"*KRFinisher" || pairs[slot].first.rfind(L"*KRInstalled", 0) == 0)
          << UTF8FromWide(pairs[slot].first);
      ++named;
      at = comma + 1;
    }
    EXPECT_GT(named, 10u);
    EXPECT_LT(named, 31u);  // not all fit in 63 bytes
  }
  KRTPPD::Options(0);
}

// With two-way data the module learns a dynamic pop-up's choices from the server: one that sits
// on its default is left out of the current settings; a changed one, or any without two-way data,
// goes in.
TEST(UIPanelDynamic, ADynamicPopupOnItsDefaultIsLeftToTheModuleWithTwoWayData) {
  TempDir dir;
  fs::create_directories(dir.path() / "run");
  setenv("XDG_RUNTIME_DIR", (dir.path() / "run").c_str(), 1);
  std::ifstream in(ExamplePath("QuillSample.ppd"));
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  text.insert(text.find("*% End of PPD file"),
              "*%KRTFlags: *KRMediaType Dynamic\n*OpenUI *KRMediaType/Media Type: PickOne\n"
              "*DefaultKRMediaType: Auto\n*KRMediaType Auto/Auto: \"\"\n"
              "*KRMediaType Thick/Thick: \"\"\n*CloseUI: *KRMediaType\n\n");
  const fs::path path = dir.path() / "dynamic.ppd";
  std::ofstream(path) << text;
  ResetProcessGlobals();
  KRTPPD::Options(kDisplayOrphans | kDisplayHidden);
  {
    auto ppd = std::make_unique<KRTPPD>(path.string(), 3);
    PDEData data(ppd.get(), "");
    UI_Panel panel(&data);
    auto has_media_type = [&panel] {
      SDMKeyValueList* list = panel.GetDefaultSettings();
      const WidePairs pairs = SDMReadKeyValueList(list);
      UI_Panel::FreeSDMList(list);
      for (const auto& [key, value] : pairs) {
        if (key == L"*KRMediaType") return true;
      }
      return false;
    };
    EXPECT_TRUE(has_media_type());
    panel.SetTwoWay(true, "127.0.0.1");
    EXPECT_FALSE(has_media_type());
    CNTL_TYPE type = kBaseControl;
    PPDXControl* media = ppd->GetControls()->Find("*KRMediaType", type, true);
    ASSERT_NE(media, nullptr);
    ASSERT_TRUE(media->IsDynamic());
    media->SetCurrentControlWithCFString("Thick");
    EXPECT_TRUE(has_media_type());
  }
  KRTPPD::Options(0);
}

TEST(UIPanelAccount, TheAccountNameGoesIntoItsJobNote) {
  TempDir dir;
  fs::create_directories(dir.path() / "run");
  setenv("XDG_RUNTIME_DIR", (dir.path() / "run").c_str(), 1);
  ResetProcessGlobals();
  KRTPPD::Options(kDisplayOrphans | kDisplayHidden);
  {
    auto ppd = std::make_unique<KRTPPD>(FixturePath("JobNotes.ppd"), 3);
    PDEData data(ppd.get(), "");
    UI_Panel panel(&data);
    panel.GetOSAccountName();
    const passwd* user = getpwuid(getuid());
    ASSERT_NE(user, nullptr);
    EXPECT_EQ(ppd->GetControls()->FindJobNote("*KRUserAuthName", true)->CopyCurrentControlValueString().value_or(""),
              user->pw_name);
  }
  KRTPPD::Options(0);
}

TEST(JPReturnTimerTest, TheEventLoopTimerFiresWhenReadyOrAtItsLimit) {
  EventLoopJPReturnTimer timer;
  int fired = 0;
  bool ready = false;
  timer.Arm([&ready] { return ready; }, [&fired] { ++fired; });
  EXPECT_FALSE(timer.Tick());
  ready = true;
  EXPECT_TRUE(timer.Tick());
  EXPECT_EQ(fired, 1);
  EXPECT_FALSE(timer.Pending());
  timer.Arm([] { return false; }, [&fired] { ++fired; });
  int ticks = 0;
  while (!timer.Tick()) ++ticks;
  EXPECT_EQ(ticks + 1, EventLoopJPReturnTimer::kMaxTicks);
  EXPECT_EQ(fired, 2);
  timer.Arm([] { return true; }, [&fired] { ++fired; });
  timer.Cancel();
  EXPECT_FALSE(timer.Tick());
  EXPECT_EQ(fired, 2);
}

}  // namespace
}  // namespace quill::testing
