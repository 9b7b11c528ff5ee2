// KeyForest, ItemConstraintList, KeyConstraintTree and ConstraintForest: option lists in
// insertion order, lists in one direction only, and the lists that callers receive and own.
#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <vector>

#include "constraints/ConstraintForest.h"
#include "constraints/KVCache.h"
#include "constraints/KeyForest.h"

namespace {

using KV = std::pair<long, long>;

std::vector<KV> Pairs(const ItemConstraintList* list) {
  return list ? list->pairs() : std::vector<KV>{};
}

}  // namespace

TEST(KeyForest, KeepsOptionsInInsertionOrderAndListsKeysAscending) {
  KeyForest forest;
  forest.insert(7, 3);
  forest.insert(2, 5);
  forest.insert(7, 1);
  forest.insert(7, 3);  // repeated options are kept
  ASSERT_NE(forest.GetItems(7), nullptr);
  EXPECT_EQ(*forest.GetItems(7), (std::vector<long>{3, 1, 3}));
  EXPECT_EQ(forest.GetItems(4), nullptr);

  KVCache* keys = nullptr;
  forest.GetKeys(&keys);
  std::unique_ptr<KVCache> owned(keys);
  ASSERT_NE(keys, nullptr);
  ASSERT_EQ(keys->size(), 4);
  EXPECT_EQ(keys->GetKV(0), (KV{2, 5}));
  EXPECT_EQ(keys->GetKV(1), (KV{7, 3}));
  EXPECT_EQ(keys->GetKV(3), (KV{7, 3}));

  forest.clear();
  forest.GetKeys(&keys);  // an existing list is emptied, not replaced
  EXPECT_EQ(keys->size(), 0);
}

TEST(ConstraintForest, StoresOneDirectionAndAnswersNewLists) {
  ConstraintForest forest;
  forest.insert(1, 12, 2, 21, kConstraintExclude);
  forest.insert(1, 10, {3, 30});
  forest.insert(1, 12, {2, 22});

  EXPECT_EQ(forest.GetConstraintList(2, 21), nullptr);  // no reverse entry
  EXPECT_EQ(forest.GetConstraintList(-1, 12), nullptr);

  std::unique_ptr<ItemConstraintList> one = forest.GetConstraintList(1, 12);
  ASSERT_NE(one, nullptr);
  EXPECT_EQ(one->option(), 12);
  EXPECT_EQ(one->pairs(), (std::vector<KV>{{2, 21}, {2, 22}}));

  // Option -1: every list of the key, ascending by option.
  std::unique_ptr<ItemConstraintList> all = forest.GetConstraintList(1, -1);
  EXPECT_EQ(all->pairs(), (std::vector<KV>{{3, 30}, {2, 21}, {2, 22}}));

  // A known key with an option that has no list: an empty list, not null.
  std::unique_ptr<ItemConstraintList> none = forest.GetConstraintList(1, 99);
  ASSERT_NE(none, nullptr);
  EXPECT_EQ(none->size(), 0);

  // The answer is a copy: changing it leaves the forest as it was.
  one->insert(9, 9, kConstraintExclude);
  EXPECT_EQ(Pairs(forest.FindTree(1)->FindList(12)), (std::vector<KV>{{2, 21}, {2, 22}}));

  forest.clear();
  EXPECT_EQ(forest.GetConstraintList(1, 12), nullptr);
}

TEST(ItemConstraintList, IndexingAndConcatenation) {
  ItemConstraintList list(4);
  list.insert({1, 2});
  list.insert(3, 4, kConstraintExclude);
  ASSERT_NE(list[1], nullptr);
  EXPECT_EQ(*list[1], (KV{3, 4}));
  EXPECT_EQ(list[-1], nullptr);
  EXPECT_EQ(list[2], nullptr);

  ItemConstraintList copy(list);
  copy + list;  // appends to the left-hand list
  EXPECT_EQ(copy.pairs(), (std::vector<KV>{{1, 2}, {3, 4}, {1, 2}, {3, 4}}));
  copy += copy;
  EXPECT_EQ(copy.size(), 8);
  EXPECT_EQ(list.size(), 2);
}
