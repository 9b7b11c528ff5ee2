// PPDXShortcuts: the iteration that starts at the first popup, finders along it, the named
// finders, counts, and ownership.
#include "PPDX/PPDObjects/PPDXShortcuts.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "TestControls.h"
#include "foundation/PointerList.h"
#include "foundation/ProcessGlobals.h"

namespace {

using containers_test::TestControl;

struct Entry {
  const char* keyword;
  CNTL_TYPE type;
};

// Controls for a shortcut list; they outlive the list, as the parser's controls do.
class Controls {
 public:
  explicit Controls(const std::vector<Entry>& entries) {
    for (const Entry& e : entries) {
      held_.push_back(std::make_unique<TestControl>(e.keyword, e.type));
      list_.PushBack(held_.back().get());
    }
  }
  PointerList& list() { return list_; }
  PPDXControl* at(size_t i) const { return held_[i].get(); }

 private:
  std::vector<std::unique_ptr<TestControl>> held_;
  PointerList list_;
};

std::vector<std::string> Iterate(PPDXShortcuts& shortcuts) {
  std::vector<std::string> out;
  for (PPDXControl* c = shortcuts.First(); c != nullptr; c = shortcuts.Next()) {
    out.emplace_back(c->Keyword());
  }
  return out;
}

TEST(PPDXShortcuts, FirstSkipsToThePopupAndNextTakesPopupsJobNotesAndBooleans) {
  struct Case {
    const char* name;
    std::vector<Entry> entries;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {"empty", {}, {}},
      {"boolean then popup", {{"*Bool", kBooleanControl}, {"*Popup", kPopupControl}}, {"*Popup"}},
      {"no popup", {{"*Bool", kBooleanControl}, {"*Note", kJobNoteControl}}, {}},
      {"mixed",
       {{"*Note0", kJobNoteControl},
        {"*Bool0", kBooleanControl},
        {"*Popup1", kPopupControl},
        {"*Range", kRangeControl},
        {"*Bool1", kBooleanControl},
        {"*Float", kFloatRangeControl},
        {"*Note1", kJobNoteControl},
        {"*Special", kSpecialOptionControl},
        {"*Custom", kCustomPageSizeControl},
        {"*Popup2", kPopupControl}},
       {"*Popup1", "*Bool1", "*Note1", "*Popup2"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Controls controls(c.entries);
    PPDXShortcuts shortcuts(controls.list());
    EXPECT_EQ(Iterate(shortcuts), c.expected);
    EXPECT_EQ(shortcuts.Next(), nullptr) << "stays at the end";
    EXPECT_EQ(shortcuts.Count(), static_cast<long>(c.entries.size()));
    EXPECT_EQ(shortcuts.Empty(), c.entries.empty());
  }
}

TEST(PPDXShortcuts, FindSearchesAlongTheIteration) {
  Controls controls({{"*KRBooleanEarly", kBooleanControl},
                     {"*PageSize", kPopupControl},
                     {"*KRStaple", kRangeControl},
                     {"*KRDuplex", kBooleanControl},
                     {"*KRJobNote", kJobNoteControl}});
  PPDXShortcuts shortcuts(controls.list());
  struct Case {
    const char* query;
    bool exact;
    const char* expected;
  };
  const Case cases[] = {
      {"*KRBooleanEarly", true, nullptr},  // before the first popup
      {"Early", false, nullptr},          {"*PageSize", true, "*PageSize"},
      {"*KRStaple", true, nullptr},  // a range is not iterated
      {"*KRDuplex", true, "*KRDuplex"},   {"KR", false, "*KRDuplex"},
      {"Note", false, "*KRJobNote"},      {"*KRDuplex ", true, nullptr},
      {nullptr, true, nullptr},           {nullptr, false, nullptr},
  };
  ASSERT_STREQ(shortcuts.First()->Keyword(), "*PageSize");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.query ? c.query : "(null)");
    PPDXControl* found = shortcuts.Find(c.query, c.exact);
    if (c.expected == nullptr) {
      EXPECT_EQ(found, nullptr);
    } else {
      ASSERT_NE(found, nullptr);
      EXPECT_STREQ(found->Keyword(), c.expected);
    }
  }
  EXPECT_STREQ(shortcuts.Next()->Keyword(), "*KRDuplex") << "Find left the cursor alone";
}

TEST(PPDXShortcuts, NamedFinders) {
  Controls controls({{"*KRDuplex", kBooleanControl},  // before the first popup: not reachable
                     {"*InputSlot", kPopupControl},
                     {"*PageSize", kPopupControl},
                     {"*KR_PAPER_ORIENTATION", kPopupControl},
                     {"*KRToneSmithMode", kPopupControl}});
  PPDXShortcuts shortcuts(controls.list());
  EXPECT_EQ(shortcuts.PageSize(), controls.at(2));
  EXPECT_EQ(shortcuts.InputSlot(), controls.at(1));
  EXPECT_EQ(shortcuts.Orientation(), controls.at(3));
  EXPECT_EQ(shortcuts.Duplex(), nullptr);
  EXPECT_EQ(shortcuts.Tonesmith(), nullptr);
  EXPECT_EQ(shortcuts.MediaSource(), nullptr);

  Controls with_duplex({{"*PageSize", kPopupControl}, {"*KRDuplex", kBooleanControl}});
  PPDXShortcuts second(with_duplex.list());
  EXPECT_EQ(second.Duplex(), with_duplex.at(1));
  EXPECT_EQ(second.InputSlot(), nullptr);
}

TEST(PPDXShortcuts, CopiesTheListAndOwnsOnlyWhenAsked) {
  int deleted = 0;
  auto* popup = new TestControl("*PageSize", kPopupControl, true, &deleted);
  PointerList list;
  list.PushBack(popup);
  list.PushBack(nullptr);
  {
    PPDXShortcuts borrowing(list);
    list.MakeEmpty();  // the shortcuts keep their own copy of the pointers
    EXPECT_EQ(borrowing.Count(), 1);
    EXPECT_EQ(borrowing.First(), popup);
  }
  EXPECT_EQ(deleted, 0);
  list.PushBack(popup);
  list.PushBack(popup);
  {
    PPDXShortcuts owning(list, /*ownsControls=*/true);
    EXPECT_EQ(owning.Count(), 1);
  }
  EXPECT_EQ(deleted, 1);
}

}  // namespace
