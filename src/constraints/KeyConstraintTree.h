// KeyConstraintTree: the constraints of one key, as one ItemConstraintList per option of the key
// (the pairs that choosing that option excludes).
#pragma once

#include <map>
#include <memory>
#include <utility>

#include "constraints/ItemConstraintList.h"

class KeyConstraintTree {
 public:
  using KV = std::pair<long, long>;
  using ListMap = std::map<long, std::unique_ptr<ItemConstraintList>>;

  explicit KeyConstraintTree(long key);
  virtual ~KeyConstraintTree();
  KeyConstraintTree(const KeyConstraintTree&) = delete;
  KeyConstraintTree& operator=(const KeyConstraintTree&) = delete;

  // Appends the pair to the list of that option, creating the list on the option's first pair;
  // answers that list (owned by the tree).
  ItemConstraintList* insert(long option, KV kv);
  // A new list with that option id, owned by the caller, holding the pairs of that option's list;
  // for option -1 the pairs of all the key's lists, in ascending option order. Empty when nothing
  // matches; never null.
  std::unique_ptr<ItemConstraintList> GetItemConstraintList(long option) const;

  // The list of that option, read in place; null when the option has none.
  const ItemConstraintList* FindList(long option) const;
  // Every list of the key, ascending by option.
  const ListMap& Lists() const { return enabled_; }
  long key() const { return key_; }

 private:
  long key_;
  ListMap enabled_;
  // Lists switched off. Nothing in this system switches a list off, so it stays empty.
  ListMap disabled_;
};
