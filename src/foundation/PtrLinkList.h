// PtrLinkList: an intrusive list of owned elements.
//
// Elements derive from LinkElement_Dual, which carries the next/previous links. The list owns
// every element added to it and deletes each through its virtual destructor when the list is
// destroyed. LinkElementDualIterator walks the list in either direction.
#pragma once

#include <cstdint>

class PtrLinkList;

// The base of every list element: the links to its neighbours.
class LinkElement_Dual {
 public:
  LinkElement_Dual() = default;
  virtual ~LinkElement_Dual() = default;
  LinkElement_Dual(LinkElement_Dual const&) = delete;
  LinkElement_Dual& operator=(LinkElement_Dual const&) = delete;

  [[nodiscard]] LinkElement_Dual* Next() const { return next_; }
  [[nodiscard]] LinkElement_Dual* Previous() const { return previous_; }

 private:
  friend class PtrLinkList;

  LinkElement_Dual* next_ = nullptr;
  LinkElement_Dual* previous_ = nullptr;
};

// Walks a PtrLinkList. It starts at the list's first element; ++ and -- follow the links and the
// iterator stays null once it has left either end.
class LinkElementDualIterator {
 public:
  explicit LinkElementDualIterator(PtrLinkList const& list);

  // The current element; null past either end or for an empty list.
  [[nodiscard]] LinkElement_Dual* Current() const { return current_; }
  LinkElement_Dual* operator*() const { return current_; }
  LinkElementDualIterator& operator++();
  LinkElementDualIterator& operator--();

 private:
  LinkElement_Dual* current_;
};

class PtrLinkList {
 public:
  // An empty list, or a list of `first` alone.
  explicit PtrLinkList(LinkElement_Dual* first = nullptr);
  // Deletes every element.
  virtual ~PtrLinkList();
  PtrLinkList(PtrLinkList const&) = delete;
  PtrLinkList& operator=(PtrLinkList const&) = delete;

  // Appends `element`, which the list then owns, and returns 1. Returns 0, and takes nothing,
  // for a null element or one that is already linked into this or another list.
  int add(LinkElement_Dual* element);
  // The element at 0-based position `n`; null when there is no such position.
  [[nodiscard]] LinkElement_Dual* index(unsigned short n) const;

  [[nodiscard]] LinkElement_Dual* First() const { return first_; }
  [[nodiscard]] LinkElement_Dual* Last() const { return last_; }
  [[nodiscard]] int32_t Count() const { return count_; }

  // Logs the label, the count and every element's address; for debugging only.
  virtual void dumpEntireList(char const* label) const;

 private:
  LinkElement_Dual* first_ = nullptr;
  LinkElement_Dual* last_ = nullptr;
  int32_t count_ = 0;
};
