#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "PPDX/KRTPPD.h"
#include "foundation/ProcessGlobals.h"
#include "panel/CustomizePaneController.h"
#include "panel/CustomizeQuickAccessDialogController.h"
#include "panel/PDEData.h"
#include "panel/PPDTree.h"
#include "panel/TableViewControllerDB.h"
#include "panel/UI_Panel.h"
#include "platform/PrintSession.h"
#include "platform/PrintSettings.h"
#include "platform/SystemInfo.h"
#include "support/TempDir.h"

namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using Row = CustomizeQuickAccessDialogController::OutlineRow;

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

// The dialog on the sample PPD for the queue "Sample"; the per-queue list is kept in the
// preference file under a private home.
class QuickAccessDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    quill::SystemInfo::SetVersion({10, 6});
    quill::PrintSession::Reset();
    fs::create_directories(home_.path() / "Library/Preferences");
    fs::create_directories(home_.path() / "run");
    ResetProcessGlobals();
    KRTPPD::Options(kDisplayOrphans | kDisplayHidden);
    ppd_ = std::make_unique<KRTPPD>(quill::testing::ExamplePath("QuillSample.ppd"), 3);
    data_ = std::make_unique<PDEData>(ppd_.get(), "Sample");
    data_->SetPrintSettings(&settings_);
    UI_Panel(data_.get()).PopulatePPDTreeStructure(tree_);
    pane_ = std::make_unique<CustomizePaneController>(*ppd_, data_.get());
    table_ = std::make_unique<TableViewControllerDB>(tree_, data_.get(), pane_.get());
    outline_ = std::make_unique<CustomizeQuickAccessDialogController>(tree_, data_.get(), *table_);
    table_->Open();
    outline_->ListAvailableShortcuts();
  }
  void TearDown() override {
    outline_.reset();
    table_.reset();
    pane_.reset();
    data_.reset();
    ppd_.reset();
    KRTPPD::Options(0);
    quill::SystemInfo::Reset();
  }
  // The outline row of an available keyword.
  Row RowOf(const std::string& keyword) {
    const auto& groups = outline_->Groups();
    for (std::size_t g = 0; g < groups.size(); ++g) {
      for (std::size_t e = 0; e < groups[g].controls.size(); ++e) {
        if (groups[g].controls[e].keyword == keyword) return {g, static_cast<long>(e)};
      }
    }
    ADD_FAILURE() << keyword << " is not available";
    return {999, -1};
  }
  void AddKeys(const std::vector<std::string>& keys) {
    std::vector<Row> rows;
    for (const auto& k : keys) rows.push_back(RowOf(k));
    outline_->SelectRows(rows);
    ASSERT_TRUE(outline_->Add());
  }
  std::vector<std::string> StoredKeys() {
    PDEData reader(ppd_.get(), "Sample");
    PPDTree stored;
    UI_Panel(&reader).PopulatePPDTreeStructure(stored);
    std::vector<std::string> keys;
    for (const auto& s : stored.shortcuts) keys.push_back(s.keyword);
    return keys;
  }

  quill::testing::TempDir home_;
  ScopedEnv home_env_{"HOME", home_.path().string()};
  ScopedEnv run_env_{"XDG_RUNTIME_DIR", (home_.path() / "run").string()};
  std::unique_ptr<KRTPPD> ppd_;
  quill::PrintSettings settings_;
  std::unique_ptr<PDEData> data_;
  PPDTree tree_;
  std::unique_ptr<CustomizePaneController> pane_;
  std::unique_ptr<TableViewControllerDB> table_;
  std::unique_ptr<CustomizeQuickAccessDialogController> outline_;
};

TEST_F(QuickAccessDialogTest, AddMoveRemoveFollowTheButtonRules) {
  EXPECT_THAT(table_->ChosenKeys(), ElementsAre("*Duplex", "*KRColorMode", "*KRStaple"));
  EXPECT_GT(outline_->AvailableCount(), 2u);
  EXPECT_EQ(outline_->ChildCount(-1), outline_->Groups().size());
  EXPECT_FALSE(outline_->AddEnabled());

  // Selecting a group row alone enables add but adds nothing.
  outline_->SelectRows({Row{0, -1}});
  EXPECT_TRUE(outline_->AddEnabled());
  EXPECT_TRUE(table_->Buttons().add);
  EXPECT_TRUE(outline_->SelectedKeys().empty());

  // Adding an option already chosen changes nothing; a new one is appended with its name.
  AddKeys({"*Duplex", "*KRPunch"});
  EXPECT_THAT(table_->ChosenKeys(),
              ElementsAre("*Duplex", "*KRColorMode", "*KRStaple", "*KRPunch"));
  EXPECT_THAT(table_->ChosenNames(),
              ElementsAre("2-Sided Printing", "Colour Mode", "Staple", "Hole Punch"));
  EXPECT_FALSE(outline_->AddEnabled());
  EXPECT_FALSE(table_->Buttons().remove);

  struct ButtonCase {
    std::vector<std::size_t> rows;
    bool remove, up, down;
  };
  const ButtonCase buttons[] = {
      {{}, false, false, false},
      {{0}, true, false, true},  // the first row cannot go up
      {{1}, true, true, true},
      {{3}, true, true, false},  // the last row cannot go down
      {{0, 3}, true, false, false},
      {{7}, false, false, false},  // out of range
  };
  for (const auto& c : buttons) {
    table_->SelectChosenRows(c.rows);
    const auto s = table_->Buttons();
    EXPECT_EQ(s.remove, c.remove) << c.rows.size();
    EXPECT_EQ(s.moveUp, c.up) << c.rows.size();
    EXPECT_EQ(s.moveDown, c.down) << c.rows.size();
  }

  table_->SelectChosenRows({0});
  EXPECT_FALSE(table_->MoveUp());
  EXPECT_TRUE(table_->MoveDown());
  EXPECT_THAT(table_->SelectedChosenRows(), ElementsAre(1u));
  EXPECT_THAT(table_->ChosenKeys(),
              ElementsAre("*KRColorMode", "*Duplex", "*KRStaple", "*KRPunch"));
  EXPECT_TRUE(table_->MoveTo(3, 0));  // a drag to the top
  EXPECT_THAT(table_->SelectedChosenRows(), ElementsAre(0u));
  EXPECT_THAT(table_->ChosenKeys(),
              ElementsAre("*KRPunch", "*KRColorMode", "*Duplex", "*KRStaple"));
  EXPECT_THAT(table_->ChosenNames(),
              ElementsAre("Hole Punch", "Colour Mode", "2-Sided Printing", "Staple"));
  EXPECT_FALSE(table_->MoveTo(4, 0));

  table_->SelectChosenRows({0, 2});
  table_->Remove();
  EXPECT_THAT(table_->ChosenKeys(), ElementsAre("*KRColorMode", "*KRStaple"));
  EXPECT_FALSE(table_->Buttons().remove);
}

TEST_F(QuickAccessDialogTest, OKStoresTheOrderAndCancelDiscards) {
  AddKeys({"*KRPunch"});
  table_->SelectChosenRows({1});  // the colour mode goes
  table_->Remove();
  table_->SelectChosenRows({2});
  ASSERT_TRUE(table_->MoveUp());
  ASSERT_TRUE(table_->OK());
  std::vector<std::string> tree;
  for (const auto& s : tree_.shortcuts) tree.push_back(s.keyword);
  EXPECT_THAT(tree, ElementsAre("*Duplex", "*KRPunch", "*KRStaple"));
  EXPECT_THAT(StoredKeys(), ElementsAre("*Duplex", "*KRPunch", "*KRStaple"));
  // The pane is redrawn from the new list.
  ASSERT_EQ(pane_->Entries().size(), 3u);
  EXPECT_EQ(pane_->Entries()[1].keyword, "*KRPunch");

  // A cancelled session leaves the list as it was, in the dialog and in the store.
  table_->Open();
  table_->SelectChosenRows({0});
  table_->Remove();
  table_->Cancel();
  EXPECT_THAT(table_->ChosenKeys(), ElementsAre("*Duplex", "*KRPunch", "*KRStaple"));
  EXPECT_THAT(StoredKeys(), ElementsAre("*Duplex", "*KRPunch", "*KRStaple"));
}

TEST_F(QuickAccessDialogTest, EmptyListAndDefaultsGiveThePPDsOwnShortcuts) {
  AddKeys({"*KRPunch"});
  table_->Defaults();
  EXPECT_THAT(table_->ChosenKeys(), ElementsAre("*Duplex", "*KRColorMode", "*KRStaple"));

  table_->SelectChosenRows({0, 1, 2});
  table_->Remove();
  ASSERT_TRUE(table_->OK());
  EXPECT_THAT(table_->ChosenKeys(), ElementsAre("*Duplex", "*KRColorMode", "*KRStaple"));
  EXPECT_THAT(table_->ChosenNames(), ElementsAre("2-Sided Printing", "Colour Mode", "Staple"));
  EXPECT_EQ(tree_.shortcuts.size(), 3u);
}

// Trees made by hand: the chosen list is matched by keyword and keeps to the 99-entry limit.
TEST(QuickAccessDialogLimits, ChosenOptionsMatchByKeywordAndStopAt99) {
  PPDTree tree;
  PPDTreeGroup a{"A", "GA", {}};
  PPDTreeGroup b{"B", "GB", {}};
  a.controls.push_back({"Mode", "*KRModeA"});
  b.controls.push_back({"Mode", "*KRModeB"});  // same display name, other option
  for (int i = 0; i < 120; ++i) {
    b.controls.push_back({"Option " + std::to_string(i), "*KROpt" + std::to_string(i)});
  }
  tree.groups = {a, b};
  TableViewControllerDB table(tree, nullptr);
  table.Open();
  ASSERT_TRUE(table.Add({"*KRModeB", "*KRUnknown"}));  // a key the tree does not offer is skipped
  ASSERT_TRUE(table.OK());
  ASSERT_EQ(tree.shortcuts.size(), 1u);
  EXPECT_EQ(tree.shortcuts[0].keyword, "*KRModeB");

  std::vector<std::string> keys;
  for (int i = 0; i < 120; ++i) keys.push_back("*KROpt" + std::to_string(i));
  std::string why;
  EXPECT_FALSE(table.Add(keys, &why));
  EXPECT_THAT(why, HasSubstr("99"));
  EXPECT_EQ(table.ChosenKeys().size(), PPDTree::kMaxShortcuts);
  EXPECT_EQ(table.ChosenKeys().back(), "*KROpt97");
  ASSERT_TRUE(table.OK());
  EXPECT_EQ(tree.shortcuts.size(), PPDTree::kMaxShortcuts);
}

}  // namespace
