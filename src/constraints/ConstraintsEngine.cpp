#include "constraints/ConstraintsEngine.h"

#include <algorithm>
#include <span>

namespace {

using KV = ConstraintsEngine::KV;
using Pairs = ConstraintForest::Pairs;

// The options of `key` that a list names, sorted, for membership tests.
std::vector<long> OptionsNamedFor(long key, Pairs pairs) {
  std::vector<long> options;
  for (const ConstraintForest::Pair& pair : pairs) {
    if (pair.key == key) options.push_back(pair.option);
  }
  std::sort(options.begin(), options.end());
  return options;
}

// The distinct options that a list names for `key`, sorted.
std::vector<long> OptionSet(long key, Pairs pairs) {
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
    // Option -1 stands for every option of the key: its lists joined, ascending by option.
    const Pairs pairs = asked.second == -1 ? constraints_->ExcludedByAnyOption(asked.first)
                                           : constraints_->Excluded(asked.first, asked.second);
    for (auto it = pairs.rbegin(); it != pairs.rend(); ++it) {
      const KV conflict = it->kv();
      if (!WorkingSetHolds(conflict, overlay)) continue;
      result.first.add(conflict);
      const std::span<const long> options =
          keys_ ? keys_->Options(conflict.first) : std::span<const long>();
      if (options.empty()) continue;
      const std::vector<long> also_excluded = OptionsNamedFor(conflict.first, pairs);
      for (auto option = options.rbegin(); option != options.rend(); ++option) {
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
  const Pairs pairs =
      option == -1 ? constraints_->ExcludedByAnyOption(key) : constraints_->Excluded(key, option);
  return std::any_of(pairs.begin(), pairs.end(),
                     [&](const ConstraintForest::Pair& pair) { return held(pair.kv()); });
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
  for (long option : keys_->Options(key)) {
    const Pairs pairs = constraints_->Excluded(key, option);
    if (std::any_of(pairs.begin(), pairs.end(),
                    [&](const ConstraintForest::Pair& pair) { return CurrentHolds(pair.kv()); })) {
      result.add({key, option});
    }
  }
  return result;
}

KVCache ConstraintsEngine::ListBlockingConstraints(long key1, long option1, long key2) const {
  KVCache result;
  if (key1 < 0 || option1 < 0 || key2 < 0 || keys_ == nullptr) return result;
  const std::span<const long> options1 = keys_->Options(key1);
  if (options1.empty()) return result;
  std::vector<long> others;
  for (long option : options1) {
    if (option >= 0 && option != option1) others.push_back(option);
  }
  std::sort(others.begin(), others.end());
  others.erase(std::unique(others.begin(), others.end()), others.end());

  for (long option : keys_->Options(key2)) {
    const Pairs pairs = constraints_ ? constraints_->Excluded(key2, option) : Pairs();
    if (OptionSet(key1, pairs) == others) result.add({key2, option});
  }
  return result;
}

KVCache ConstraintsEngine::ListScreenedConstraints(KVCache const& set, bool exact, long key) const {
  KVCache result;
  if (key < 0 || keys_ == nullptr || constraints_ == nullptr) return result;
  for (long option : keys_->Options(key)) {
    const Pairs pairs = constraints_->Excluded(key, option);
    if (pairs.empty()) continue;
    KVCache screened;
    for (const ConstraintForest::Pair& pair : pairs) {
      if (set.Lookup(pair.kv()) >= 0) screened.add(pair.kv());
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
