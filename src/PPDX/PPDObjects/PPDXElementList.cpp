#include "PPDX/PPDObjects/PPDXElementList.h"

PPDXElementList::PPDXElementList(bool owning) : owning_(owning) {}

// The owned elements go with `owned_`; a borrowing list leaves its elements alone.
PPDXElementList::~PPDXElementList() = default;

bool PPDXElementList::Add(PPDXElement* element) {
  if (element == nullptr) return false;
  if (owning_) {
    if (!ownedMembers_.insert(element).second) return false;
    owned_.emplace_back(element);
  }
  items_.push_back(element);
  // Keywords never change after construction, so the index stays true for the list's life.
  if (char const* keyword = element->Keyword()) {
    index_[std::string(keyword)].push_back(items_.size() - 1);
  }
  return true;
}
