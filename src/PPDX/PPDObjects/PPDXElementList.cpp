#include "PPDX/PPDObjects/PPDXElementList.h"

PPDXElementList::PPDXElementList(bool owning) : owning_(owning) {}

PPDXElementList::~PPDXElementList() {
  if (!owning_) return;  // a borrowing list leaves its elements alone
  for (PPDXElement* element : items_) delete element;
}

bool PPDXElementList::Add(PPDXElement* element) {
  if (element == nullptr) return false;
  if (owning_) {
    // Held by an owning list already (this one or another): it would be deleted twice.
    if (element->ownedByList_) return false;
    element->ownedByList_ = true;
  }
  // Keywords never change after construction, so the index stays true for the list's life.
  char const* keyword = element->Keyword();
  if (keyword != nullptr && (indexed_ + 1) * 2 > slots_.size()) Grow();
  items_.push_back(element);
  if (keyword != nullptr) {
    Index(items_.size() - 1, Hash(keyword));
    ++indexed_;
  }
  return true;
}

void PPDXElementList::Index(size_t position, uint32_t hash) {
  size_t i = hash & mask_;
  while (slots_[i].position != 0) i = (i + 1) & mask_;
  slots_[i] = Slot{static_cast<uint32_t>(position + 1), hash};
}

void PPDXElementList::Grow() {
  std::vector<Slot> old = std::move(slots_);
  slots_.assign(old.empty() ? 16 : old.size() * 2, Slot{});
  mask_ = slots_.size() - 1;
  for (size_t position = 0; position < items_.size(); ++position) {
    if (char const* keyword = items_[position]->Keyword()) Index(position, Hash(keyword));
  }
}
