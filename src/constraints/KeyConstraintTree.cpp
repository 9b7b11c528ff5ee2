#include "constraints/KeyConstraintTree.h"

KeyConstraintTree::KeyConstraintTree(long key) : key_(key) {}
KeyConstraintTree::~KeyConstraintTree() = default;

ItemConstraintList* KeyConstraintTree::insert(long option, KV kv) {
  std::unique_ptr<ItemConstraintList>& list = enabled_[option];
  if (!list) list = std::make_unique<ItemConstraintList>(option);
  list->insert(kv);
  return list.get();
}

std::unique_ptr<ItemConstraintList> KeyConstraintTree::GetItemConstraintList(long option) const {
  auto result = std::make_unique<ItemConstraintList>(option);
  if (option == -1) {
    for (const auto& [id, list] : enabled_) *result += *list;
  } else if (const ItemConstraintList* list = FindList(option)) {
    *result += *list;
  }
  return result;
}

const ItemConstraintList* KeyConstraintTree::FindList(long option) const {
  auto it = enabled_.find(option);
  return it == enabled_.end() ? nullptr : it->second.get();
}
