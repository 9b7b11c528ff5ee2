#include "constraints/ConstraintsEngine.h"

#include <algorithm>

namespace {

using KV = ConstraintsEngine::KV;

// The options of `key` that a list names, sorted, for membership tests.
std::vector<long> OptionsNamedFor(long key, const std::vector<KV>& pairs) {
  std::vector<long> options;
  for (const KV& kv : pairs) {
    if (kv.first == key) options.push_back(kv.second);
  }
  std::sort(options.begin(), options.end());
  return options;
}

// The distinct options that a list names for `key`, sorted.
std::vector<long> OptionSet(long key, const std::vector<KV>& pairs) {
  std::vector<long> options = OptionsNamedFor(key, pairs);
  options.erase(std::unique(options.begin(), options.end()), options.end());
  return options;
}

}  // namespace

ConstraintsEngine::ConstraintsEngine(KVCache const* current, ConstraintForest const* constraints,
                                     KeyForest const* keys, KVCache const* locked)
    : current_(current), constraints_(constraints), keys_(keys), locked_(locked) {}

ConstraintsEngine::ConstraintsEngine() = default;

ConstraintsEngine::~ConstraintsEngine() { purge(); }

bool ConstraintsEngine::CurrentHolds(KV kv) const {
  return current_ != nullptr && current_->Lookup(kv) >= 0;
}

bool ConstraintsEngine::WorkingSetHolds(KV kv, KVCache const& overlay) const {
  // A changed key's first entry holds the new option; any later entries of the key are as they
  // were. Every other key is as it was.
  if (std::optional<long> changed = overlay.FirstOption(kv.first)) {
    return *changed == kv.second || (current_ != nullptr && current_->HoldsBeyondFirst(kv));
  }
  return CurrentHolds(kv);
}

ConstraintsEngine::Result ConstraintsEngine::Test(KVCache const* delta) const {
  Result result;
  if (delta == nullptr || constraints_ == nullptr) return result;
  // Only the changed keys are kept apart; the current choices are read in place rather than
  // copied, so a test costs the same however many keys there are.
  KVCache overlay;
  for (long i = 0; i < delta->size(); ++i) {
    const KV kv = delta->GetKV(i);
    overlay.Insert(kv.first, kv.second);
  }
  for (long i = 0; i < delta->size(); ++i) {
    const KV asked = delta->GetKV(i);
    // One option's list is read in place; option -1 needs the key's lists joined.
    std::unique_ptr<ItemConstraintList> joined;
    const ItemConstraintList* excluded = nullptr;
    if (asked.second == -1) {
      joined = constraints_->GetConstraintList(asked.first, asked.second);
      excluded = joined.get();
    } else {
      excluded = constraints_->FindList(asked.first, asked.second);
    }
    if (excluded == nullptr) continue;
    const std::vector<KV>& pairs = excluded->pairs();
    for (auto it = pairs.rbegin(); it != pairs.rend(); ++it) {
      const KV conflict = *it;
      if (!WorkingSetHolds(conflict, overlay)) continue;
      result.first.add(conflict);
      const std::vector<long>* options = keys_ ? keys_->GetItems(conflict.first) : nullptr;
      if (options == nullptr) continue;
      const std::vector<long> also_excluded = OptionsNamedFor(conflict.first, pairs);
      for (auto option = options->rbegin(); option != options->rend(); ++option) {
        if (*option == conflict.second ||
            std::binary_search(also_excluded.begin(), also_excluded.end(), *option)) {
          continue;
        }
        result.second.add({conflict.first, *option});
      }
    }
  }
  return result;
}

bool ConstraintsEngine::IsConstrained(long key, long option) const {
  if (key < 0 || constraints_ == nullptr) return false;
  // The asked option replaces the first entry of its key; everything else is as it is now.
  auto held = [&](const KV& kv) {
    if (kv.first == key) {
      return kv.second == option || (current_ != nullptr && current_->HoldsBeyondFirst(kv));
    }
    return CurrentHolds(kv);
  };
  auto any_held = [&](const ItemConstraintList& list) {
    return std::any_of(list.pairs().begin(), list.pairs().end(), held);
  };
  if (option != -1) {
    const ItemConstraintList* list = constraints_->FindList(key, option);
    return list != nullptr && any_held(*list);
  }
  const KeyConstraintTree* tree = constraints_->FindTree(key);
  return tree != nullptr && std::any_of(tree->Lists().begin(), tree->Lists().end(),
                                        [&](const auto& entry) { return any_held(*entry.second); });
}

ConstraintsEngine::Result ConstraintsEngine::Solve(KVCache* delta, bool keepDelta) {
  purge();
  Result result = RSolve(delta, keepDelta);
  purge();
  return result;
}

ConstraintsEngine::Result ConstraintsEngine::RSolve(KVCache* delta, bool keepDelta) {
  // Each pass of the loop is one expansion step; the next queued set is taken up by the next pass.
  for (;;) {
    ++depth_;
    Result tested = Test(delta);
    if (tested.first.size() == 0) return tested;
    if (depth_ > kMaxDepth) return tested;
    KVCache locked = TestLockedStatus(&tested.second);
    if (depth_ == 1 && locked.size() > 0) return {std::move(locked), KVCache()};

    while (tested.second.size() > 0) {
      const KV alternative = tested.second.pop_front();
      if (keepDelta && delta->FirstOption(alternative.first).has_value()) continue;
      delta->Insert(alternative.first, alternative.second);
      Result attempt = Test(delta);
      if (attempt.first.size() == 0) return attempt;
      if (queueFull_) continue;
      const bool seen = std::any_of(tried_.begin(), tried_.end(),
                                    [&](const KVCache& set) { return set == *delta; });
      if (!seen) {
        queue_.push_back(*delta);
        if (queue_.size() > kMaxQueue) queueFull_ = true;
      }
    }

    if (queue_.empty()) return {std::move(tested.first), KVCache()};
    tried_.insert(tried_.begin(), std::move(queue_.front()));
    queue_.pop_front();
    *delta = tried_.front();
  }
}

KVCache ConstraintsEngine::TestLockedStatus(KVCache* alternatives) const {
  KVCache result;
  if (alternatives == nullptr || locked_ == nullptr || locked_->size() == 0) return result;
  KVCache kept;
  for (long i = 0; i < alternatives->size(); ++i) {
    const KV kv = alternatives->GetKV(i);
    if (locked_->Lookup({kv.first, -1}) >= 0 || locked_->Lookup(kv) >= 0) {
      result.Insert(kv.first, current_ ? current_->GetItem(kv.first) : -1);
    } else {
      kept.add(kv);
    }
  }
  *alternatives = std::move(kept);
  return result;
}

KVCache ConstraintsEngine::ListCurrentConstraints(long key) const {
  KVCache result;
  if (key < 0 || keys_ == nullptr || constraints_ == nullptr) return result;
  const std::vector<long>* options = keys_->GetItems(key);
  const KeyConstraintTree* tree = constraints_->FindTree(key);
  if (options == nullptr || tree == nullptr) return result;
  for (long option : *options) {
    const ItemConstraintList* list = tree->FindList(option);
    if (list == nullptr) continue;
    if (std::any_of(list->pairs().begin(), list->pairs().end(),
                    [&](const KV& kv) { return CurrentHolds(kv); })) {
      result.add({key, option});
    }
  }
  return result;
}

KVCache ConstraintsEngine::ListBlockingConstraints(long key1, long option1, long key2) const {
  KVCache result;
  if (key1 < 0 || option1 < 0 || key2 < 0 || keys_ == nullptr) return result;
  const std::vector<long>* options1 = keys_->GetItems(key1);
  if (options1 == nullptr) return result;
  std::vector<long> others;
  for (long option : *options1) {
    if (option >= 0 && option != option1) others.push_back(option);
  }
  std::sort(others.begin(), others.end());
  others.erase(std::unique(others.begin(), others.end()), others.end());

  const std::vector<long>* options2 = keys_->GetItems(key2);
  if (options2 == nullptr) return result;
  const KeyConstraintTree* tree = constraints_ ? constraints_->FindTree(key2) : nullptr;
  for (long option : *options2) {
    const ItemConstraintList* list = tree ? tree->FindList(option) : nullptr;
    const std::vector<long> excluded = list ? OptionSet(key1, list->pairs()) : std::vector<long>();
    if (excluded == others) result.add({key2, option});
  }
  return result;
}

KVCache ConstraintsEngine::ListScreenedConstraints(KVCache const& set, bool exact, long key) const {
  KVCache result;
  if (key < 0 || keys_ == nullptr || constraints_ == nullptr) return result;
  const std::vector<long>* options = keys_->GetItems(key);
  const KeyConstraintTree* tree = constraints_->FindTree(key);
  if (options == nullptr || tree == nullptr) return result;
  for (long option : *options) {
    const ItemConstraintList* list = tree->FindList(option);
    if (list == nullptr) continue;
    KVCache screened;
    for (const KV& kv : list->pairs()) {
      if (set.Lookup(kv) >= 0) screened.add(kv);
    }
    if (screened.size() > 0 && (!exact || screened == set)) result.Insert(key, option);
  }
  return result;
}

void ConstraintsEngine::purge() {
  queue_.clear();
  tried_.clear();
  depth_ = 0;
  queueFull_ = false;
}
