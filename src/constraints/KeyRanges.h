// KeyRanges: where each key's entries are in an array sorted by key, as the constraint containers
// keep their entries once indexed. Answers, for a key id, the range [begin, end) of its entries.
//
// Key ids are indexes of an interning table: small, dense numbers. They are looked up in a table
// indexed by id (one load per lookup); when the ids are spread far beyond the number of keys, a
// sorted list of keys is searched instead.
//
// Also holds the stable sort by an integer key that the containers use to build their arrays.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <utility>
#include <vector>

class KeyRanges {
 public:
  struct Range {
    uint32_t begin = 0;
    uint32_t end = 0;
    [[nodiscard]] bool empty() const { return begin == end; }
  };
  // One key's run: the key and the position of its first entry. Runs are given ascending by key.
  struct Run {
    long key;
    uint32_t begin;
  };

  // Replaces the index with the given runs over `total` entries (the last run ends there).
  void Build(const std::vector<Run>& runs, uint32_t total);
  // The range of the key's entries; empty for a key that has none.
  [[nodiscard]] Range Find(long key) const {
    if (dense_) {
      // Unsigned, so that keys below the base wrap to large values and fail the one test.
      const unsigned long slot =
          static_cast<unsigned long>(key) - static_cast<unsigned long>(base_);
      if (slot >= slots_) return {};
      return {starts_[slot], starts_[slot + 1]};
    }
    return FindSparse(key);
  }
  // Calls fn(key, range) for every key that has entries, ascending by key.
  template <typename Fn>
  void ForEach(Fn fn) const;
  // Number of keys that have entries.
  [[nodiscard]] size_t size() const { return count_; }
  void clear();

  // The items in a new array, sorted stably by key(item), a long: by counting when the keys span
  // a range not much larger than the number of items, else by merging.
  template <typename T, typename KeyOf>
  static std::unique_ptr<T[]> SortedBy(std::span<const T> items, KeyOf key);

 private:
  [[nodiscard]] Range FindSparse(long key) const;

  bool dense_ = true;
  long base_ = 0;
  // Dense: key k's entries are [starts_[k - base_], starts_[k - base_ + 1]). Sparse: the entries
  // of keys_[i] are [starts_[i], starts_[i + 1]).
  std::vector<uint32_t> starts_;
  std::vector<long> keys_;  // sparse only
  size_t slots_ = 0;        // dense only: the number of ids the table covers
  size_t count_ = 0;
};

template <typename Fn>
void KeyRanges::ForEach(Fn fn) const {
  if (!dense_) {
    for (size_t i = 0; i < keys_.size(); ++i) fn(keys_[i], Range{starts_[i], starts_[i + 1]});
    return;
  }
  for (size_t slot = 0; slot < slots_; ++slot) {
    if (starts_[slot] != starts_[slot + 1]) {
      fn(base_ + static_cast<long>(slot), Range{starts_[slot], starts_[slot + 1]});
    }
  }
}

template <typename T, typename KeyOf>
std::unique_ptr<T[]> KeyRanges::SortedBy(std::span<const T> items, KeyOf key) {
  // Left uninitialised: every element is written below.
  auto sorted = std::make_unique_for_overwrite<T[]>(items.size());
  if (items.empty()) return sorted;
  long low = key(items.front());
  long high = low;
  for (const T& item : items) {
    low = std::min(low, key(item));
    high = std::max(high, key(item));
  }
  const unsigned long span = static_cast<unsigned long>(high) - static_cast<unsigned long>(low);
  if (span > 4 * items.size() + 4096) {
    std::copy(items.begin(), items.end(), sorted.get());
    std::stable_sort(sorted.get(), sorted.get() + items.size(),
                     [&](const T& a, const T& b) { return key(a) < key(b); });
    return sorted;
  }
  auto slot = [&](const T& item) {
    return static_cast<unsigned long>(key(item)) - static_cast<unsigned long>(low);
  };
  std::vector<uint32_t> starts(span + 2, 0);
  for (const T& item : items) ++starts[slot(item) + 1];
  for (size_t i = 1; i < starts.size(); ++i) starts[i] += starts[i - 1];
  for (const T& item : items) sorted[starts[slot(item)]++] = item;
  return sorted;
}
