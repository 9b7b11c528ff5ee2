// The flat C functions of the containers: a null list or element through every one of them, the
// run-time kind tests, and the answers they pass through for a real tree.
#include <gtest/gtest.h>

#include <memory>

#include "PPDX/PPDObjects/PPDXControls.h"
#include "PPDX/PPDObjects/PPDXGroup.h"
#include "PPDX/PPDObjects/PPDXGroups.h"
#include "PPDX/PPDObjects/PPDXProperties.h"
#include "PPDX/PPDObjects/PPDXProperty.h"
#include "PPDX/PPDObjects/PPDXRollDown.h"
#include "PPDX/PPDObjects/PPDXScrollPane.h"
#include "PPDX/PPDObjects/PPDXShortcuts.h"
#include "TestControls.h"
#include "foundation/PointerList.h"
#include "foundation/ProcessGlobals.h"

namespace {

using containers_test::TestControl;

TEST(ContainerFlatFunctions, NullGivesZeroFalseOrNull) {
  CNTL_TYPE type = kPopupControl;
  // Controls.
  EXPECT_EQ(GetControlCount(nullptr), 0);
  EXPECT_EQ(GetPopupCount(nullptr), 0);
  EXPECT_EQ(GetBooleanCount(nullptr), 0);
  EXPECT_EQ(GetRangeCount(nullptr), 0);
  EXPECT_EQ(GetFloatRangeCount(nullptr), 0);
  EXPECT_EQ(GetJobnoteCount(nullptr), 0);
  EXPECT_EQ(Find(nullptr, "*PageSize", &type, true), nullptr);
  EXPECT_EQ(GetFirst(nullptr, &type), nullptr);
  EXPECT_EQ(GetNext(nullptr, &type), nullptr);
  EXPECT_EQ(type, kPopupControl);
  EXPECT_EQ(GetFirstPopupControl(nullptr), nullptr);
  EXPECT_EQ(GetNextPopupControl(nullptr), nullptr);
  EXPECT_EQ(GetFindPopup(nullptr, "*PageSize", true), nullptr);
  EXPECT_EQ(GetFirstBooleanControl(nullptr), nullptr);
  EXPECT_EQ(GetNextBooleanControl(nullptr), nullptr);
  EXPECT_EQ(GetFindBoolean(nullptr, "x", false), nullptr);
  EXPECT_EQ(GetFirstRangeControl(nullptr), nullptr);
  EXPECT_EQ(GetNextRangeControl(nullptr), nullptr);
  EXPECT_EQ(GetFindRangeControl(nullptr, "x", false), nullptr);
  EXPECT_EQ(GetFirstFloatRangeControl(nullptr), nullptr);
  EXPECT_EQ(GetNextFloatRangeControl(nullptr), nullptr);
  EXPECT_EQ(GetFindFloatRangeControl(nullptr, "x", false), nullptr);
  EXPECT_EQ(GetFirstJobNote(nullptr), nullptr);
  EXPECT_EQ(GetNextJobNote(nullptr), nullptr);
  EXPECT_EQ(GetFindJobNote(nullptr, "x", false), nullptr);
  EXPECT_FALSE(GetEmpty(nullptr));
  EXPECT_FALSE(GetNoPopups(nullptr));
  EXPECT_FALSE(GetNoBooleanControls(nullptr));
  EXPECT_FALSE(GetNoRangeControls(nullptr));
  EXPECT_FALSE(GetNoFloatRangeControls(nullptr));
  EXPECT_FALSE(GetNoJobNotes(nullptr));
  // Groups and their kinds.
  EXPECT_EQ(FirstGroup(nullptr), nullptr);
  EXPECT_EQ(NextGroup(nullptr), nullptr);
  EXPECT_EQ(FindGroup(nullptr, "x", true), nullptr);
  EXPECT_FALSE(IsGrouPointerListEmpty(nullptr));
  EXPECT_EQ(GroupCount(nullptr), 0);
  EXPECT_EQ(GetRollDownControlList(nullptr), nullptr);
  EXPECT_FALSE(IsRollDown(nullptr));
  EXPECT_EQ(GetScrollPaneRollDowns(nullptr), nullptr);
  EXPECT_FALSE(IsScrollPane(nullptr));
  // Properties.
  EXPECT_EQ(FirstProperty(nullptr), nullptr);
  EXPECT_EQ(NextProperty(nullptr), nullptr);
  EXPECT_EQ(FindProperty(nullptr, "x", true), nullptr);
  EXPECT_FALSE(IsPropertyListEmpty(nullptr));
  EXPECT_EQ(PropertyCount(nullptr), 0);
  EXPECT_FALSE(ShowPropInPrintProp(nullptr));
  EXPECT_FALSE(ShowPropInApp(nullptr));
  EXPECT_EQ(GetPropertyScrollDown(nullptr), nullptr);
  SetPropertyScrollDown(nullptr, nullptr);
  EXPECT_FALSE(IsPropertyPage(nullptr));
  // Shortcuts.
  EXPECT_FALSE(IsShortcutsListEmpty(nullptr));
  EXPECT_EQ(GetShortcutCount(nullptr), 0);
  EXPECT_EQ(GetPageSizeShortcut(nullptr), nullptr);
  EXPECT_EQ(GetInputSlotShortcut(nullptr), nullptr);
  EXPECT_EQ(GetDuplexShortcut(nullptr), nullptr);
  EXPECT_EQ(GetOrientationShortcut(nullptr), nullptr);
  EXPECT_EQ(GetTonesmithShortcut(nullptr), nullptr);
  EXPECT_EQ(GetMediaSourceShortcut(nullptr), nullptr);
  EXPECT_EQ(FindShortcut(nullptr, "*PageSize", true), nullptr);
  EXPECT_EQ(FirstShortcut(nullptr), nullptr);
  EXPECT_EQ(NextShortcut(nullptr), nullptr);
}

TEST(ContainerFlatFunctions, KindTestsAnswerForTheRunTimeType) {
  PPDXGroup group("Group", "Group", true);
  PPDXRollDown roll_down("RollDown", "Roll-down", true);
  PPDXScrollPane pane("Pane", "Pane", true);
  PPDXProperty page("Page", "Page", true, true, true);
  TestControl control("*PageSize", kPopupControl);
  struct Case {
    const char* name;
    void* element;
    bool roll_down, scroll_pane, property_page;
  };
  const Case cases[] = {
      {"group", &group, false, false, false},
      {"roll-down", &roll_down, true, false, false},
      {"scroll pane", &pane, false, true, false},
      {"property page", &page, false, false, true},
      {"control", static_cast<PPDXElement*>(&control), false, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(IsRollDown(c.element), c.roll_down);
    EXPECT_EQ(IsScrollPane(c.element), c.scroll_pane);
    EXPECT_EQ(IsPropertyPage(c.element), c.property_page);
    EXPECT_EQ(GetRollDownControlList(c.element) != nullptr, c.roll_down);
    EXPECT_EQ(GetScrollPaneRollDowns(c.element) != nullptr, c.scroll_pane);
    EXPECT_EQ(GetPropertyScrollDown(c.element), nullptr);
  }
  EXPECT_EQ(GetRollDownControlList(&roll_down), roll_down.Controls());
  EXPECT_EQ(GetScrollPaneRollDowns(&pane), pane.RollDowns());
}

TEST(ContainerFlatFunctions, PropertyScrollPaneNeedsAPageAndAPane) {
  PPDXProperty page("Page", "Page", true, false, true);
  PPDXScrollPane pane("Pane", "Pane", true);
  PPDXGroup group("Group", "Group", true);
  EXPECT_FALSE(ShowPropInPrintProp(&page));
  EXPECT_TRUE(ShowPropInApp(&page));

  SetPropertyScrollDown(&page, nullptr);
  EXPECT_EQ(GetPropertyScrollDown(&page), nullptr);
  SetPropertyScrollDown(&page, &group);  // a plain group is no scroll pane
  EXPECT_EQ(GetPropertyScrollDown(&page), nullptr);
  SetPropertyScrollDown(&group, &pane);  // nor is a group a page
  SetPropertyScrollDown(&page, &pane);
  EXPECT_EQ(GetPropertyScrollDown(&page), &pane);
  EXPECT_EQ(page.GetScrollDown(), &pane);
}

TEST(ContainerFlatFunctions, PassTheContainersAnswersThrough) {
  ResetProcessGlobals();
  PPDXGroup parent("Parent", "Parent", true);
  PPDXControls controls;
  auto* popup = new TestControl("*PageSize", kPopupControl);
  auto* boolean = new TestControl("*KRDuplex", kBooleanControl);
  auto* orphan = new TestControl("*KROrphan", kJobNoteControl);
  popup->SetParent(&parent);
  boolean->SetParent(&parent);
  controls.Add(popup);
  controls.Add(boolean);
  controls.Add(orphan);

  EXPECT_EQ(GetControlCount(&controls), 3);  // the job note counts with orphans included
  EXPECT_EQ(GetJobnoteCount(&controls), 1);
  EXPECT_FALSE(GetEmpty(&controls));
  EXPECT_TRUE(GetNoRangeControls(&controls));
  CNTL_TYPE type = kBaseControl;
  EXPECT_EQ(GetFirst(&controls, &type), popup);
  EXPECT_EQ(type, kPopupControl);
  EXPECT_EQ(GetNext(&controls, nullptr), boolean);
  EXPECT_EQ(GetNext(&controls, &type), nullptr) << "the orphan is not shown under options 0";
  EXPECT_EQ(Find(&controls, "Duplex", &type, false), boolean);
  EXPECT_EQ(type, kBooleanControl);
  EXPECT_EQ(Find(&controls, "*KROrphan", nullptr, true), nullptr);
  EXPECT_EQ(GetFindJobNote(&controls, "*KROrphan", true), orphan);

  PointerList list;
  list.PushBack(boolean);
  list.PushBack(popup);
  PPDXShortcuts shortcuts(list);
  EXPECT_EQ(FirstShortcut(&shortcuts), popup);
  EXPECT_EQ(NextShortcut(&shortcuts), nullptr);
  EXPECT_EQ(GetPageSizeShortcut(&shortcuts), popup);
  EXPECT_EQ(GetDuplexShortcut(&shortcuts), nullptr);
  EXPECT_EQ(GetTonesmithShortcut(&shortcuts), nullptr);
  EXPECT_EQ(GetShortcutCount(&shortcuts), 2);
  EXPECT_FALSE(IsShortcutsListEmpty(&shortcuts));

  PPDXGroups groups;
  EXPECT_TRUE(IsGrouPointerListEmpty(&groups));
  groups.Add(new PPDXGroup("QPPaper", "Paper", true));
  EXPECT_TRUE(IsGrouPointerListEmpty(&groups)) << "an orphan group is not shown under options 0";
  EXPECT_NE(FindGroup(&groups, "QPPaper", true), nullptr);
  EXPECT_EQ(FirstGroup(&groups), nullptr);

  PPDXProperties pages;
  EXPECT_TRUE(IsPropertyListEmpty(&pages));
  auto* page = new PPDXProperty("KRTLayout", "Layout", true, true, true);
  pages.Add(page);
  EXPECT_EQ(PropertyCount(&pages), 1);
  EXPECT_EQ(FirstProperty(&pages), page);
  EXPECT_EQ(NextProperty(&pages), nullptr);
  EXPECT_EQ(FindProperty(&pages, "Layout", false), page);
}

}  // namespace
