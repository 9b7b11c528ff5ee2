// KeyForest: the options of every key, each key's option ids in the order in which they were
// inserted.
//
// The parser inserts every option of a PPD before anything is asked. So an insert only appends,
// and the first query after inserts sorts everything once (stably, by key) into one array in which
// each key's options are a run. Inserts after that are folded in by the next query.
#pragma once

#include <span>
#include <unordered_map>
#include <utility>
#include <vector>

#include "constraints/KeyRanges.h"

class KVCache;

class KeyForest {
 public:
  KeyForest();
  virtual ~KeyForest();
  KeyForest(const KeyForest&) = delete;
  KeyForest& operator=(const KeyForest&) = delete;

  // Appends the option to the key's list, creating the list on the key's first option; a repeated
  // option is appended again.
  void insert(long key, long option);
  // The key's option list, or null when the key has none. Made on request from the array: valid
  // until the next insert or clear.
  const std::vector<long>* GetItems(long key) const;
  // Fills *out (created when null, else cleared) with every (key, option) pair: keys ascending,
  // options in list order. A null out does nothing.
  void GetKeys(KVCache** out) const;
  // Frees every list.
  void clear();

  // The key's options in insertion order, read in place (valid until the next insert or clear);
  // empty when the key has none.
  [[nodiscard]] std::span<const long> Options(long key) const {
    if (!pending_.empty()) BuildIndex();
    const KeyRanges::Range range = keys_.Find(key);
    return {options_.data() + range.begin, range.end - range.begin};
  }
  // Sorts the options inserted so far into the array now rather than at the next query.
  void BuildIndex() const;

 private:
  // (key, option) pairs inserted since the array was last built, in insertion order.
  mutable std::vector<std::pair<long, long>> pending_;
  // Every option, grouped by key, in insertion order within a key.
  mutable std::vector<long> options_;
  mutable KeyRanges keys_;
  // Lists made by GetItems, dropped when the forest changes.
  mutable std::unordered_map<long, std::vector<long>> views_;
};
