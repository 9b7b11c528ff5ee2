// PPDXGroups, the group kinds (plain group, scroll pane, roll-down), property pages and their
// list: counts and iteration by display options, unfiltered finders, the page hierarchy and
// ownership.
#include "PPDX/PPDObjects/PPDXGroups.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "PPDX/PPDObjects/GroupName.h"
#include "PPDX/PPDObjects/PPDXControls.h"
#include "PPDX/PPDObjects/PPDXGroup.h"
#include "PPDX/PPDObjects/PPDXProperties.h"
#include "PPDX/PPDObjects/PPDXProperty.h"
#include "PPDX/PPDObjects/PPDXRollDown.h"
#include "PPDX/PPDObjects/PPDXScrollPane.h"
#include "TestControls.h"
#include "foundation/ProcessGlobals.h"

namespace {

using containers_test::CountedGroup;
using containers_test::kHidden;
using containers_test::kHiddenOrphan;
using containers_test::kOrphan;
using containers_test::kShown;
using containers_test::State;
using containers_test::TestControl;

class GroupsTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetProcessGlobals(); }
  void TearDown() override { ResetProcessGlobals(); }

  static void SetOptions(_DISPLAY_OPTIONS_ options) { Globals().displayOptions = options; }

  PPDXGroup* Make(char const* keyword, State state) {
    auto* group = new PPDXGroup(keyword, std::string("Name of ") + keyword, state.visible);
    if (state.parented) group->SetParent(&page_);
    return group;
  }

  static std::vector<std::string> Visited(PPDXGroups& groups) {
    std::vector<std::string> out;
    for (PPDXGroup* g = groups.First(); g != nullptr; g = groups.Next())
      out.emplace_back(g->Keyword());
    return out;
  }

  PPDXProperty page_{"Page", "Page", true, true, true};
};

TEST_F(GroupsTest, CountAndIterationFollowTheDisplayOptions) {
  struct Case {
    const char* name;
    std::vector<State> states;
    long expected[4];  // under display options 0, 1, 2, 3
  };
  const Case cases[] = {
      {"empty", {}, {0, 0, 0, 0}},
      {"one shown", {kShown}, {1, 1, 1, 1}},
      {"one orphan", {kOrphan}, {0, 1, 0, 1}},
      {"one hidden", {kHidden}, {0, 0, 1, 1}},
      {"one hidden orphan", {kHiddenOrphan}, {0, 0, 0, 1}},
      {"one of each", {kShown, kOrphan, kHidden, kHiddenOrphan}, {1, 2, 2, 4}},
      {"two hidden orphans, one shown", {kHiddenOrphan, kShown, kHiddenOrphan}, {1, 1, 1, 3}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PPDXGroups groups;
    for (size_t i = 0; i < c.states.size(); ++i) {
      ASSERT_TRUE(groups.Add(Make(("G" + std::to_string(i)).c_str(), c.states[i])));
    }
    for (_DISPLAY_OPTIONS_ options = 0; options <= 3; ++options) {
      SCOPED_TRACE(options);
      SetOptions(options);
      EXPECT_EQ(groups.Count(), c.expected[options]);
      EXPECT_EQ(groups.Empty(), c.expected[options] == 0);
      EXPECT_EQ(static_cast<long>(Visited(groups).size()), c.expected[options]);
    }
    SetOptions(9);
    EXPECT_EQ(groups.Count(), 0);
  }
}

TEST_F(GroupsTest, IterationKeepsOrderAndFindSeesEveryGroup) {
  PPDXGroups groups;
  groups.Add(Make("QPHidden", kHiddenOrphan));
  groups.Add(Make("QPPaper", kShown));
  groups.Add(Make("QPPaperSource", kOrphan));
  groups.Add(Make("QPFinishing", kShown));
  SetOptions(0);
  EXPECT_EQ(Visited(groups), (std::vector<std::string>{"QPPaper", "QPFinishing"}));
  EXPECT_EQ(groups.Next(), nullptr);

  ASSERT_NE(groups.First(), nullptr);
  EXPECT_STREQ(groups.Find("QPHidden", true)->Keyword(), "QPHidden");
  EXPECT_STREQ(groups.Find("QPPaperSource", true)->Keyword(), "QPPaperSource");
  EXPECT_STREQ(groups.Find("Paper", false)->Keyword(), "QPPaper");
  EXPECT_STREQ(groups.Find("Source", false)->Keyword(), "QPPaperSource");
  EXPECT_EQ(groups.Find("Paper", true), nullptr);
  EXPECT_EQ(groups.Find(nullptr, false), nullptr);
  // Find did not move the cursor.
  EXPECT_STREQ(groups.Next()->Keyword(), "QPFinishing");
}

TEST_F(GroupsTest, CountsKeepTheStateAtAdd) {
  PPDXGroups groups;
  PPDXGroup* group = Make("Late", kOrphan);
  groups.Add(group);
  EXPECT_TRUE(groups.Empty());
  group->SetParent(&page_);
  EXPECT_TRUE(groups.Empty());
  EXPECT_EQ(groups.First(), group);
}

TEST_F(GroupsTest, PageHierarchyLinksPagePaneRollDownsAndControls) {
  // Owners as the parser holds them: the main lists own, the inner lists only point.
  PPDXProperties pages;
  PPDXGroups groups;
  PPDXControls controls;

  auto* page = new PPDXProperty("KRTPage", "Page", true, true, false);
  auto* pane = new PPDXScrollPane("Pane", "Pane", true);
  auto* first = new PPDXRollDown("First", "First", true);
  auto* second = new PPDXRollDown("Second", "Second", true);
  pages.Add(page);
  pane->SetParent(page);
  page->SetScrollDown(pane);
  groups.Add(pane);
  for (PPDXRollDown* roll_down : {first, second}) {
    roll_down->SetParent(pane);
    pane->RollDowns()->Add(roll_down);
    groups.Add(roll_down);
  }
  auto* duplex = new TestControl("*KRDuplex", kPopupControl);
  duplex->SetParent(second);
  second->Controls()->Add(duplex);
  controls.Add(duplex);

  EXPECT_TRUE(page->ShowInPrintProp());
  EXPECT_FALSE(page->ShowInApp());
  EXPECT_EQ(page->GetScrollDown(), pane);
  EXPECT_EQ(groups.Count(), 3);
  EXPECT_EQ(pane->RollDowns()->Count(), 2);
  EXPECT_EQ(pane->RollDowns()->First(), first);
  EXPECT_EQ(pane->RollDowns()->Next(), second);
  EXPECT_EQ(pane->RollDowns()->Next(), nullptr);
  EXPECT_TRUE(first->Controls()->Empty());
  CNTL_TYPE type = kBaseControl;
  EXPECT_EQ(second->Controls()->Find("*KRDuplex", type, true), duplex);
  EXPECT_EQ(duplex->GetParent(), second);
  // The lists are destroyed in the order that leaves each inner list dangling for a moment:
  // AddressSanitizer checks that no inner list touches what it points to.
}

TEST_F(GroupsTest, OwningListsDeleteOnceAndBorrowingListsNever) {
  int deleted = 0;
  auto* group = new CountedGroup("Group", true, &deleted);
  {
    PPDXScrollPane pane("Pane", "Pane", true);
    {
      PPDXGroups owner;
      ASSERT_TRUE(owner.Add(group));
      EXPECT_FALSE(owner.Add(group));
      EXPECT_FALSE(owner.Add(nullptr));
      ASSERT_TRUE(pane.RollDowns()->Add(group));
      PPDXGroups borrower(/*ownsGroups=*/false);
      borrower.Add(group);
    }
    EXPECT_EQ(deleted, 1);
  }
  EXPECT_EQ(deleted, 1);
}

TEST_F(GroupsTest, PropertiesListEveryPageUnfiltered) {
  PPDXProperties pages;
  EXPECT_TRUE(pages.Empty());
  EXPECT_EQ(pages.Count(), 0);
  EXPECT_EQ(pages.First(), nullptr);
  EXPECT_EQ(pages.Next(), nullptr);
  EXPECT_EQ(pages.Find("", false), nullptr);

  auto* hidden = new PPDXProperty("KRTHiddenPage", "Hidden", false, false, false);
  auto* layout = new PPDXProperty("KRTLayout", "Layout", true, true, true);
  ASSERT_TRUE(pages.Add(hidden));
  ASSERT_TRUE(pages.Add(layout));
  EXPECT_FALSE(pages.Add(layout));
  SetOptions(0);  // pages are orphans, and one is hidden; the list shows them all the same
  EXPECT_FALSE(pages.Empty());
  EXPECT_EQ(pages.Count(), 2);
  EXPECT_EQ(pages.First(), hidden);
  EXPECT_EQ(pages.Find("KRTLayout", true), layout);
  EXPECT_EQ(pages.Find("Page", false), hidden);
  EXPECT_EQ(pages.Find("Layout", true), nullptr);
  EXPECT_EQ(pages.Next(), layout);
  EXPECT_EQ(pages.Next(), nullptr);
}

TEST(GroupName, KeepsKeywordNameAndVisibility) {
  GroupName name("QPPaper", "Paper ", true);
  EXPECT_STREQ(name.Keyword(), "QPPaper");
  EXPECT_EQ(name.DisplayName(), "Paper ");
  EXPECT_TRUE(name.IsVisible());
  EXPECT_EQ(GroupName("", "x", false).Keyword(), nullptr);
  EXPECT_EQ(GroupName(nullptr, "x", false).Keyword(), nullptr);
}

}  // namespace
