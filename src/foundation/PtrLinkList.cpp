#include "foundation/PtrLinkList.h"

#include "platform/Log.h"

LinkElementDualIterator::LinkElementDualIterator(PtrLinkList const& list)
    : current_(list.First()) {}

LinkElementDualIterator& LinkElementDualIterator::operator++() {
  if (current_ != nullptr) current_ = current_->Next();
  return *this;
}

LinkElementDualIterator& LinkElementDualIterator::operator--() {
  if (current_ != nullptr) current_ = current_->Previous();
  return *this;
}

PtrLinkList::PtrLinkList(LinkElement_Dual* first) { add(first); }

PtrLinkList::~PtrLinkList() {
  LinkElement_Dual* element = first_;
  while (element != nullptr) {
    LinkElement_Dual* next = element->next_;
    delete element;
    element = next;
  }
}

int PtrLinkList::add(LinkElement_Dual* element) {
  if (element == nullptr) return 0;
  // An element already in a list would be linked twice and deleted twice. A lone element of
  // another list has no links and cannot be told apart; the one of this list can.
  if (element->next_ != nullptr || element->previous_ != nullptr || element == first_) return 0;
  element->previous_ = last_;
  if (last_ != nullptr) {
    last_->next_ = element;
  } else {
    first_ = element;
  }
  last_ = element;
  ++count_;
  return 1;
}

LinkElement_Dual* PtrLinkList::index(unsigned short n) const {
  if (n >= count_) return nullptr;
  LinkElement_Dual* element = first_;
  for (unsigned short i = 0; i < n && element != nullptr; ++i) element = element->next_;
  return element;
}

void PtrLinkList::dumpEntireList(char const* label) const {
  quill::PanelLog("PtrLinkList::dumpEntireList %s: %d elements", label == nullptr ? "" : label,
                  static_cast<int>(count_));
  int position = 0;
  for (LinkElement_Dual* element = first_; element != nullptr; element = element->next_) {
    quill::PanelLog("PtrLinkList::dumpEntireList   %d: %p", position++,
                    static_cast<void*>(element));
  }
}
