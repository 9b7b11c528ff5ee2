// KeyForest: the options of every key, each key's option ids in the order in which they were
// inserted.
#pragma once

#include <unordered_map>
#include <vector>

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
  // The key's option list, or null when the key has none.
  const std::vector<long>* GetItems(long key) const;
  // Fills *out (created when null, else cleared) with every (key, option) pair: keys ascending,
  // options in list order. A null out does nothing.
  void GetKeys(KVCache** out) const;
  // Frees every list.
  void clear();

 private:
  // Keyed by hash so that a lookup does not depend on the number of keys; GetKeys sorts.
  std::unordered_map<long, std::vector<long>> options_;
};
