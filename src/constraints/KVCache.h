// KVCache: an ordered list of key/option pairs (key id, option id), as the constraint store keeps
// the current choice of every key and as the engine passes change sets around. Entries keep their
// insertion order; the same key may appear more than once when pairs are appended with add().
//
// Lookups by key answer the first entry of that key. Once a list grows past a few entries it keeps
// an index from key to the positions of its entries, so that GetItem() and Lookup() cost the same
// however many keys the list holds. Key ids are small dense numbers (indexes in an interning
// table), so the index is a table by key id, with a hash for ids far beyond the list's size. The
// index is part of the object: copies carry it along.
#pragma once

#include <cstddef>
#include <deque>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

// Orders pairs descending by key, then descending by option.
struct KeyOptionGreater {
  bool operator()(std::pair<long, long> a, std::pair<long, long> b) const {
    return a.first > b.first || (a.first == b.first && a.second > b.second);
  }
};

class KVCache {
 public:
  using KV = std::pair<long, long>;

  KVCache();
  virtual ~KVCache();
  KVCache(const KVCache& other);
  KVCache(KVCache&& other) noexcept;
  // Copies the entries.
  KVCache& operator=(const KVCache& other);
  KVCache& operator=(KVCache&& other) noexcept;

  // Number of entries.
  long size() const { return static_cast<long>(entries_.size()); }
  // The pair at position i; (-1, -1) when i is not a position of the list.
  KV GetKV(long i) const;
  // Option of the first entry with that key, or -1 when the key has none.
  long GetItem(long key) const;
  // Position of the first entry equal to the pair, or -1.
  long Lookup(KV kv) const;
  // A negative key is ignored. Otherwise replaces the option of the first entry with that key, or
  // appends (key, option) when the key has no entry.
  void Insert(long key, long option);
  // Appends the pair without any check.
  void add(KV kv);
  // Remove and return the first / last pair; on an empty list return (0, 0) and change nothing.
  KV pop_front();
  KV pop_back();
  // Removes all entries.
  void clear();

  // A new list: this list's entries, then the other's entries whose key is not negative.
  KVCache operator+(const KVCache& other) const;
  // This list becomes this + other.
  KVCache& operator+=(const KVCache& other);
  // Insert() of each of the other's entries whose key is not negative, in order.
  void merge(const KVCache& other);
  // True when both lists hold the same pairs, in any order (as many times each).
  bool operator==(const KVCache& other) const;

  // Option of the first entry with that key, or nothing when the key has no entry (unlike
  // GetItem, this tells an absent key from an entry whose option is -1).
  std::optional<long> FirstOption(long key) const;
  // True when an entry equal to the pair exists that is not the first entry of its key.
  bool HoldsBeyondFirst(KV kv) const;

 private:
  // From this size on, the key index is kept.
  static constexpr size_t kIndexFrom = 16;
  // Key ids below max(kDenseFloor, kDenseFactor * size()) are indexed in the table.
  static constexpr long kDenseFloor = 1024;
  static constexpr long kDenseFactor = 4;

  // The first entry of one key. firstSeq is -1 in table rows of keys that have no entry.
  struct Slot {
    long firstOption = -1;
    long firstSeq = -1;
  };

  // Calls fn(position) for every entry of the key in list order until fn answers true; answers
  // whether it did.
  template <typename Fn>
  bool AnyPositionOfKey(long key, Fn fn) const;
  void Append(KV kv);
  void BuildIndex();
  // Enters the entry with that sequence number in the index.
  void Enter(KV kv, long seq);
  // The key's slot, or null when the key has no entry (only while indexed_).
  const Slot* FindSlot(long key) const;
  Slot* FindSlot(long key);
  // A new slot for a key that has none.
  Slot& MakeSlot(long key);
  void DropSlot(long key);

  std::deque<KV> entries_;
  // Sequence number of the front entry: entry at position p has sequence number base_ + p. The
  // index stores sequence numbers, so popping the front does not renumber it.
  long base_ = 0;
  bool indexed_ = false;
  // Index (while indexed_): the first entry of every key, by key id in the table or by hash.
  std::vector<Slot> dense_;
  std::unordered_map<long, Slot> sparse_;
  // Ascending sequence numbers of the entries after the first, for keys that have several.
  std::unordered_map<long, std::vector<long>> later_;
};
