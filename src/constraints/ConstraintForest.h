// ConstraintForest: every constraint of a PPD. An entry key1/option1 -> (key2, option2) says that
// option2 of key2 may not be chosen together with option1 of key1. Entries are stored in that one
// direction only. The pairs under one key/option form its list, in insertion order (duplicates
// kept); a key's lists, ascending by option, form its tree.
//
// A large PPD brings tens of thousands of entries while it is read, and queries come after. So an
// insert only appends a record, and the first query after inserts sorts all records once into
// contiguous arrays: every list is a run of 32-bit (key2, option2) pairs, every key a run of
// lists. Queries read those runs in place. Inserts after that are kept apart and folded in by the
// next query, so inserts and queries may still come in any order.
//
// Ids are stored in 32 bits (they are indexes of an interning table); an entry naming an id outside
// that range is not stored.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <unordered_map>
#include <utility>
#include <vector>

#include "constraints/ItemConstraintList.h"
#include "constraints/KeyConstraintTree.h"
#include "constraints/KeyRanges.h"

class ConstraintForest {
 public:
  using KV = std::pair<long, long>;
  // One stored pair (key2, option2).
  struct Pair {
    int32_t key;
    int32_t option;
    [[nodiscard]] KV kv() const { return {key, option}; }
  };
  using Pairs = std::span<const Pair>;

  ConstraintForest();
  virtual ~ConstraintForest();
  ConstraintForest(const ConstraintForest&) = delete;
  ConstraintForest& operator=(const ConstraintForest&) = delete;

  // The tree of key1 (created on first use) gets option1 -> (key2, option2). The constraint type
  // is not kept.
  void insert(long key1, long option1, long key2, long option2, ConstraintType type);
  void insert(long key1, long option1, KV kv);
  // Null when the key has no tree; else a new list owned by the caller: the pairs that option
  // excludes (option -1: the pairs of all the key's options, ascending by option).
  std::unique_ptr<ItemConstraintList> GetConstraintList(long key, long option) const;
  // Deletes every tree.
  void clear();

  // The key's tree, null when the key has none. Built on request from the arrays: valid until
  // the next insert or clear.
  const KeyConstraintTree* FindTree(long key) const;
  // The list of key/option, null when there is none; valid until the next insert or clear.
  const ItemConstraintList* FindList(long key, long option) const;
  // Number of keys with a tree.
  size_t size() const;

  // Read in place (valid until the next insert or clear), for the engine: the list of key/option
  // (exactly that option, -1 included); empty when there is none.
  [[nodiscard]] Pairs Excluded(long key, long option) const;
  // The lists of all the key's options joined, ascending by option: one run, read in place.
  [[nodiscard]] Pairs ExcludedByAnyOption(long key) const;
  // Calls fn(option, pairs) for each of the key's lists, ascending by option.
  template <typename Fn>
  void ForEachList(long key, Fn fn) const;

  // Sorts the records inserted so far into the arrays now rather than at the next query.
  void BuildIndex() const;
  // Makes room for that many more inserts.
  void reserve(size_t more);

 private:
  struct Record {
    int32_t key1;
    int32_t option1;
    int32_t key2;
    int32_t option2;
  };
  // One list: its option and the position of its first pair. A last group, past every key's
  // lists, marks where the pairs end.
  struct Group {
    int32_t option;
    uint32_t begin;
  };

  // Sorts one key's records (a run of `count` at `run`, which will be its pairs from position
  // `at`) by option1, stably, and writes its pairs and lists.
  static void WriteLists(Record* run, size_t count, uint32_t at, Pair* pairs,
                         std::vector<Group>& groups);
  void EnsureIndex() const {
    if (!pending_.empty()) BuildIndex();
  }
  // The key's lists in groups_.
  [[nodiscard]] KeyRanges::Range GroupsOf(long key) const;
  [[nodiscard]] Pairs PairsOf(uint32_t first_group, uint32_t end_group) const {
    return Pairs(pairs_.get() + groups_[first_group].begin,
                 groups_[end_group].begin - groups_[first_group].begin);
  }

  // Records inserted since the arrays were last built, in insertion order.
  mutable std::vector<Record> pending_;
  // The arrays: pairs_ grouped by key1, then by option1, insertion order within a list.
  mutable std::unique_ptr<Pair[]> pairs_;
  mutable size_t pairCount_ = 0;
  mutable std::vector<Group> groups_;
  mutable KeyRanges keys_;  // key1 -> its lists in groups_
  // Trees made by FindTree, dropped when the forest changes.
  mutable std::unordered_map<long, std::unique_ptr<KeyConstraintTree>> views_;
};

template <typename Fn>
void ConstraintForest::ForEachList(long key, Fn fn) const {
  const KeyRanges::Range groups = GroupsOf(key);
  for (uint32_t g = groups.begin; g < groups.end; ++g) fn(groups_[g].option, PairsOf(g, g + 1));
}
