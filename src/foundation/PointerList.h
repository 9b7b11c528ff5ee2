// PointerList: a doubly linked list of untyped pointers, with its iterators.
//
// The list owns its nodes and never the data they point to. A head and a tail sentinel exist for
// the whole life of the list, so an empty list is the head linked to the tail; End() is the tail
// sentinel. Besides Begin()/End() the list offers begin()/end() so it works with range-for.
#pragma once

#include <cstddef>

class PointerList;
class PointerListItr;
class ConstPointerListItr;

// One node of a PointerList: the data pointer (not owned) and the links to its neighbours.
class PNode {
 public:
  explicit PNode(void* data = nullptr) : data_(data) {}
  // Clears the links; the data is never touched.
  virtual ~PNode();
  PNode(PNode const&) = delete;
  PNode& operator=(PNode const&) = delete;

  [[nodiscard]] void* Data() const { return data_; }
  [[nodiscard]] PNode* Previous() const { return previous_; }
  [[nodiscard]] PNode* Next() const { return next_; }

 private:
  friend class PointerList;

  void* data_ = nullptr;
  PNode* previous_ = nullptr;
  PNode* next_ = nullptr;
};

// An iterator over a PointerList: a single node pointer. A null iterator dereferences to null and
// stays null when moved.
class PointerListItr {
 public:
  PointerListItr() = default;
  explicit PointerListItr(PNode* node) : node_(node) {}

  // The data pointer of the node; null for a null iterator or a sentinel.
  void* operator*() const { return node_ == nullptr ? nullptr : node_->Data(); }
  PointerListItr& operator++();
  PointerListItr operator++(int);
  PointerListItr& operator--();
  PointerListItr operator--(int);
  // Node identity.
  bool operator==(PointerListItr const& other) const { return node_ == other.node_; }

  [[nodiscard]] PNode* Node() const { return node_; }

 private:
  PNode* node_ = nullptr;
};

// The same over a const list; any PointerListItr converts to it.
class ConstPointerListItr {
 public:
  ConstPointerListItr() = default;
  explicit ConstPointerListItr(PNode const* node) : node_(node) {}
  ConstPointerListItr(PointerListItr const& other) : node_(other.Node()) {}

  void* operator*() const { return node_ == nullptr ? nullptr : node_->Data(); }
  ConstPointerListItr& operator++();
  ConstPointerListItr operator++(int);
  ConstPointerListItr& operator--();
  ConstPointerListItr operator--(int);
  bool operator==(ConstPointerListItr const& other) const { return node_ == other.node_; }

  [[nodiscard]] PNode const* Node() const { return node_; }

 private:
  PNode const* node_ = nullptr;
};

class PointerList {
 public:
  PointerList();
  // Copies the pointers in order (never the data).
  PointerList(PointerList const& other);
  // Copies the pointers in order; assigning a list to itself does nothing.
  PointerList& operator=(PointerList const& other);
  // Empties the list; the data pointed to is left alone.
  ~PointerList();

  [[nodiscard]] size_t Size() const { return count_; }
  [[nodiscard]] bool Empty() const { return count_ == 0; }

  PointerListItr Begin() { return PointerListItr(head_.next_); }
  PointerListItr End() { return PointerListItr(&tail_); }
  ConstPointerListItr Begin() const { return ConstPointerListItr(head_.next_); }
  ConstPointerListItr End() const { return ConstPointerListItr(&tail_); }
  PointerListItr begin() { return Begin(); }
  PointerListItr end() { return End(); }
  ConstPointerListItr begin() const { return Begin(); }
  ConstPointerListItr end() const { return End(); }

  // The first and last data pointers; null when the list is empty.
  [[nodiscard]] void* Front() const;
  [[nodiscard]] void* Back() const;

  void PushBack(void* data);
  // Inserts before the first element.
  void PushFront(void* data);
  // Inserts before the node of `position` and returns an iterator at the new node. A null
  // iterator inserts at the end, an iterator at the head sentinel at the front.
  PointerListItr InsertBefore(PointerListItr position, void* data);
  // Unlinks and deletes the node and returns an iterator at the following node. Erasing a null
  // iterator returns Begin(); erasing End() or the head sentinel changes nothing and returns End().
  PointerListItr Erase(PointerListItr position);
  // Erases from `first` up to but not including `last` (or the end, if `last` never comes) and
  // returns `last`.
  PointerListItr Erase(PointerListItr first, PointerListItr last);
  // Remove the first or last element; nothing when the list is empty.
  void PopFront();
  void PopBack();
  // Pops from the front until the list is empty.
  void MakeEmpty();

 private:
  void LinkBefore(PNode* next, PNode* node);
  void CopyFrom(PointerList const& other);

  size_t count_ = 0;
  PNode head_;
  PNode tail_;
};
