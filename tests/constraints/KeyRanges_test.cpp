// KeyRanges: the range of each key's entries in an array sorted by key, by table (dense ids) or by
// search (spread ids), and the stable sort by key that fills such arrays.
#include "constraints/KeyRanges.h"

#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <random>
#include <span>
#include <utility>
#include <vector>

namespace {

using Range = std::pair<uint32_t, uint32_t>;

Range Of(const KeyRanges& ranges, long key) {
  const KeyRanges::Range range = ranges.Find(key);
  return {range.begin, range.end};
}

}  // namespace

TEST(KeyRanges, FindsEachKeysRunAndNothingElse) {
  struct Case {
    const char* name;
    std::vector<KeyRanges::Run> runs;
    uint32_t total;
  };
  const Case cases[] = {
      {"dense ids", {{3, 0}, {4, 2}, {9, 5}}, 7},
      {"dense ids below zero", {{-5, 0}, {-1, 1}, {2, 4}}, 6},
      {"spread ids", {{-(1L << 40), 0}, {7, 3}, {1L << 40, 4}, {1L << 62, 6}}, 9},
      {"one key", {{0, 0}}, 1},
  };
  for (const Case& c : cases) {
    KeyRanges ranges;
    ranges.Build(c.runs, c.total);
    EXPECT_EQ(ranges.size(), c.runs.size()) << c.name;
    std::vector<KeyRanges::Run> seen;
    ranges.ForEach([&](long key, KeyRanges::Range range) {
      const uint32_t end =
          seen.size() + 1 < c.runs.size() ? c.runs[seen.size() + 1].begin : c.total;
      EXPECT_EQ(Of(ranges, key), (Range{range.begin, range.end})) << c.name;
      EXPECT_EQ(range.end, end) << c.name << " key " << key;
      seen.push_back({key, range.begin});
    });
    ASSERT_EQ(seen.size(), c.runs.size()) << c.name;
    for (size_t i = 0; i < seen.size(); ++i) {
      EXPECT_EQ(seen[i].key, c.runs[i].key) << c.name;
      EXPECT_EQ(seen[i].begin, c.runs[i].begin) << c.name;
    }
    // Keys next to, between and far from the stored ones have nothing.
    for (const KeyRanges::Run& run : c.runs) {
      for (long other : {run.key - 1, run.key + 1}) {
        bool stored = false;
        for (const KeyRanges::Run& r : c.runs) stored = stored || r.key == other;
        if (!stored) {
          EXPECT_TRUE(ranges.Find(other).empty()) << c.name << " key " << other;
        }
      }
    }
    for (long far : {LONG_MIN, -(1L << 50), 1L << 50, LONG_MAX}) {
      EXPECT_TRUE(ranges.Find(far).empty()) << c.name << " key " << far;
    }
  }

  KeyRanges empty;
  empty.Build({}, 0);
  EXPECT_TRUE(empty.Find(0).empty());
  EXPECT_EQ(empty.size(), 0u);
}

TEST(KeyRanges, SortKeepsInsertionOrderWithinAKey) {
  using Item = std::pair<long, int>;  // (key, position in the input)
  // Close keys sort by counting, spread ones by merging; both keep equal keys in input order.
  for (const long spread : {1L, 1L << 40}) {
    std::mt19937 rng(7);
    std::vector<Item> items;
    for (int i = 0; i < 500; ++i) {
      items.emplace_back(static_cast<long>(rng() % 23) * spread - spread, i);
    }
    std::vector<Item> expected = items;
    std::stable_sort(expected.begin(), expected.end(),
                     [](const Item& a, const Item& b) { return a.first < b.first; });
    const std::unique_ptr<Item[]> sorted = KeyRanges::SortedBy(
        std::span<const Item>(items), [](const Item& item) { return item.first; });
    EXPECT_EQ(std::vector<Item>(sorted.get(), sorted.get() + items.size()), expected)
        << "spread " << spread;
  }
}
