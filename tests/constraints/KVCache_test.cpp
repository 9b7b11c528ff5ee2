// KVCache: first-entry-wins lookups, in-place replacement, appends, the list operators and the
// order-free equality; and a model check that its key index answers like a plain walk of the list.
#include "constraints/KVCache.h"

#include <gtest/gtest.h>

#include "KVCacheTestHelpers.h"

#include <deque>
#include <iterator>
#include <random>
#include <utility>
#include <vector>

namespace {

using constraints_test::Entries;
using constraints_test::KV;
using constraints_test::Make;

}  // namespace

TEST(KVCache, InsertReplacesTheFirstEntryOfItsKeyAndAddAlwaysAppends) {
  KVCache cache = Make({{1, 10}, {2, 20}, {1, 11}});
  cache.Insert(1, 12);
  EXPECT_EQ(Entries(cache), (std::vector<KV>{{1, 12}, {2, 20}, {1, 11}}));
  cache.Insert(3, 30);
  cache.Insert(-1, 5);  // negative keys are ignored
  EXPECT_EQ(Entries(cache), (std::vector<KV>{{1, 12}, {2, 20}, {1, 11}, {3, 30}}));
  cache.add({2, 21});
  EXPECT_EQ(cache.size(), 5);

  EXPECT_EQ(cache.GetItem(1), 12);
  EXPECT_EQ(cache.GetItem(2), 20);
  EXPECT_EQ(cache.GetItem(9), -1);
  EXPECT_EQ(cache.Lookup({1, 11}), 2);
  EXPECT_EQ(cache.Lookup({2, 21}), 4);
  EXPECT_EQ(cache.Lookup({2, 22}), -1);
  EXPECT_EQ(cache.GetKV(5), (KV{-1, -1}));
  EXPECT_EQ(cache.GetKV(-1), (KV{-1, -1}));
}

TEST(KVCache, PopOnAnEmptyListAnswersZeroesAndChangesNothing) {
  KVCache cache = Make({{1, 10}, {2, 20}});
  EXPECT_EQ(cache.pop_front(), (KV{1, 10}));
  EXPECT_EQ(cache.pop_back(), (KV{2, 20}));
  EXPECT_EQ(cache.pop_front(), (KV{0, 0}));
  EXPECT_EQ(cache.pop_back(), (KV{0, 0}));
  EXPECT_EQ(cache.size(), 0);
}

TEST(KVCache, SumAndMergeLeaveOutNegativeKeys) {
  const KVCache left = Make({{1, 10}, {2, 20}});
  const KVCache right = Make({{-1, 7}, {1, 11}, {3, 30}});

  EXPECT_EQ(Entries(left + right), (std::vector<KV>{{1, 10}, {2, 20}, {1, 11}, {3, 30}}));
  KVCache sum = left;
  sum += right;
  EXPECT_EQ(Entries(sum), Entries(left + right));

  KVCache merged = left;
  merged.merge(right);
  EXPECT_EQ(Entries(merged), (std::vector<KV>{{1, 11}, {2, 20}, {3, 30}}));

  KVCache twice = left;
  twice += twice;
  EXPECT_EQ(Entries(twice), (std::vector<KV>{{1, 10}, {2, 20}, {1, 10}, {2, 20}}));
}

TEST(KVCache, EqualityIgnoresOrderButNotCount) {
  struct Case {
    std::vector<KV> a, b;
    bool equal;
  };
  const Case cases[] = {
      {{{1, 2}, {3, 4}}, {{1, 2}, {3, 4}}, true},
      {{{1, 2}, {3, 4}}, {{3, 4}, {1, 2}}, true},
      {{{1, 2}, {3, 4}}, {{1, 2}}, false},
      {{{1, 2}, {3, 4}}, {{1, 2}, {3, 5}}, false},
      {{{1, 2}, {1, 2}, {3, 4}}, {{1, 2}, {3, 4}, {3, 4}}, false},
      {{}, {}, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Make(c.a) == Make(c.b), c.equal) << "case of " << c.a.size() << " pairs";
    EXPECT_EQ(Make(c.b) == Make(c.a), c.equal);
  }
}

// Large lists answer through a key index; a long random run of every mutating operation, with
// repeated keys, small and huge key ids (and negative ones, which add() accepts), must leave them
// answering exactly as a walk of the entries does.
TEST(KVCache, IndexedListAnswersLikeAWalk) {
  std::mt19937 rng(7);
  auto pick = [&](int n) { return static_cast<long>(rng() % static_cast<unsigned>(n)); };
  const long kKeys[] = {0, 1, 2, 3, 5, 8, 13, 21, 34, 55, 700, 1023, 1024, 1500, 4000, 100000, -2};
  auto pick_key = [&] { return kKeys[pick(static_cast<int>(std::size(kKeys)))]; };
  KVCache cache;
  std::deque<KV> model;
  auto first_of = [&](long key) {
    for (size_t i = 0; i < model.size(); ++i) {
      if (model[i].first == key) return static_cast<long>(i);
    }
    return -1L;
  };
  for (int step = 0; step < 20000; ++step) {
    const long key = pick_key(), option = pick(5);
    // Appends outrun pops, so that keys gather many entries before the rare clear().
    switch (pick(20)) {
      case 0:
      case 1:
        EXPECT_EQ(cache.pop_front(), (model.empty() ? KV{0, 0} : model.front()));
        if (!model.empty()) model.pop_front();
        break;
      case 2:
        EXPECT_EQ(cache.pop_back(), (model.empty() ? KV{0, 0} : model.back()));
        if (!model.empty()) model.pop_back();
        break;
      case 3:
      case 4:
      case 5:
      case 6:
        cache.add({key, option});
        model.push_back({key, option});
        break;
      case 7:
        if (pick(250) == 0) {
          cache.clear();
          model.clear();
        }
        break;
      default: {
        cache.Insert(key, option);
        const long at = first_of(key);
        if (key < 0) {
          // ignored
        } else if (at >= 0) {
          model[static_cast<size_t>(at)].second = option;
        } else {
          model.push_back({key, option});
        }
      }
    }
    const long probe = pick_key(), probe_option = pick(5);
    const long at = first_of(probe);
    ASSERT_EQ(cache.GetItem(probe), at >= 0 ? model[static_cast<size_t>(at)].second : -1);
    long lookup = -1;
    for (size_t i = 0; i < model.size() && lookup < 0; ++i) {
      if (model[i] == KV{probe, probe_option}) lookup = static_cast<long>(i);
    }
    ASSERT_EQ(cache.Lookup({probe, probe_option}), lookup) << "step " << step;
    bool beyond_first = false;
    for (size_t i = 0; i < model.size() && at >= 0; ++i) {
      beyond_first |= static_cast<long>(i) > at && model[i] == KV{probe, probe_option};
    }
    ASSERT_EQ(cache.HoldsBeyondFirst({probe, probe_option}), beyond_first) << "step " << step;
    ASSERT_EQ(cache.size(), static_cast<long>(model.size()));
  }
  const KVCache copy = cache;
  EXPECT_EQ(Entries(copy), std::vector<KV>(model.begin(), model.end()));
  EXPECT_TRUE(copy == cache);
}

// Key ids far beyond the list's size are indexed apart; when the list grows, the ids it now
// covers must still be found, with their first entry.
TEST(KVCache, KeysFarBeyondTheSizeStayFound) {
  KVCache cache;
  cache.add({5000, 1});
  cache.add({1L << 40, 4});
  for (long key = 0; key < 2000; ++key) cache.Insert(key, 7);
  cache.Insert(6000, 2);
  cache.add({5000, 9});
  EXPECT_EQ(cache.GetItem(5000), 1);
  EXPECT_EQ(cache.Lookup({5000, 9}), cache.size() - 1);
  EXPECT_EQ(cache.GetItem(1L << 40), 4);
  cache.Insert(5000, 3);
  EXPECT_EQ(cache.GetKV(0), (KV{5000, 3}));
  EXPECT_EQ(cache.pop_front(), (KV{5000, 3}));
  EXPECT_EQ(cache.GetItem(5000), 9);
  EXPECT_EQ(cache.GetItem(6000), 2);
}
