#include "foundation/PointerList.h"

PNode::~PNode() {
  previous_ = nullptr;
  next_ = nullptr;
}

PointerListItr& PointerListItr::operator++() {
  if (node_ != nullptr) node_ = node_->Next();
  return *this;
}

PointerListItr PointerListItr::operator++(int) {
  PointerListItr before = *this;
  ++*this;
  return before;
}

PointerListItr& PointerListItr::operator--() {
  if (node_ != nullptr) node_ = node_->Previous();
  return *this;
}

PointerListItr PointerListItr::operator--(int) {
  PointerListItr before = *this;
  --*this;
  return before;
}

ConstPointerListItr& ConstPointerListItr::operator++() {
  if (node_ != nullptr) node_ = node_->Next();
  return *this;
}

ConstPointerListItr ConstPointerListItr::operator++(int) {
  ConstPointerListItr before = *this;
  ++*this;
  return before;
}

ConstPointerListItr& ConstPointerListItr::operator--() {
  if (node_ != nullptr) node_ = node_->Previous();
  return *this;
}

ConstPointerListItr ConstPointerListItr::operator--(int) {
  ConstPointerListItr before = *this;
  --*this;
  return before;
}

PointerList::PointerList() {
  head_.next_ = &tail_;
  tail_.previous_ = &head_;
}

PointerList::PointerList(PointerList const& other) : PointerList() { CopyFrom(other); }

PointerList& PointerList::operator=(PointerList const& other) {
  if (this == &other) return *this;
  MakeEmpty();
  CopyFrom(other);
  return *this;
}

PointerList::~PointerList() { MakeEmpty(); }

void PointerList::CopyFrom(PointerList const& other) {
  for (void* data : other) PushBack(data);
}

void* PointerList::Front() const { return Empty() ? nullptr : head_.next_->data_; }

void* PointerList::Back() const { return Empty() ? nullptr : tail_.previous_->data_; }

void PointerList::LinkBefore(PNode* next, PNode* node) {
  node->previous_ = next->previous_;
  node->next_ = next;
  next->previous_->next_ = node;
  next->previous_ = node;
  ++count_;
}

void PointerList::PushBack(void* data) { LinkBefore(&tail_, new PNode(data)); }

void PointerList::PushFront(void* data) { LinkBefore(head_.next_, new PNode(data)); }

PointerListItr PointerList::InsertBefore(PointerListItr position, void* data) {
  PNode* next = position.Node();
  if (next == nullptr) next = &tail_;
  if (next == &head_) next = head_.next_;
  PNode* node = new PNode(data);
  LinkBefore(next, node);
  return PointerListItr(node);
}

PointerListItr PointerList::Erase(PointerListItr position) {
  PNode* node = position.Node();
  if (node == nullptr) return Begin();
  if (node == &tail_ || node == &head_) return End();
  PNode* next = node->next_;
  node->previous_->next_ = next;
  next->previous_ = node->previous_;
  delete node;
  --count_;
  return PointerListItr(next);
}

PointerListItr PointerList::Erase(PointerListItr first, PointerListItr last) {
  // Stop at the tail as well, so that a `last` that does not follow `first` cannot run the
  // erasure past the end of the list.
  while (first != last && first.Node() != nullptr && first.Node() != &tail_) first = Erase(first);
  return last;
}

void PointerList::PopFront() {
  if (!Empty()) Erase(Begin());
}

void PointerList::PopBack() {
  if (!Empty()) Erase(PointerListItr(tail_.previous_));
}

void PointerList::MakeEmpty() {
  while (!Empty()) PopFront();
}
