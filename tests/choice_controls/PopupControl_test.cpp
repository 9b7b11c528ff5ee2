// PPDXPopupControl: selection on single- and multiple-choice lists, what reaches the constraint
// store, defaults with and without the pop-up job-note override, feature blocks, display names,
// the colour-profile values that add items, and rebuilding the list.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "ChoiceFixtures.h"
#include "PPDX/PPDObjects/Controls/PPDXBooleanControl.h"
#include "PPDX/PPDObjects/Controls/PPDXPopupControl.h"
#include "foundation/ProcessGlobals.h"
#include "platform/TextEncoding.h"

using namespace choice_test;

namespace {

// The keywords of the selected items, in list order, joined by spaces.
std::string Selected(PPDXPopupControl& popup) {
  std::string out;
  for (_PopupItem* item = popup.FirstItem(); item != nullptr; item = popup.NextItem()) {
    if (!item->IsSelected()) continue;
    if (!out.empty()) out += ' ';
    out += item->Keyword();
  }
  return out;
}

std::string Current(PPDXPopupControl& popup) {
  return popup.CopyCurrentControlValueString().value_or("<none>");
}

class PopupControl : public ::testing::Test {
 protected:
  void SetUp() override { ResetProcessGlobals(); }
  void TearDown() override {
    ResetProcessGlobals();
    quill::TextEncoding::Reset();
  }
};

}  // namespace

TEST_F(PopupControl, ConstructionSelectsTheDefaultItem) {
  auto popup = MakePopup("*PageSize", PaperItems(), "A4");
  EXPECT_EQ(popup->Type(), kPopupControl);
  EXPECT_EQ(popup->ItemCount(), 3);
  EXPECT_STREQ(popup->GetDefaultKeyword(), "A4");
  EXPECT_EQ(popup->GetValue(), 2);
  EXPECT_EQ(Selected(*popup), "A4");
  EXPECT_EQ(Current(*popup), "A4");

  auto without = MakePopup("*PageSize", PaperItems(), nullptr);
  EXPECT_EQ(without->GetDefaultKeyword(), nullptr);
  EXPECT_EQ(without->GetValue(), 0);
  EXPECT_EQ(without->CopyCurrentControlValueString(), std::nullopt);
  EXPECT_EQ(without->PostScript(nullptr), 0);
}

TEST_F(PopupControl, SetKeywordSelectOnSingleAndMultipleChoiceLists) {
  struct Case {
    const char* name;
    bool multiple;
    std::vector<const char*> before;  // selected with SetKeywordSelect(k, true) first
    const char* keyword;
    bool select;
    bool matched;
    std::string selected;
    std::string current;
  };
  const Case cases[] = {
      {"single replaces", false, {}, "A4", true, true, "A4", "A4"},
      {"multiple adds", true, {}, "A4", true, true, "Letter A4", "A4"},
      {"multiple removes one", true, {"A4", "Legal"}, "A4", false, true, "Letter Legal", "A4"},
      {"single unknown clears all", false, {}, "B5", true, false, "", "Letter"},
      {"multiple unknown keeps all", true, {"Legal"}, "B5", true, false, "Letter Legal", "Legal"},
      {"null keyword", false, {}, nullptr, true, false, "Letter", "Letter"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto popup = MakePopup("*PageSize", PaperItems(), "Letter", c.multiple);
    for (const char* keyword : c.before) popup->SetKeywordSelect(keyword, true);
    EXPECT_EQ(popup->SetKeywordSelect(c.keyword, c.select), c.matched);
    EXPECT_EQ(Selected(*popup), c.selected);
    EXPECT_EQ(Current(*popup), c.current);
  }

  auto empty = MakePopup("*PageSize", {}, nullptr);
  EXPECT_FALSE(empty->SetKeywordSelect("A4", true));
}

TEST_F(PopupControl, EveryChoiceIsReportedToTheConstraintStore) {
  WatchedStore store({{"*PageSize", "Letter"}, {"*PageSize", "A4"}, {"*PageSize", "B5"}});
  auto popup = MakePopup("*PageSize", PaperItems(), "Letter", false, &store.ui);
  EXPECT_TRUE(store.Holds("*PageSize", "Letter"));

  EXPECT_TRUE(popup->SetKeywordSelect("A4", true));
  EXPECT_TRUE(store.Holds("*PageSize", "A4"));
  EXPECT_FALSE(store.Holds("*PageSize", "Letter"));

  // A keyword that no item has is still what the store is told.
  EXPECT_FALSE(popup->SetKeywordSelect("B5", true));
  EXPECT_TRUE(store.Holds("*PageSize", "B5"));

  popup->SetValue(1);
  EXPECT_TRUE(store.Holds("*PageSize", "Letter"));
  // Out of range: the store keeps the last choice.
  popup->SetValue(7);
  EXPECT_TRUE(store.Holds("*PageSize", "Letter"));

  popup->SetCurrentControlWithCFString("A4");
  EXPECT_TRUE(store.Holds("*PageSize", "A4"));
}

TEST_F(PopupControl, SetValueOutOfRangeDeselectsEverythingButKeepsTheCurrentItem) {
  for (long n : {0L, -1L, 4L, LONG_MAX}) {
    SCOPED_TRACE(n);
    auto popup = MakePopup("*PageSize", PaperItems(), "A4");
    popup->SetValue(n);
    EXPECT_EQ(popup->GetValue(), 0);
    EXPECT_EQ(Selected(*popup), "");
    EXPECT_EQ(Current(*popup), "A4");
    EXPECT_EQ(FeatureOf(*popup),
              "%%BeginFeature: *PageSize A4\n<</PageSize[595 842]>>setpagedevice\n"
              "%%EndFeature\n");
  }
  auto popup = MakePopup("*PageSize", PaperItems(), "A4");
  popup->SetValue(3);
  EXPECT_EQ(popup->GetValue(), 3);
  EXPECT_EQ(Selected(*popup), "Legal");
}

TEST_F(PopupControl, DefaultValueAndReset) {
  struct Case {
    const char* defaultKeyword;
    long override;
    bool jobNotesDone;
    bool jobNotesFound;
    long expected;
  };
  const Case cases[] = {
      {nullptr, 0, false, false, 0}, {"Legal", 0, false, false, 3}, {"B5", 0, false, false, 0},
      {"A4", 3, false, false, 3},                                // the override wins
      {"A4", 3, true, true, 3},      {"A4", 3, true, false, 2},  // job notes set up without one:
                                                                 // the PPD's default counts
      {nullptr, 1, true, false, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << (c.defaultKeyword ? c.defaultKeyword : "null") << " "
                                    << c.override << " " << c.jobNotesDone << c.jobNotesFound);
    Globals().popupJobNotesDoneInitializing = c.jobNotesDone;
    Globals().popupJobNotesFoundOne = c.jobNotesFound;
    auto popup = MakePopup("*PageSize", PaperItems(), c.defaultKeyword);
    popup->SetDefaultValue(c.override);
    EXPECT_EQ(popup->DefaultValue(), c.expected);
    popup->SetValue(1);
    popup->ResetToDefaultValue();
    EXPECT_EQ(popup->GetValue(), c.expected);
  }
}

TEST_F(PopupControl, FeatureBlocks) {
  auto popup = MakePopup("*PageSize", PaperItems(), "Letter");
  auto block = [&](const char* keyword) {
    return Written([&](unsigned char* out) { return popup->GetKeywordPSData(keyword, out); });
  };
  EXPECT_EQ(block("A4"),
            "%%BeginFeature: *PageSize A4\n<</PageSize[595 842]>>setpagedevice\n%%EndFeature\n");
  // An item without code still gets the wrapper, with a line feed as its body.
  EXPECT_EQ(block("Legal"), "%%BeginFeature: *PageSize Legal\n\n%%EndFeature\n");
  EXPECT_EQ(popup->GetKeywordPSData("B5", nullptr), 0);
  EXPECT_EQ(popup->GetKeywordPSData(nullptr, nullptr), 0);
  EXPECT_EQ(FeatureOf(*popup), block("Letter"));

  auto unnamed = MakePopup(nullptr, PaperItems(), "Letter");
  EXPECT_EQ(unnamed->GetKeywordPSData("A4", nullptr), 0);
  EXPECT_EQ(unnamed->PostScript(nullptr), 0);
}

TEST_F(PopupControl, DisplayNamesOfItems) {
  quill::TextEncoding::SetSystemEncoding(quill::kEncodingISOLatin1);
  auto popup = MakePopup("*MediaType",
                         {{"Plain", "First", ""},
                          {"Plain", "Second", ""},
                          {"Env", std::nullopt, ""},
                          {"Cafe", "Caf\xC3\xA9", ""}},
                         "Env");
  // The last item with the keyword wins.
  EXPECT_STREQ(popup->GetKeywordLocalName("Plain"), "Second");
  EXPECT_EQ(popup->GetKeywordCFLocalName("Plain"), "Second");
  // The 8-bit form is in the system encoding; the UTF-8 form is untouched.
  EXPECT_STREQ(popup->GetKeywordLocalName("Cafe"), "Caf\xE9");
  EXPECT_EQ(popup->GetKeywordCFLocalName("Cafe"), "Caf\xC3\xA9");
  EXPECT_EQ(popup->GetKeywordLocalName("Env"), nullptr);
  EXPECT_EQ(popup->GetKeywordCFLocalName("Env"), std::nullopt);
  EXPECT_EQ(popup->GetKeywordLocalName("B5"), nullptr);

  EXPECT_EQ(popup->GetKeywordLocalNameAtIndex(0), "First");
  // No such item: the popup goes back to its default and answers its keyword.
  popup->SetValue(1);
  EXPECT_EQ(popup->GetKeywordLocalNameAtIndex(4), "Env");
  EXPECT_EQ(popup->GetValue(), 3);
  EXPECT_EQ(popup->GetKeywordLocalNameAtIndex(-1), "Env");
}

TEST_F(PopupControl, TextValuesAndColourProfiles) {
  struct Case {
    const char* control;
    std::string value;
    long count;
    long selected;
    std::string current;
  };
  const Case cases[] = {
      {"*KROutProfile", "MyProfile", 4, 4, "MyProfile"},
      {"*KROutProfile", "us letter", 3, 1, "Letter"},  // display text, any case
      {"*KROutProfile", "Legal", 3, 3, "Legal"},
      {"*KRTUProfileCover", "Profil Caf\xC3\xA9", 4, 4, "Profil Caf\xC3\xA9"},
      {"*PageSize", "MyProfile", 3, 2, "A4"},  // unknown values change nothing
      {"*PageSize", "us letter", 3, 2, "A4"},  // only colour profiles match display texts
      {"*PageSize", "Legal", 3, 3, "Legal"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.control) + " " + c.value);
    auto popup = MakePopup(c.control, PaperItems(), "A4");
    popup->SetCurrentControlWithCFString(c.value);
    EXPECT_EQ(popup->ItemCount(), c.count);
    EXPECT_EQ(popup->GetValue(), c.selected);
    EXPECT_EQ(Current(*popup), c.current);
    EXPECT_EQ(popup->CopyCurrentControlValueStringUTF8(), c.current);
  }

  auto profiles = MakePopup("*KROutProfile", PaperItems(), "A4");
  profiles->SetPresetValueString("MyProfile");
  EXPECT_EQ(profiles->GetKeywordCFLocalName("MyProfile"), "MyProfile");
  EXPECT_EQ(FeatureOf(*profiles), "%%BeginFeature: *KROutProfile MyProfile\n\n%%EndFeature\n");
  // Set again, the value finds the item added before.
  profiles->SetCurrentControlWithCFString("MyProfile");
  EXPECT_EQ(profiles->ItemCount(), 4);
}

TEST_F(PopupControl, RebuildReplacesTheItemsAndKeepsTheChoice) {
  WatchedStore store({{"*InputSlot", "Tray2"}, {"*InputSlot", "Tray3"}});
  auto popup = MakePopup("*InputSlot", {{"Tray1", "Tray 1", ""}, {"Tray2", "Tray 2", ""}}, "Tray1",
                         false, &store.ui);
  popup->SetKeywordSelect("Tray2", true);

  PointerList items;
  for (const char* keyword : {"Tray3", "Tray2", "Tray4"}) {
    items.PushBack(NewItem({keyword, keyword, ""}));
  }
  EXPECT_TRUE(popup->Rebuild("Paper Source", items, new CString("Tray3")));
  EXPECT_STREQ(popup->UserName(), "Paper Source");
  EXPECT_EQ(popup->CFStringUserName(), "Paper Source");
  EXPECT_EQ(popup->ItemCount(), 3);
  EXPECT_STREQ(popup->GetDefaultKeyword(), "Tray3");
  EXPECT_EQ(Selected(*popup), "Tray2");
  EXPECT_TRUE(store.Holds("*InputSlot", "Tray2"));

  // The chosen tray is gone from the new list: the new default stays chosen.
  PointerList fewer;
  fewer.PushBack(NewItem({"Tray3", "Tray 3", ""}));
  fewer.PushBack(NewItem({"Tray4", "Tray 4", ""}));
  EXPECT_TRUE(popup->Rebuild(nullptr, fewer, new CString("Tray3")));
  EXPECT_EQ(popup->CFStringUserName(), "Paper Source");
  EXPECT_EQ(Selected(*popup), "Tray3");
  EXPECT_EQ(Current(*popup), "Tray3");
  EXPECT_TRUE(store.Holds("*InputSlot", "Tray3"));
}

TEST_F(PopupControl, RebuildWithoutACurrentItemChangesNothing) {
  auto popup = MakePopup("*InputSlot", {{"Tray1", "Tray 1", ""}}, nullptr);
  PointerList items;
  items.PushBack(NewItem({"Tray9", "Tray 9", ""}));
  // The items and the default are taken (and freed) even so.
  EXPECT_FALSE(popup->Rebuild("Other", items, new CString("Tray9")));
  EXPECT_EQ(popup->ItemCount(), 1);
  EXPECT_EQ(popup->GetDefaultKeyword(), nullptr);
  EXPECT_EQ(popup->CFStringUserName(), "Name");
}

TEST_F(PopupControl, ItemIterationAndAppend) {
  auto popup = MakePopup("*PageSize", PaperItems(), "Letter");
  popup->AppendPopupItem(NewItem({"A3", "A3", ""}));
  popup->AppendPopupItem(nullptr);
  EXPECT_EQ(popup->ItemCount(), 4);

  PopupItemInfo info{"stale", "stale"};
  std::vector<std::string> seen;
  for (bool more = FirstItem(popup.get(), &info); more; more = NextItem(popup.get(), &info)) {
    seen.push_back(std::string(info.keyword) + "/" + info.localizedName);
  }
  EXPECT_EQ(seen,
            (std::vector<std::string>{"Letter/US Letter", "A4/A4", "Legal/US Legal", "A3/A3"}));
  // At the end the record is cleared.
  EXPECT_EQ(info.keyword, nullptr);
  EXPECT_EQ(info.localizedName, nullptr);
  EXPECT_FALSE(NextItem(popup.get(), &info));
}

TEST_F(PopupControl, FlatFunctions) {
  PointerList flags;
  PointerList items;
  items.PushBack(NewItem({"None", "Off", ""}));
  items.PushBack(NewItem({"Staple", "Staple", "1 staple\n"}));
  PPDXPopupControl popup("*KRStaple", "Staple", flags, true, true, true, items, new CString("None"),
                         nullptr);
  void* control = &popup;
  EXPECT_EQ(PopupItemCount(control), 2);
  EXPECT_TRUE(CanSelectMultipleItems(control));
  EXPECT_TRUE(popup.IsInstallableOption());
  EXPECT_STREQ(GetDefaultKeyword(control), "None");
  EXPECT_EQ(GetPopupDefaultValue(control), 1);
  EXPECT_TRUE(SetKeywordSelect(control, "Staple", true));
  EXPECT_TRUE(IsKeywordSelected(control, "Staple"));
  EXPECT_TRUE(IsKeywordSelected(control, "None"));  // multiple choice keeps the first
  EXPECT_STREQ(GetKeywordLocalName(control, "None"), "Off");
  SetPopupValue(control, 2);
  EXPECT_EQ(GetPopupValue(control), 2);
  EXPECT_EQ(PopupPostScript(control, nullptr), GetKeywordPSData(control, "Staple", nullptr));
  EXPECT_EQ(Written([&](unsigned char* out) { return PopupPostScript(control, out); }),
            "%%BeginFeature: *KRStaple Staple\n1 staple\n%%EndFeature\n");

  // A null control, or a control of another kind, answers nothing.
  PointerList none;
  PPDXBooleanControl boolean("*Collate", "Collate", none, true, nullptr, nullptr, 0, nullptr,
                             nullptr, 0, true, nullptr);
  PopupItemInfo info{"stale", "stale"};
  for (void* other : {static_cast<void*>(nullptr), static_cast<void*>(&boolean)}) {
    EXPECT_EQ(PopupItemCount(other), 0);
    EXPECT_FALSE(FirstItem(other, &info));
    EXPECT_EQ(info.keyword, nullptr);
    EXPECT_FALSE(NextItem(other, &info));
    EXPECT_EQ(GetKeywordLocalName(other, "A4"), nullptr);
    EXPECT_EQ(GetKeywordPSData(other, "A4", nullptr), 0);
    EXPECT_FALSE(IsKeywordSelected(other, "A4"));
    EXPECT_FALSE(SetKeywordSelect(other, "A4", true));
    EXPECT_EQ(PopupPostScript(other, nullptr), 0);
    EXPECT_EQ(GetPopupValue(other), 0);
    SetPopupValue(other, 1);
    EXPECT_EQ(GetPopupDefaultValue(other), 0);
    EXPECT_FALSE(CanSelectMultipleItems(other));
    EXPECT_EQ(GetDefaultKeyword(other), nullptr);
  }
  EXPECT_FALSE(FirstItem(control, nullptr));
}
