#include "foundation/PointerList.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

int a = 1, b = 2, c = 3, d = 4;

std::vector<void*> Contents(PointerList const& list) {
  std::vector<void*> out;
  for (ConstPointerListItr it = list.Begin(); it != list.End(); ++it) out.push_back(*it);
  return out;
}

std::vector<void*> Reversed(PointerList& list) {
  std::vector<void*> out;
  PointerListItr it = list.End();
  while (--it != PointerListItr(nullptr) && *it != nullptr) out.push_back(*it);
  return out;
}

}  // namespace

TEST(PointerList, KeepsPointersInOrderFromBothEnds) {
  PointerList list;
  EXPECT_TRUE(list.Empty());
  EXPECT_EQ(list.Front(), nullptr);
  EXPECT_EQ(list.Back(), nullptr);
  EXPECT_EQ(list.Begin(), list.End());

  list.PushBack(&b);
  list.PushBack(&c);
  list.PushFront(&a);
  EXPECT_EQ(list.Size(), 3u);
  EXPECT_EQ(list.Front(), &a);
  EXPECT_EQ(list.Back(), &c);
  EXPECT_EQ(Contents(list), (std::vector<void*>{&a, &b, &c}));
  EXPECT_EQ(Reversed(list), (std::vector<void*>{&c, &b, &a}));

  std::vector<void*> seen;
  for (void* p : list) seen.push_back(p);
  EXPECT_EQ(seen, Contents(list));

  list.PopFront();
  list.PopBack();
  EXPECT_EQ(Contents(list), (std::vector<void*>{&b}));
  list.PopBack();
  list.PopBack();  // empty: nothing happens
  list.PopFront();
  EXPECT_TRUE(list.Empty());
}

TEST(PointerList, InsertBeforeReturnsTheNewNode) {
  PointerList list;
  list.PushBack(&b);
  PointerListItr at_c = list.InsertBefore(list.End(), &c);
  EXPECT_EQ(*at_c, &c);
  PointerListItr at_a = list.InsertBefore(list.Begin(), &a);
  EXPECT_EQ(at_a, list.Begin());
  list.InsertBefore(at_c, &d);
  EXPECT_EQ(Contents(list), (std::vector<void*>{&a, &b, &d, &c}));
  list.InsertBefore(PointerListItr(), &a);  // null: at the end
  EXPECT_EQ(list.Back(), &a);
  EXPECT_EQ(list.Size(), 5u);
}

TEST(PointerList, EraseReturnsTheFollowingNode) {
  PointerList list;
  list.PushBack(&a);
  list.PushBack(&b);
  list.PushBack(&c);

  PointerListItr last = list.Begin();
  ++last;
  ++last;
  EXPECT_EQ(list.Erase(last), list.End());
  PointerListItr after_first = list.Erase(list.Begin());
  EXPECT_EQ(after_first, list.Begin());
  EXPECT_EQ(*after_first, &b);
  EXPECT_EQ(Contents(list), (std::vector<void*>{&b}));

  EXPECT_EQ(list.Erase(PointerListItr()), list.Begin());  // null
  EXPECT_EQ(list.Erase(list.End()), list.End());          // the tail stays
  PointerListItr head = list.Begin();
  --head;
  EXPECT_EQ(list.Erase(head), list.End());  // and so does the head
  EXPECT_EQ(Contents(list), (std::vector<void*>{&b}));
  EXPECT_EQ(list.Size(), 1u);
}

TEST(PointerList, EraseRangeStopsBeforeLast) {
  PointerList list;
  for (int* p : {&a, &b, &c, &d}) list.PushBack(p);
  PointerListItr first = list.Begin();
  ++first;
  PointerListItr last = first;
  ++last;
  ++last;
  EXPECT_EQ(list.Erase(first, last), last);
  EXPECT_EQ(Contents(list), (std::vector<void*>{&a, &d}));

  // A `last` that comes before `first` ends the erasure at the end of the list.
  PointerListItr second = list.Begin();
  ++second;
  list.Erase(second, list.Begin());
  EXPECT_EQ(Contents(list), (std::vector<void*>{&a}));

  list.Erase(list.Begin(), list.End());
  EXPECT_TRUE(list.Empty());
}

TEST(PointerList, CopiesArePointerCopiesInOrder) {
  PointerList list;
  for (int* p : {&a, &b, &c}) list.PushBack(p);
  PointerList copy(list);
  copy.PopFront();
  EXPECT_EQ(Contents(list), (std::vector<void*>{&a, &b, &c}));
  EXPECT_EQ(Contents(copy), (std::vector<void*>{&b, &c}));

  copy = list;
  EXPECT_EQ(Contents(copy), Contents(list));
  PointerList& same = copy;
  copy = same;
  EXPECT_EQ(Contents(copy), (std::vector<void*>{&a, &b, &c}));
  copy.MakeEmpty();
  EXPECT_TRUE(copy.Empty());
  EXPECT_EQ(list.Size(), 3u);
}

TEST(PointerList, IteratorsStepBothWaysAndStayNullOffTheEnds) {
  PointerList list;
  list.PushBack(&a);
  list.PushBack(&b);
  PointerListItr it = list.Begin();
  PointerListItr old = it++;
  EXPECT_EQ(*old, &a);
  EXPECT_EQ(*it, &b);
  old = it--;
  EXPECT_EQ(*old, &b);
  EXPECT_EQ(*it, &a);

  --it;  // the head sentinel: no data
  EXPECT_EQ(*it, nullptr);
  --it;  // off the end: null, and it stays null
  EXPECT_EQ(it, PointerListItr());
  ++it;
  EXPECT_EQ(*it, nullptr);
  EXPECT_EQ(it, PointerListItr());

  PointerList const& view = list;
  ConstPointerListItr c_it = view.End();
  --c_it;
  EXPECT_EQ(*c_it, &b);
  EXPECT_EQ(ConstPointerListItr(list.Begin()), view.Begin());
}
