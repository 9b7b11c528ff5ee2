// ItemConstraintList: the key/option pairs that one option of one key excludes, in the order in
// which the constraint lines named them.
#pragma once

#include <memory>
#include <utility>
#include <vector>

// The kind of a constraint line. Only exclusions exist; the value is accepted and not kept.
enum ConstraintType : int { kConstraintExclude = 0 };

class ItemConstraintList {
 public:
  using KV = std::pair<long, long>;

  explicit ItemConstraintList(long option);
  ItemConstraintList(const ItemConstraintList& other);
  virtual ~ItemConstraintList();
  // Copies the option id and the pairs.
  ItemConstraintList& operator=(const ItemConstraintList& other);

  // Append the pair; duplicates are kept. The constraint type is not kept.
  void insert(KV kv);
  void insert(long key, long option, ConstraintType type);
  // Number of pairs.
  long size() const { return static_cast<long>(pairs_.size()); }
  // A new copy of pair i, owned by the caller; null when i is not a position of the list.
  std::unique_ptr<KV> operator[](long i) const;
  // Both append the other list's pairs to this one and return this one (operator+ too changes
  // this list: it is the concatenation step of the engine's lists, not a value sum).
  ItemConstraintList& operator+(const ItemConstraintList& other);
  ItemConstraintList& operator+=(const ItemConstraintList& other);

  // The option id the list belongs to.
  long option() const { return option_; }
  // The pairs, in insertion order.
  const std::vector<KV>& pairs() const { return pairs_; }

 private:
  long option_;
  std::vector<KV> pairs_;
};
