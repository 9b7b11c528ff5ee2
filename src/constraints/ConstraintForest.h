// ConstraintForest: every constraint of a PPD, one KeyConstraintTree per constrained key. An entry
// key1/option1 -> (key2, option2) says that option2 of key2 may not be chosen together with option1
// of key1. Entries are stored in that one direction only.
#pragma once

#include <memory>
#include <unordered_map>
#include <utility>

#include "constraints/ItemConstraintList.h"
#include "constraints/KeyConstraintTree.h"

class ConstraintForest {
 public:
  using KV = std::pair<long, long>;

  ConstraintForest();
  virtual ~ConstraintForest();
  ConstraintForest(const ConstraintForest&) = delete;
  ConstraintForest& operator=(const ConstraintForest&) = delete;

  // The tree of key1 (created on first use) gets option1 -> (key2, option2). The constraint type
  // is not kept.
  void insert(long key1, long option1, long key2, long option2, ConstraintType type);
  void insert(long key1, long option1, KV kv);
  // Null when the key has no tree; else a new list owned by the caller: the pairs that option
  // excludes (option -1: the pairs of all the key's options, ascending by option).
  std::unique_ptr<ItemConstraintList> GetConstraintList(long key, long option) const;
  // Deletes every tree.
  void clear();

  // The key's tree, read in place; null when the key has none.
  const KeyConstraintTree* FindTree(long key) const;
  // The list of key/option, read in place; null when there is none. One lookup, whatever the
  // number of keys and options.
  const ItemConstraintList* FindList(long key, long option) const;
  // Number of keys with a tree.
  size_t size() const { return trees_.size(); }

 private:
  // Keyed by hash: no operation depends on the order of the keys.
  std::unordered_map<long, std::unique_ptr<KeyConstraintTree>> trees_;
  struct KVHash {
    size_t operator()(const KV& kv) const {
      return static_cast<size_t>(kv.first) * 0x9E3779B97F4A7C15ull ^ static_cast<size_t>(kv.second);
    }
  };
  // Every list of every tree by key/option, so that the panel's queries reach a list directly.
  std::unordered_map<KV, const ItemConstraintList*, KVHash> lists_;
};
