#include "constraints/ConstraintForest.h"

ConstraintForest::ConstraintForest() = default;
ConstraintForest::~ConstraintForest() = default;

void ConstraintForest::insert(long key1, long option1, long key2, long option2,
                              ConstraintType /*type*/) {
  insert(key1, option1, KV{key2, option2});
}

void ConstraintForest::insert(long key1, long option1, KV kv) {
  std::unique_ptr<KeyConstraintTree>& tree = trees_[key1];
  if (!tree) tree = std::make_unique<KeyConstraintTree>(key1);
  const ItemConstraintList* list = tree->insert(option1, kv);
  lists_.try_emplace({key1, option1}, list);
}

std::unique_ptr<ItemConstraintList> ConstraintForest::GetConstraintList(long key,
                                                                        long option) const {
  const KeyConstraintTree* tree = FindTree(key);
  return tree ? tree->GetItemConstraintList(option) : nullptr;
}

void ConstraintForest::clear() {
  lists_.clear();
  trees_.clear();
}

const KeyConstraintTree* ConstraintForest::FindTree(long key) const {
  auto it = trees_.find(key);
  return it == trees_.end() ? nullptr : it->second.get();
}

const ItemConstraintList* ConstraintForest::FindList(long key, long option) const {
  auto it = lists_.find({key, option});
  return it == lists_.end() ? nullptr : it->second;
}
