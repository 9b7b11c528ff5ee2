#include "constraints/KeyRanges.h"

namespace {
// The table by id is used while the ids span at most this many times the number of keys (plus a
// floor, so that small containers always use it).
constexpr unsigned long kDenseFactor = 4;
constexpr unsigned long kDenseFloor = 1024;
}  // namespace

void KeyRanges::Build(const std::vector<Run>& runs, uint32_t total) {
  clear();
  count_ = runs.size();
  if (runs.empty()) return;
  base_ = runs.front().key;
  const unsigned long span =
      static_cast<unsigned long>(runs.back().key) - static_cast<unsigned long>(base_);
  dense_ = span <= kDenseFactor * runs.size() + kDenseFloor;
  if (!dense_) {
    keys_.reserve(runs.size());
    starts_.reserve(runs.size() + 1);
    for (const Run& run : runs) {
      keys_.push_back(run.key);
      starts_.push_back(run.begin);
    }
    starts_.push_back(total);
    return;
  }
  // A key without entries starts where the next key with entries starts: its range is empty.
  slots_ = span + 1;
  starts_.assign(span + 2, total);
  auto run = runs.rbegin();
  for (unsigned long slot = span + 1; slot-- > 0;) {
    if (run != runs.rend() &&
        static_cast<unsigned long>(run->key) - static_cast<unsigned long>(base_) == slot) {
      starts_[slot] = run->begin;
      ++run;
    } else {
      starts_[slot] = starts_[slot + 1];
    }
  }
}

KeyRanges::Range KeyRanges::FindSparse(long key) const {
  auto it = std::lower_bound(keys_.begin(), keys_.end(), key);
  if (it == keys_.end() || *it != key) return {};
  const size_t i = static_cast<size_t>(it - keys_.begin());
  return {starts_[i], starts_[i + 1]};
}

void KeyRanges::clear() {
  // Freed, not only emptied: an index is rebuilt rarely, and the old one should not stay held.
  std::vector<uint32_t>().swap(starts_);
  std::vector<long>().swap(keys_);
  dense_ = true;
  base_ = 0;
  slots_ = 0;
  count_ = 0;
}
