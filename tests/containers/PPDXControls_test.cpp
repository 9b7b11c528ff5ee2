// PPDXControls and CountArray: routing by type, counts fixed when a control is added, iteration
// and finders under the display options, the keyword index against a plain walk, and ownership.
#include "PPDX/PPDObjects/PPDXControls.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "PPDX/PPDObjects/CountArray.h"
#include "PPDX/PPDObjects/PPDXRollDown.h"
#include "TestControls.h"
#include "foundation/ProcessGlobals.h"

namespace {

using containers_test::kHidden;
using containers_test::kHiddenOrphan;
using containers_test::kOrphan;
using containers_test::kShown;
using containers_test::State;
using containers_test::TestControl;

class ControlsTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetProcessGlobals(); }
  void TearDown() override { ResetProcessGlobals(); }

  static void SetOptions(_DISPLAY_OPTIONS_ options) { Globals().displayOptions = options; }

  // A new control in `state`; the caller (or the list it joins) owns it.
  TestControl* Make(char const* keyword, CNTL_TYPE type, State state, int* deleted = nullptr) {
    auto* control = new TestControl(keyword, type, state.visible, deleted);
    if (state.parented) control->SetParent(&parent_);
    return control;
  }

  // Keywords of the controls that First/Next give under the current options.
  static std::vector<std::string> Visited(PPDXControls& controls) {
    std::vector<std::string> out;
    CNTL_TYPE type = kBaseControl;
    for (PPDXControl* c = controls.First(type); c != nullptr; c = controls.Next(type)) {
      out.emplace_back(c->Keyword() ? c->Keyword() : "(none)");
    }
    return out;
  }

  PPDXGroup parent_{"Parent", "Parent", true};
};

TEST_F(ControlsTest, CountFollowsTheDisplayOptions) {
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
      {"two shown, one hidden orphan", {kShown, kShown, kHiddenOrphan}, {2, 2, 2, 3}},
      {"one of each", {kShown, kOrphan, kHidden, kHiddenOrphan}, {1, 2, 2, 4}},
      {"three hidden orphans", {kHiddenOrphan, kHiddenOrphan, kHiddenOrphan}, {0, 0, 0, 3}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PPDXControls controls;
    CountArray counts;
    for (const State& state : c.states) {
      PPDXControl* popup = Make("*Popup", kPopupControl, state);
      counts.Add(*popup);
      ASSERT_TRUE(controls.Add(popup));
    }
    for (_DISPLAY_OPTIONS_ options = 0; options <= 3; ++options) {
      SCOPED_TRACE(options);
      SetOptions(options);
      EXPECT_EQ(Count(counts, options), c.expected[options]);
      EXPECT_EQ(controls.PopupCount(), c.expected[options]);
      EXPECT_EQ(controls.NoPopups(), c.expected[options] == 0);
      // The count is the number of controls the filtered iteration visits.
      EXPECT_EQ(static_cast<long>(Visited(controls).size()), c.expected[options]);
    }
    EXPECT_EQ(Count(counts, 4), 0);
    EXPECT_EQ(Count(counts, 0xFFFFFFFFu), 0);
  }
}

TEST_F(ControlsTest, AddSortsByTypeAndControlCountLeavesOutSpecialOptions) {
  PPDXControls controls;
  const CNTL_TYPE types[] = {kBaseControl,          kJobNoteControl,       kRangeControl,
                             kFloatRangeControl,    kBooleanControl,       kPopupControl,
                             kSpecialOptionControl, kCustomPageSizeControl};
  std::vector<std::string> keywords;
  for (CNTL_TYPE type : types) {
    keywords.push_back("*Type" + std::to_string(type));
    ASSERT_TRUE(controls.Add(Make(keywords.back().c_str(), type, kShown)));
  }
  EXPECT_STREQ(controls.FirstJobNote()->Keyword(), "*Type1");
  EXPECT_STREQ(controls.FirstRangeControl()->Keyword(), "*Type2");
  EXPECT_STREQ(controls.FirstFloatRangeControl()->Keyword(), "*Type3");
  EXPECT_STREQ(controls.FirstBooleanControl()->Keyword(), "*Type4");
  EXPECT_STREQ(controls.FirstPopupControl()->Keyword(), "*Type5");
  EXPECT_STREQ(controls.FirstSpecialOption()->Keyword(), "*Type6");
  EXPECT_EQ(controls.NextPopupControl(), nullptr);

  EXPECT_EQ(controls.PopupCount(), 1);
  EXPECT_EQ(controls.BooleanCount(), 1);
  EXPECT_EQ(controls.RangeCount(), 1);
  EXPECT_EQ(controls.FloatRangeCount(), 1);
  EXPECT_EQ(controls.JobNoteCount(), 1);
  EXPECT_EQ(controls.SpecialOptionsCount(), 1);
  EXPECT_EQ(controls.CustomPageSizeCount(), 1);
  EXPECT_EQ(controls.ControlCount(), 6);
  EXPECT_FALSE(controls.Empty());

  // The base-type control is in the list of all, and only there.
  EXPECT_EQ(Visited(controls), keywords);
  CNTL_TYPE type = kPopupControl;
  ASSERT_NE(controls.Find("*Type0", type, true), nullptr);
  EXPECT_EQ(type, kBaseControl);
  for (CNTL_TYPE t : types) {
    CNTL_TYPE found = kBaseControl;
    ASSERT_NE(controls.Find(("*Type" + std::to_string(t)).c_str(), found, true), nullptr);
    EXPECT_EQ(found, t);
  }
}

TEST_F(ControlsTest, JobNotesAndSpecialOptionsCountUnderFixedOptions) {
  PPDXControls controls;
  for (const State& state : {kShown, kOrphan, kHidden, kHiddenOrphan}) {
    controls.Add(Make("*Note", kJobNoteControl, state));
    controls.Add(Make("*Special", kSpecialOptionControl, state));
  }
  for (_DISPLAY_OPTIONS_ options = 0; options <= 3; ++options) {
    SCOPED_TRACE(options);
    SetOptions(options);
    EXPECT_EQ(controls.JobNoteCount(), 2);  // visible ones, orphans included
    EXPECT_EQ(controls.SpecialOptionsCount(), 4);
    EXPECT_FALSE(controls.NoJobNotes());
    EXPECT_FALSE(controls.NoSpecialOptions());
    EXPECT_EQ(controls.ControlCount(), 2);
    EXPECT_EQ(Globals().displayOptions, options);
  }
}

TEST_F(ControlsTest, CountsKeepTheStateAtAddButIterationSeesTheCurrentState) {
  PPDXControls controls;
  PPDXControl* popup = Make("*Orphan", kPopupControl, kOrphan);
  controls.Add(popup);
  EXPECT_EQ(controls.PopupCount(), 0);
  SetOptions(kDisplayOrphans);
  EXPECT_EQ(controls.PopupCount(), 1);

  SetOptions(0);
  popup->SetParent(&parent_);  // the parent arrives later, as hierarchy resolution does it
  EXPECT_EQ(controls.PopupCount(), 0);
  CNTL_TYPE type = kBaseControl;
  EXPECT_EQ(controls.First(type), popup);
  EXPECT_EQ(controls.Find("*Orphan", type, true), popup);
}

TEST_F(ControlsTest, EmptyLooksAtPopupsBooleansRangesFloatRangesAndJobNotes) {
  PPDXControls controls;
  EXPECT_TRUE(controls.Empty());
  EXPECT_EQ(controls.ControlCount(), 0);
  CNTL_TYPE type = kPopupControl;
  EXPECT_EQ(controls.First(type), nullptr);
  EXPECT_EQ(controls.Next(type), nullptr);
  EXPECT_EQ(controls.Find("", type, false), nullptr);
  EXPECT_EQ(type, kPopupControl);  // untouched when nothing is found
  EXPECT_EQ(controls.FirstJobNote(), nullptr);
  EXPECT_EQ(controls.FindBoolean("*X", true), nullptr);

  controls.Add(Make("*Special", kSpecialOptionControl, kShown));
  controls.Add(Make("*CustomPrintSize", kCustomPageSizeControl, kShown));
  controls.Add(Make("*Base", kBaseControl, kShown));
  EXPECT_TRUE(controls.Empty());
  EXPECT_EQ(controls.ControlCount(), 1);

  controls.Add(Make("*OrphanPopup", kPopupControl, kOrphan));
  EXPECT_TRUE(controls.Empty());
  SetOptions(kDisplayOrphans);
  EXPECT_FALSE(controls.Empty());
}

TEST_F(ControlsTest, IterationVisitsShownControlsInOrderAndSetsType) {
  PPDXControls controls;
  controls.Add(Make("*A", kPopupControl, kShown));
  controls.Add(Make("*B", kBooleanControl, kHidden));
  controls.Add(Make("*C", kRangeControl, kOrphan));
  controls.Add(Make("*D", kBooleanControl, kShown));
  controls.Add(Make("*E", kJobNoteControl, kHiddenOrphan));
  controls.Add(Make("*F", kFloatRangeControl, kShown));

  const std::vector<std::vector<std::string>> expected = {
      {"*A", "*D", "*F"},
      {"*A", "*C", "*D", "*F"},
      {"*A", "*B", "*D", "*F"},
      {"*A", "*B", "*C", "*D", "*E", "*F"},
  };
  for (_DISPLAY_OPTIONS_ options = 0; options <= 3; ++options) {
    SCOPED_TRACE(options);
    SetOptions(options);
    EXPECT_EQ(Visited(controls), expected[options]);
  }

  SetOptions(0);
  CNTL_TYPE type = kBaseControl;
  EXPECT_EQ(controls.Next(type), nullptr) << "Next before First";
  ASSERT_NE(controls.First(type), nullptr);
  EXPECT_EQ(type, kPopupControl);
  ASSERT_NE(controls.Next(type), nullptr);
  EXPECT_EQ(type, kBooleanControl);
  ASSERT_NE(controls.Next(type), nullptr);
  EXPECT_EQ(type, kFloatRangeControl);
  EXPECT_EQ(controls.Next(type), nullptr);
  EXPECT_EQ(type, kFloatRangeControl);
  EXPECT_EQ(controls.Next(type), nullptr) << "stays at the end";
}

TEST_F(ControlsTest, FindGivesTheFirstShownMatchUnderEachDisplayOption) {
  // Four controls of one keyword, from least to most shown; each option finds a different one.
  PPDXControls controls;
  const State states[] = {kHiddenOrphan, kHidden, kOrphan, kShown};
  const CNTL_TYPE types[] = {kBooleanControl, kRangeControl, kJobNoteControl, kPopupControl};
  std::vector<PPDXControl*> made;
  controls.Add(Make("*Other", kPopupControl, kShown));
  for (int i = 0; i < 4; ++i) {
    made.push_back(Make("*KRDuplex", types[i], states[i]));
    controls.Add(made.back());
  }
  struct Case {
    _DISPLAY_OPTIONS_ options;
    int expected;  // index into `made`
  };
  const Case cases[] = {{0, 3}, {1, 2}, {2, 1}, {3, 0}, {7, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.options);
    SetOptions(c.options);
    for (bool exact : {true, false}) {
      CNTL_TYPE type = kBaseControl;
      EXPECT_EQ(controls.Find(exact ? "*KRDuplex" : "Dup", type, exact), made[c.expected]);
      EXPECT_EQ(type, types[c.expected]);
    }
  }
  // A hidden orphan is invisible to Find under options 0 when it is the only match.
  PPDXControls lonely;
  lonely.Add(Make("*Lonely", kPopupControl, kHiddenOrphan));
  SetOptions(0);
  CNTL_TYPE type = kBaseControl;
  EXPECT_EQ(lonely.Find("*Lonely", type, true), nullptr);
  SetOptions(3);
  EXPECT_NE(lonely.Find("*Lonely", type, true), nullptr);
}

TEST_F(ControlsTest, FindByExactKeywordOrContainment) {
  struct Case {
    const char* name;
    std::vector<const char*> keywords;  // nullptr: a control without keyword
    const char* query;
    bool exact;
    const char* expected;  // nullptr: nothing found
  };
  const Case cases[] = {
      {"containment finds the first", {"*KRDuplex", "*DuplexMode"}, "Duplex", false, "*KRDuplex"},
      {"containment in list order", {"*DuplexMode", "*KRDuplex"}, "Duplex", false, "*DuplexMode"},
      {"exact needs the whole keyword", {"*KRDuplex", "*DuplexMode"}, "Duplex", true, nullptr},
      {"exact match", {"*DuplexMode", "*KRDuplex"}, "*KRDuplex", true, "*KRDuplex"},
      {"exact is case-sensitive", {"*KRDuplex"}, "*krduplex", true, nullptr},
      {"exact is not a prefix match",
       {"*KRDuplexMode", "*KRDuplex"},
       "*KRDuplex",
       true,
       "*KRDuplex"},
      {"empty text is in every keyword", {nullptr, "*A", "*B"}, "", false, "*A"},
      {"empty text matches no keyword exactly", {nullptr, "*A"}, "", true, nullptr},
      {"null text", {"*A"}, nullptr, false, nullptr},
      {"null text exact", {"*A"}, nullptr, true, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PPDXControls controls;
    for (const char* keyword : c.keywords) controls.Add(Make(keyword, kPopupControl, kShown));
    CNTL_TYPE type = kBaseControl;
    PPDXControl* found = controls.Find(c.query, type, c.exact);
    PPDXControl* popup = controls.FindPopup(c.query, c.exact);
    if (c.expected == nullptr) {
      EXPECT_EQ(found, nullptr);
      EXPECT_EQ(popup, nullptr);
    } else {
      ASSERT_NE(found, nullptr);
      EXPECT_STREQ(found->Keyword(), c.expected);
      EXPECT_EQ(popup, found);
    }
  }
}

TEST_F(ControlsTest, FindLeavesTheIterationWhereItWas) {
  PPDXControls controls;
  for (const char* keyword : {"*A", "*B", "*C", "*D"}) {
    controls.Add(Make(keyword, kPopupControl, kShown));
  }
  CNTL_TYPE type = kBaseControl;
  ASSERT_STREQ(controls.First(type)->Keyword(), "*A");
  EXPECT_STREQ(controls.Find("*D", type, true)->Keyword(), "*D");
  EXPECT_STREQ(controls.Find("C", type, false)->Keyword(), "*C");
  EXPECT_EQ(controls.Find("*Z", type, true), nullptr);
  EXPECT_STREQ(controls.Next(type)->Keyword(), "*B");

  ASSERT_STREQ(controls.FirstPopupControl()->Keyword(), "*A");
  EXPECT_STREQ(controls.FindPopup("*D", true)->Keyword(), "*D");
  EXPECT_STREQ(controls.NextPopupControl()->Keyword(), "*B");
}

TEST_F(ControlsTest, TypeListsSeeEveryMemberWhateverTheOptions) {
  PPDXControls controls;
  controls.Add(Make("*HiddenOrphan", kBooleanControl, kHiddenOrphan));
  controls.Add(Make("*Shown", kBooleanControl, kShown));
  controls.Add(Make("*Popup", kPopupControl, kShown));
  SetOptions(0);
  EXPECT_STREQ(controls.FirstBooleanControl()->Keyword(), "*HiddenOrphan");
  EXPECT_STREQ(controls.NextBooleanControl()->Keyword(), "*Shown");
  EXPECT_EQ(controls.NextBooleanControl(), nullptr);
  EXPECT_STREQ(controls.FindBoolean("*HiddenOrphan", true)->Keyword(), "*HiddenOrphan");
  EXPECT_STREQ(controls.FindBoolean("Orphan", false)->Keyword(), "*HiddenOrphan");
  // Each type list answers for its own type only.
  EXPECT_EQ(controls.FindBoolean("*Popup", true), nullptr);
  EXPECT_EQ(controls.FindPopup("*Shown", true), nullptr);
  EXPECT_EQ(controls.FindRangeControl("*Shown", true), nullptr);
  EXPECT_EQ(controls.FindFloatRangeControl("*Shown", false), nullptr);
  EXPECT_EQ(controls.FindJobNote("*Shown", true), nullptr);
  EXPECT_EQ(controls.FindSpecialOption("*Shown", true), nullptr);
}

// The keyword index must answer exactly as a walk of the list does, for many controls sharing
// keywords, under every display option, also after parents are given later.
TEST_F(ControlsTest, IndexedFindAgreesWithAWalkOfTheList) {
  std::mt19937 random(20240611);
  PPDXControls controls;
  std::vector<PPDXControl*> all;
  std::vector<std::string> keywords;
  for (int i = 0; i < 60; ++i) keywords.push_back("*Key" + std::to_string(i));
  const CNTL_TYPE types[] = {kPopupControl, kBooleanControl, kJobNoteControl, kRangeControl};
  const State states[] = {kShown, kOrphan, kHidden, kHiddenOrphan};
  for (int i = 0; i < 3000; ++i) {
    PPDXControl* control = Make(keywords[random() % keywords.size()].c_str(), types[random() % 4],
                                states[random() % 4]);
    controls.Add(control);
    all.push_back(control);
  }
  auto walk = [&](char const* keyword, _DISPLAY_OPTIONS_ options) -> PPDXControl* {
    for (PPDXControl* c : all) {
      if (c->OkayToDisplay(options) && std::strcmp(c->Keyword(), keyword) == 0) return c;
    }
    return nullptr;
  };
  auto walk_popup = [&](char const* keyword) -> PPDXControl* {
    for (PPDXControl* c : all) {
      if (c->Type() == kPopupControl && std::strcmp(c->Keyword(), keyword) == 0) return c;
    }
    return nullptr;
  };
  auto check = [&]() {
    for (_DISPLAY_OPTIONS_ options = 0; options <= 3; ++options) {
      SetOptions(options);
      for (const std::string& keyword : keywords) {
        CNTL_TYPE type = kBaseControl;
        ASSERT_EQ(controls.Find(keyword.c_str(), type, true), walk(keyword.c_str(), options))
            << keyword << " under " << options;
        ASSERT_EQ(controls.FindPopup(keyword.c_str(), true), walk_popup(keyword.c_str()));
      }
      CNTL_TYPE type = kBaseControl;
      ASSERT_EQ(controls.Find("*Absent", type, true), nullptr);
    }
  };
  check();
  // Orphans receive parents after they were added; lookups follow the current state.
  for (PPDXControl* c : all) {
    if (c->IsOrphan() && random() % 2 == 0) c->SetParent(&parent_);
  }
  check();
}

TEST_F(ControlsTest, OwningListDeletesItsControlsAndBorrowingListsDoNot) {
  int deleted = 0;
  PPDXControl* first = Make("*A", kPopupControl, kShown, &deleted);
  PPDXControl* second = Make("*B", kBooleanControl, kShown, &deleted);
  {
    PPDXRollDown roll_down("RollDown", "Roll-down", true);
    {
      PPDXControls owner;
      ASSERT_TRUE(owner.Add(first));
      ASSERT_TRUE(owner.Add(second));
      EXPECT_FALSE(owner.Add(first)) << "an owning list takes a control once";
      EXPECT_FALSE(owner.Add(nullptr));
      EXPECT_EQ(owner.PopupCount(), 1);

      PPDXControls* borrowed = roll_down.Controls();
      ASSERT_NE(borrowed, nullptr);
      EXPECT_TRUE(borrowed->Add(first));
      EXPECT_TRUE(borrowed->Add(first)) << "a borrowing list may list a control twice";
      EXPECT_EQ(borrowed->PopupCount(), 2);
      {
        PPDXControls other_borrower(/*ownsControls=*/false);
        other_borrower.Add(second);
      }
      EXPECT_EQ(deleted, 0);
    }
    EXPECT_EQ(deleted, 2);
    // The roll-down goes after the owner; its list never touches the controls.
  }
  EXPECT_EQ(deleted, 2);
}

}  // namespace
