#include "constraints/KeyForest.h"

#include "constraints/KVCache.h"

KeyForest::KeyForest() = default;
KeyForest::~KeyForest() = default;

void KeyForest::insert(long key, long option) {
  if (!views_.empty()) views_.clear();
  pending_.emplace_back(key, option);
}

void KeyForest::BuildIndex() const {
  if (pending_.empty()) return;
  views_.clear();
  using Entry = std::pair<long, long>;
  // Options already in the array were inserted first; the stable sort keeps the insertion order
  // within each key.
  std::vector<Entry> entries;
  if (options_.empty()) {
    entries.swap(pending_);
  } else {
    entries.reserve(options_.size() + pending_.size());
    keys_.ForEach([&](long key, KeyRanges::Range range) {
      for (uint32_t i = range.begin; i < range.end; ++i) entries.emplace_back(key, options_[i]);
    });
    entries.insert(entries.end(), pending_.begin(), pending_.end());
    std::vector<Entry>().swap(pending_);
  }
  const std::unique_ptr<Entry[]> sorted =
      KeyRanges::SortedBy(std::span<const Entry>(entries), [](const Entry& e) { return e.first; });
  const size_t count = entries.size();
  std::vector<Entry>().swap(entries);

  std::vector<long> options(count);
  std::vector<KeyRanges::Run> runs;
  for (size_t i = 0; i < count; ++i) {
    if (i == 0 || sorted[i].first != sorted[i - 1].first) {
      runs.push_back({sorted[i].first, static_cast<uint32_t>(i)});
    }
    options[i] = sorted[i].second;
  }
  options_.swap(options);
  keys_.Build(runs, static_cast<uint32_t>(count));
}

const std::vector<long>* KeyForest::GetItems(long key) const {
  const std::span<const long> options = Options(key);
  if (options.empty()) return nullptr;
  std::vector<long>& view = views_[key];
  if (view.empty()) view.assign(options.begin(), options.end());
  return &view;
}

void KeyForest::GetKeys(KVCache** out) const {
  if (out == nullptr) return;
  if (*out == nullptr) {
    *out = new KVCache();
  } else {
    (*out)->clear();
  }
  if (!pending_.empty()) BuildIndex();
  keys_.ForEach([&](long key, KeyRanges::Range range) {
    for (uint32_t i = range.begin; i < range.end; ++i) (*out)->add({key, options_[i]});
  });
}

void KeyForest::clear() {
  views_.clear();
  std::vector<std::pair<long, long>>().swap(pending_);
  std::vector<long>().swap(options_);
  keys_.clear();
}
