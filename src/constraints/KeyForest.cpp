#include "constraints/KeyForest.h"

#include <algorithm>

#include "constraints/KVCache.h"

KeyForest::KeyForest() = default;
KeyForest::~KeyForest() = default;

void KeyForest::insert(long key, long option) { options_[key].push_back(option); }

const std::vector<long>* KeyForest::GetItems(long key) const {
  auto it = options_.find(key);
  return it == options_.end() ? nullptr : &it->second;
}

void KeyForest::GetKeys(KVCache** out) const {
  if (out == nullptr) return;
  if (*out == nullptr) {
    *out = new KVCache();
  } else {
    (*out)->clear();
  }
  std::vector<long> keys;
  keys.reserve(options_.size());
  for (const auto& entry : options_) keys.push_back(entry.first);
  std::sort(keys.begin(), keys.end());
  for (long key : keys) {
    for (long option : options_.at(key)) (*out)->add({key, option});
  }
}

void KeyForest::clear() { options_.clear(); }
