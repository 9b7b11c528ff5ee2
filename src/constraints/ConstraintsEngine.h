// ConstraintsEngine: tests a set of proposed changes (a KVCache of key/option pairs) against the
// exclusions of a ConstraintForest, given the current choice of every key and the options of every
// key, and can search for a set of changes that conflicts with nothing.
//
// The engine owns none of the objects it reads; it reads them in place at every call, so changes
// made to them between calls are seen by the next call.
#pragma once

#include <deque>
#include <utility>
#include <vector>

#include "constraints/ConstraintForest.h"
#include "constraints/KVCache.h"
#include "constraints/KeyForest.h"

class ConstraintsEngine {
 public:
  using KV = std::pair<long, long>;
  // First the conflicting pairs, then the alternatives that would lift them.
  using Result = std::pair<KVCache, KVCache>;

  // The search stops at the expansion step numbered kMaxDepth + 1.
  static constexpr long kMaxDepth = 128;
  // No change set enters the queue once it has held more than this many.
  static constexpr size_t kMaxQueue = 128;

  // All four may be null; locked is the list of pairs the search may not switch to, where (k, -1)
  // locks every option of k.
  ConstraintsEngine(KVCache const* current, ConstraintForest const* constraints,
                    KeyForest const* keys, KVCache const* locked);
  ConstraintsEngine();
  ~ConstraintsEngine();

  // Applies the delta to a copy of the current choices and lists, for each delta pair in order,
  // the pairs it excludes that the changed choices hold (each time it meets them: a pair excluded
  // by two delta pairs is listed twice), and for each such conflict the key's other options that
  // the same delta pair does not exclude, last option first. A null or empty delta gives two empty
  // lists. The current choices are not changed.
  Result Test(KVCache const* delta) const;
  // Same answer as !Test({(key, option)}).first.empty(), without building any list: whether
  // choosing the option for the key conflicts with the current choices. Option -1 stands for all
  // of the key's options; a negative key is never constrained.
  bool IsConstrained(long key, long option) const;

  // Searches breadth-first, from *delta, for a change set without conflicts. Solved: the conflicts
  // are empty and *delta is the change set. Unsolved: the last conflicts (or, when the first step's
  // alternatives are all locked, the locked keys with their current options and no alternatives).
  // With keepDelta, keys already in *delta are never switched. At most kMaxDepth steps.
  Result Solve(KVCache* delta, bool keepDelta);
  // One expansion step of Solve, continuing with the next queued set until solved or stopped.
  // Steps are counted from the last purge(), which Solve does before and after.
  Result RSolve(KVCache* delta, bool keepDelta);
  // Drops the alternatives that the locked list forbids and answers, for each one dropped, the
  // key with its current option (one entry per key). Empty when there is no locked list.
  KVCache TestLockedStatus(KVCache* alternatives) const;

  // The options of the key, in list order, that exclude a pair the current choices hold.
  KVCache ListCurrentConstraints(long key) const;
  // The options of key2 whose exclusions leave key1 with no option but option1. Empty when any id
  // is negative or key1 has no options.
  KVCache ListBlockingConstraints(long key1, long option1, long key2) const;
  // The options of the key that exclude a pair of the set (with exact: exactly the pairs of the
  // set, in any order). Entered with KVCache::Insert, so the answer keeps one entry for the key:
  // the last such option.
  KVCache ListScreenedConstraints(KVCache const& set, bool exact, long key) const;

  // Forgets the state of a search.
  void purge();

 private:
  // Whether the current choices, with the changes of the overlay applied, hold the pair.
  bool WorkingSetHolds(KV kv, KVCache const& overlay) const;
  bool CurrentHolds(KV kv) const;

  std::deque<KVCache> queue_;
  std::vector<KVCache> tried_;  // newest first
  KVCache const* current_ = nullptr;
  ConstraintForest const* constraints_ = nullptr;
  KeyForest const* keys_ = nullptr;
  KVCache const* locked_ = nullptr;
  bool queueFull_ = false;
  long depth_ = 0;
};
