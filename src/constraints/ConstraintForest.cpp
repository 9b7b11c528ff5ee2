#include "constraints/ConstraintForest.h"

#include <algorithm>
#include <limits>

namespace {

bool Fits(long id) {
  return id >= std::numeric_limits<int32_t>::min() && id <= std::numeric_limits<int32_t>::max();
}

}  // namespace

ConstraintForest::ConstraintForest() = default;
ConstraintForest::~ConstraintForest() = default;

void ConstraintForest::insert(long key1, long option1, long key2, long option2,
                              ConstraintType /*type*/) {
  if (!Fits(key1) || !Fits(option1) || !Fits(key2) || !Fits(option2)) return;
  if (!views_.empty()) views_.clear();
  pending_.push_back({static_cast<int32_t>(key1), static_cast<int32_t>(option1),
                      static_cast<int32_t>(key2), static_cast<int32_t>(option2)});
}

void ConstraintForest::insert(long key1, long option1, KV kv) {
  insert(key1, option1, kv.first, kv.second, kConstraintExclude);
}

void ConstraintForest::reserve(size_t more) { pending_.reserve(pending_.size() + more); }

void ConstraintForest::BuildIndex() const {
  if (pending_.empty()) return;
  views_.clear();
  // Entries already in the arrays come first, as they were inserted first; the stable sorts keep
  // the insertion order within each list.
  std::vector<Record> records;
  if (pairCount_ == 0) {
    records.swap(pending_);
  } else {
    records.reserve(pairCount_ + pending_.size());
    keys_.ForEach([&](long key, KeyRanges::Range groups) {
      for (uint32_t g = groups.begin; g < groups.end; ++g) {
        for (const Pair& pair : PairsOf(g, g + 1)) {
          records.push_back({static_cast<int32_t>(key), groups_[g].option, pair.key, pair.option});
        }
      }
    });
    records.insert(records.end(), pending_.begin(), pending_.end());
    std::vector<Record>().swap(pending_);
  }
  const size_t count = records.size();
  const std::unique_ptr<Record[]> sorted = KeyRanges::SortedBy(
      std::span<const Record>(records), [](const Record& r) { return long{r.key1}; });
  std::vector<Record>().swap(records);

  // Then each key's run by option1, written out as lists. The arrays are sized exactly: they are
  // held for the life of the PPD.
  auto pairs = std::make_unique_for_overwrite<Pair[]>(count);
  std::vector<Group> groups;
  groups.reserve(count / 2 + 1);
  std::vector<KeyRanges::Run> runs;
  for (size_t begin = 0, end = 0; begin < count; begin = end) {
    end = begin + 1;
    while (end < count && sorted[end].key1 == sorted[begin].key1) ++end;
    runs.push_back({sorted[begin].key1, static_cast<uint32_t>(groups.size())});
    WriteLists(&sorted[begin], end - begin, static_cast<uint32_t>(begin), pairs.get(), groups);
  }
  const auto group_count = static_cast<uint32_t>(groups.size());
  groups.push_back({0, static_cast<uint32_t>(count)});
  groups.shrink_to_fit();
  pairs_ = std::move(pairs);
  pairCount_ = count;
  groups_.swap(groups);
  keys_.Build(runs, group_count);
}

void ConstraintForest::WriteLists(Record* run, size_t count, uint32_t at, Pair* pairs,
                                  std::vector<Group>& groups) {
  int32_t low = run[0].option1;
  int32_t high = low;
  for (size_t i = 1; i < count; ++i) {
    low = std::min(low, run[i].option1);
    high = std::max(high, run[i].option1);
  }
  // A key's options are usually interned together, so their ids are close: a count by id in a
  // small table sorts the run. Spread ids fall back to a merge sort.
  constexpr int64_t kTable = 256;
  if (int64_t{high} - low >= kTable) {
    std::stable_sort(run, run + count,
                     [](const Record& a, const Record& b) { return a.option1 < b.option1; });
    for (size_t i = 0; i < count; ++i) {
      if (i == 0 || run[i].option1 != run[i - 1].option1) groups.push_back({run[i].option1, at});
      pairs[at++] = {run[i].key2, run[i].option2};
    }
    return;
  }
  uint32_t starts[kTable + 1];
  const auto slots = static_cast<size_t>(high - low) + 1;
  std::fill(starts, starts + slots + 1, 0);
  for (size_t i = 0; i < count; ++i) ++starts[run[i].option1 - low + 1];
  for (size_t slot = 0; slot < slots; ++slot) {
    if (starts[slot + 1] != 0) {
      groups.push_back({static_cast<int32_t>(low + static_cast<int32_t>(slot)), at + starts[slot]});
    }
    starts[slot + 1] += starts[slot];
  }
  for (size_t i = 0; i < count; ++i) {
    pairs[at + starts[run[i].option1 - low]++] = {run[i].key2, run[i].option2};
  }
}

KeyRanges::Range ConstraintForest::GroupsOf(long key) const {
  EnsureIndex();
  return keys_.Find(key);
}

ConstraintForest::Pairs ConstraintForest::Excluded(long key, long option) const {
  const KeyRanges::Range groups = GroupsOf(key);
  if (groups.empty() || !Fits(option)) return {};
  const auto first = groups_.begin() + groups.begin;
  const auto last = groups_.begin() + groups.end;
  const auto found = std::lower_bound(
      first, last, option, [](const Group& group, long wanted) { return group.option < wanted; });
  if (found == last || found->option != option) return {};
  const auto g = static_cast<uint32_t>(found - groups_.begin());
  return PairsOf(g, g + 1);
}

ConstraintForest::Pairs ConstraintForest::ExcludedByAnyOption(long key) const {
  const KeyRanges::Range groups = GroupsOf(key);
  if (groups.empty()) return {};
  return PairsOf(groups.begin, groups.end);
}

std::unique_ptr<ItemConstraintList> ConstraintForest::GetConstraintList(long key,
                                                                        long option) const {
  const KeyRanges::Range groups = GroupsOf(key);
  if (groups.empty()) return nullptr;
  auto list = std::make_unique<ItemConstraintList>(option);
  for (const Pair& pair : option == -1 ? ExcludedByAnyOption(key) : Excluded(key, option)) {
    list->insert(pair.kv());
  }
  return list;
}

void ConstraintForest::clear() {
  views_.clear();
  std::vector<Record>().swap(pending_);
  pairs_.reset();
  pairCount_ = 0;
  std::vector<Group>().swap(groups_);
  keys_.clear();
}

const KeyConstraintTree* ConstraintForest::FindTree(long key) const {
  const KeyRanges::Range groups = GroupsOf(key);
  if (groups.empty()) return nullptr;
  std::unique_ptr<KeyConstraintTree>& tree = views_[key];
  if (!tree) {
    tree = std::make_unique<KeyConstraintTree>(key);
    ForEachList(key, [&](long option, Pairs pairs) {
      for (const Pair& pair : pairs) tree->insert(option, pair.kv());
    });
  }
  return tree.get();
}

const ItemConstraintList* ConstraintForest::FindList(long key, long option) const {
  const KeyConstraintTree* tree = FindTree(key);
  return tree ? tree->FindList(option) : nullptr;
}

size_t ConstraintForest::size() const {
  EnsureIndex();
  return keys_.size();
}
