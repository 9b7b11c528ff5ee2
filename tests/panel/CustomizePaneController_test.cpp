#include "panel/CustomizePaneController.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "PPDX/KRTPPD.h"
#include "PPDX/PPDObjects/Controls/PPDXControl.h"
#include "PPDX/PPDObjects/Controls/PPDXJobNote.h"
#include "foundation/ProcessGlobals.h"
#include "panel/PPDTree.h"
#include "platform/Bundle.h"
#include "support/TempDir.h"

namespace {

using ::testing::ElementsAre;

// The pane on the sample PPD, with a quick-access list chosen by each test.
class CustomizePaneTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetProcessGlobals();
    KRTPPD::Options(kDisplayOrphans | kDisplayHidden);
    ppd_ = std::make_unique<KRTPPD>(quill::testing::ExamplePath("QuillSample.ppd"), 3);
    pane_ = std::make_unique<CustomizePaneController>(*ppd_, nullptr);
  }
  void TearDown() override {
    pane_.reset();
    ppd_.reset();
    KRTPPD::Options(0);
  }
  void Draw(const std::vector<std::string>& keywords) {
    PPDTree tree;
    for (const auto& k : keywords) tree.AddShortcut(k, k);
    pane_->DrawControlsInTree(tree);
  }
  const PaneEntry& Entry(int tag) {
    const PaneEntry* entry = pane_->EntryForTag(tag);
    EXPECT_NE(entry, nullptr) << tag;
    static PaneEntry none;
    return entry != nullptr ? *entry : none;
  }
  int ItemIndex(int tag, const std::string& keyword) {
    const PaneEntry& e = Entry(tag);
    for (std::size_t i = 0; i < e.items.size(); ++i) {
      if (e.items[i].keyword == keyword) return static_cast<int>(i);
    }
    ADD_FAILURE() << keyword;
    return -1;
  }
  bool ItemEnabled(int tag, const std::string& keyword) {
    const int i = ItemIndex(tag, keyword);
    return i >= 0 && Entry(tag).items[static_cast<std::size_t>(i)].enabled;
  }

  std::unique_ptr<KRTPPD> ppd_;
  std::unique_ptr<CustomizePaneController> pane_;
};

TEST_F(CustomizePaneTest, EntriesTakeTheKindCaptionAndPlaceOfTheirOption) {
  Draw({"*PageSize", "*Duplex", "*KRMissing", "*KRDisplayJobTracking", "*KRAccount",
        "*KRSecurePassword", "*KRToneCurve", "*KRStaple"});
  // Eight entries: two rows of 150 points.
  EXPECT_EQ(pane_->PaneHeight(), 300);

  struct Case {
    int tag;
    PaneEntryKind kind;
    const char* caption;
    PaneRect control;
  };
  const Case cases[] = {
      {0, PaneEntryKind::kPopup, "Paper Size:", {50, 240, 150, 30}},
      {1, PaneEntryKind::kPopup, "2-Sided Printing:", {300, 240, 150, 30}},
      {3, PaneEntryKind::kCheckBox, "Prompt for Account at Pr...", {50, 155, 200, 40}},
      {4, PaneEntryKind::kTextField, "Account Number:", {300, 165, 160, 25}},
      {5, PaneEntryKind::kSecureTextField, "Secure Print Password:", {50, 90, 160, 25}},
      {7, PaneEntryKind::kPopup, "Staple:", {300, 90, 150, 30}},
  };
  ASSERT_EQ(pane_->Entries().size(), std::size(cases));  // unknown and range options are skipped
  for (const Case& c : cases) {
    const PaneEntry& e = Entry(c.tag);
    EXPECT_EQ(e.kind, c.kind) << c.tag;
    EXPECT_EQ(e.caption, c.caption) << c.tag;
    EXPECT_EQ(e.controlFrame, c.control) << c.tag;
  }
  // The check box caption is 28 characters with its colon: cut, with the whole as tool tip.
  EXPECT_EQ(Entry(3).toolTip, "Prompt for Account at Print:");
  EXPECT_EQ(Entry(0).toolTip, "");
  EXPECT_EQ(Entry(4).maxLength, 16);

  const PaneEntry& paper = Entry(0);
  std::vector<std::string> texts;
  for (const auto& item : paper.items) texts.push_back(item.text);
  EXPECT_THAT(texts, ElementsAre("A4", "US Letter", "A3", "SRA3"));
  EXPECT_EQ(paper.selected, 0);
}

TEST_F(CustomizePaneTest, CaptionsAndHeightsFollowTheirLimits) {
  struct Case {
    std::string name;
    bool japanese;
    std::string caption;
    bool cut;
  };
  const std::string e26(26, 'e');
  const std::string e27(27, 'e');
  std::string accented;
  for (int i = 0; i < 30; ++i) accented += "\xC3\xA9";  // 30 x e-acute, two bytes each
  std::string accented24;
  for (int i = 0; i < 24; ++i) accented24 += "\xC3\xA9";
  const Case cases[] = {
      {e26, false, e26 + ":", false},                          // 27 characters: whole
      {e27, false, std::string(24, 'e') + "...", true},        // 28: first 24 and "..."
      {accented, false, accented24 + "...", true},             // cut by characters, not bytes
      {std::string(13, 'j'), true, std::string(13, 'j') + ":", false},
      {std::string(14, 'j'), true, std::string(11, 'j') + "...", true},
  };
  for (const Case& c : cases) {
    std::string caption, tip;
    CustomizePaneController::MakeCaption(c.name, c.japanese, caption, tip);
    EXPECT_EQ(caption, c.caption) << c.name;
    EXPECT_EQ(tip, c.cut ? c.name + ":" : "") << c.name;
  }
  EXPECT_EQ(CustomizePaneController::PaneHeightFor(0), 0);
  EXPECT_EQ(CustomizePaneController::PaneHeightFor(4), 150);
  EXPECT_EQ(CustomizePaneController::PaneHeightFor(5), 300);
  EXPECT_EQ(CustomizePaneController::AllControlsPaneHeight(3), 0);  // never negative
  EXPECT_EQ(CustomizePaneController::AllControlsPaneHeight(8), 0);
  EXPECT_EQ(CustomizePaneController::AllControlsPaneHeight(12), 150);
}

TEST_F(CustomizePaneTest, AChangeGreysTheItemsItForbidsAndNamesTheChoice) {
  Draw({"*PageSize", "*Duplex", "*KRStaple", "*KRFinisher"});
  EXPECT_TRUE(ItemEnabled(0, "SRA3"));
  EXPECT_TRUE(ItemEnabled(2, "TopLeft"));  // the finisher is installed

  ASSERT_TRUE(pane_->ChoosePopupItem(1, ItemIndex(1, "DuplexTumble")));
  EXPECT_EQ(ppd_->GetPPDXControlForKey("*Duplex")->CopyCurrentControlValueString(), "DuplexTumble");
  EXPECT_FALSE(ItemEnabled(0, "SRA3"));
  EXPECT_TRUE(ItemEnabled(0, "A3"));
  EXPECT_EQ(pane_->ForbiddingChoice(0, ItemIndex(0, "SRA3")), "*Duplex=DuplexTumble");
  EXPECT_EQ(pane_->ForbiddingChoice(0, ItemIndex(0, "A3")), "");
  // A forbidden item cannot be chosen.
  EXPECT_FALSE(pane_->ChoosePopupItem(0, ItemIndex(0, "SRA3")));

  // Removing the finisher forbids every staple but "None", named by the finisher's choice.
  ASSERT_TRUE(pane_->ChoosePopupItem(3, ItemIndex(3, "None")));
  EXPECT_TRUE(ItemEnabled(2, "None"));
  EXPECT_FALSE(ItemEnabled(2, "TopLeft"));
  EXPECT_FALSE(ItemEnabled(2, "DualLeft"));
  EXPECT_EQ(pane_->ForbiddingChoice(2, ItemIndex(2, "DualLeft")), "*KRFinisher=None");

  // Going back frees them again.
  ASSERT_TRUE(pane_->ChoosePopupItem(1, ItemIndex(1, "None")));
  EXPECT_TRUE(ItemEnabled(0, "SRA3"));
}

TEST_F(CustomizePaneTest, TheSelectedItemIsRecheckedToo) {
  // A conflict made outside the pane (restored settings) shows on the selected item as well.
  ppd_->GetPPDXControlForKey("*PageSize")->SetCurrentControlWithCFString("SRA3");
  ppd_->GetPPDXControlForKey("*Duplex")->SetCurrentControlWithCFString("DuplexTumble");
  Draw({"*PageSize", "*Duplex"});
  EXPECT_EQ(Entry(1).selected, ItemIndex(1, "DuplexTumble"));
  EXPECT_FALSE(ItemEnabled(1, "DuplexTumble"));
  EXPECT_FALSE(ItemEnabled(0, "SRA3"));
}

TEST_F(CustomizePaneTest, CustomPaperIsShownSelectedAndThePopupDisabled) {
  pane_->SetCustomPaperName("My Paper 10x20");
  Draw({"*PageSize"});
  const PaneEntry& paper = Entry(0);
  ASSERT_EQ(paper.items.size(), 5u);
  EXPECT_EQ(paper.items.back().text, "My Paper 10x20");
  EXPECT_EQ(paper.selected, 4);
  EXPECT_FALSE(paper.enabled);
  EXPECT_FALSE(pane_->ChoosePopupItem(0, 1));
}

TEST_F(CustomizePaneTest, TypedAndPastedTextFollowsTheNoteRules) {
  Draw({"*KRAccount", "*KRJobName"});
  struct Case {
    int tag;
    std::string typed;
    std::string shown;  // what the field shows afterwards
    bool changed;
  };
  // Account: numeric, at most 16. Job name: letters, digits and spaces, at most 63.
  const Case cases[] = {
      {0, "12", "12", false},
      {0, "12a", "12", true},                     // a typed letter is removed
      {0, "1a2b3c", "123", true},                 // pasted text filtered as a whole
      {0, "1234567890123456", "1234567890123456", false},
      {0, "12345678901234567", "1234567890123456", true},  // too long: the last text comes back
      {0, "9", "9", false},
      {1, "My Job 7", "My Job 7", false},
      {1, "My#Job", "MyJob", true},
      {1, "Caf\xC3\xA9", "Caf", true},            // only ASCII letters
  };
  for (const Case& c : cases) {
    const auto result = pane_->TextDidChange(c.tag, c.typed);
    EXPECT_EQ(result.text, c.shown) << c.typed;
    EXPECT_EQ(result.changed, c.changed) << c.typed;
    EXPECT_EQ(Entry(c.tag).text, c.shown) << c.typed;
    const auto* note = static_cast<PPDXJobNote*>(Entry(c.tag).control);
    EXPECT_EQ(note->CopyNotes().value_or(""), c.shown) << c.typed;
  }
  // Text for a tag that is no field comes back untouched.
  EXPECT_EQ(pane_->TextDidChange(7, "x").text, "x");
}

TEST_F(CustomizePaneTest, IconTableKeepsEveryPathWholeAndFollowsTheValue) {
  const auto rows = CustomizePaneController::ParseIconLookup(
      "1,Duplex,None,icons/duplex-off.png\r\n"
      "2,Duplex,DuplexTumble,icons/duplex-short.png\n"
      "3,KRStaple,icons/staple.png\n"
      "4,KRStaple,TopLeft,icons/readme.txt\n"
      "5,Short\n"
      "6,PageSize,A4,icons/a4.png");  // no line end: the last character stays
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[0].path, "icons/duplex-off.png");
  EXPECT_EQ(rows[2].choice, "");
  EXPECT_EQ(rows[2].path, "icons/staple.png");
  EXPECT_EQ(rows[3].path, "icons/a4.png");

  quill::testing::TempDir folder;
  std::filesystem::create_directories(folder.path() / "icons");
  std::ofstream(folder.path() / "icons/lookup.csv")
      << "1,Duplex,None,icons/off.png\n1,Duplex,DuplexTumble,icons/short.png\n";
  ASSERT_TRUE(pane_->LoadIconTable(quill::Bundle(folder.path().string())));
  EXPECT_EQ(pane_->GetIconPath("Duplex", "None"), "icons/off.png");
  EXPECT_EQ(pane_->GetIconPath("Duplex", "Other"), "");
  Draw({"*Duplex"});
  const std::string base = folder.path().string() + "/";
  EXPECT_EQ(Entry(0).iconPath, base + "icons/off.png");
  ASSERT_TRUE(pane_->ChoosePopupItem(0, ItemIndex(0, "DuplexTumble")));
  EXPECT_EQ(Entry(0).iconPath, base + "icons/short.png");
  ASSERT_TRUE(pane_->ChoosePopupItem(0, ItemIndex(0, "DuplexNoTumble")));
  EXPECT_EQ(Entry(0).iconPath, "");  // no icon for it: blank

  CustomizePaneController bare(*ppd_, nullptr);
  EXPECT_FALSE(bare.LoadIconTable(quill::Bundle("/nonexistent-folder")));
  EXPECT_TRUE(bare.IconTable().empty());
}

TEST_F(CustomizePaneTest, GreyingDisablesEveryControlAndUngreyingRechecks) {
  Draw({"*Duplex", "*KRDisplayJobTracking"});
  pane_->GreyoutShortcutControls(true);
  for (const auto& e : pane_->Entries()) EXPECT_FALSE(e.enabled) << e.keyword;
  EXPECT_FALSE(pane_->SetCheckBox(1, true));
  pane_->GreyoutShortcutControls(false);
  for (const auto& e : pane_->Entries()) EXPECT_TRUE(e.enabled) << e.keyword;
  EXPECT_TRUE(pane_->SetCheckBox(1, true));
  EXPECT_EQ(ppd_->GetPPDXControlForKey("*KRDisplayJobTracking")->CopyCurrentControlValueString(),
            "True");
}

}  // namespace
