#include "constraints/ItemConstraintList.h"

ItemConstraintList::ItemConstraintList(long option) : option_(option) {}
ItemConstraintList::ItemConstraintList(const ItemConstraintList& other) = default;
ItemConstraintList::~ItemConstraintList() = default;
ItemConstraintList& ItemConstraintList::operator=(const ItemConstraintList& other) = default;

void ItemConstraintList::insert(KV kv) { pairs_.push_back(kv); }

void ItemConstraintList::insert(long key, long option, ConstraintType /*type*/) {
  pairs_.emplace_back(key, option);
}

std::unique_ptr<ItemConstraintList::KV> ItemConstraintList::operator[](long i) const {
  if (i < 0 || i >= size()) return nullptr;
  return std::make_unique<KV>(pairs_[static_cast<size_t>(i)]);
}

ItemConstraintList& ItemConstraintList::operator+(const ItemConstraintList& other) {
  return *this += other;
}

ItemConstraintList& ItemConstraintList::operator+=(const ItemConstraintList& other) {
  if (&other == this) {
    const std::vector<KV> copy(pairs_);
    pairs_.insert(pairs_.end(), copy.begin(), copy.end());
  } else {
    pairs_.insert(pairs_.end(), other.pairs_.begin(), other.pairs_.end());
  }
  return *this;
}
