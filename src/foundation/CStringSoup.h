// CStringSoup: an interning table of C strings. Each distinct text is stored once, as an owned
// copy, and is known by its index, which is its position in insertion order and never changes
// until Clear().
//
// The constraint store interns every key and option of every constraint line of a PPD, tens of
// thousands of times for a large one, mostly texts already present. So the copies live in a few
// large blocks rather than one allocation each, and the index is one array of slots probed in
// place, each holding a text's hash, index and first bytes: finding a present text costs one hash
// of its bytes and, for most texts, the read of one slot.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class CStringSoup {
 public:
  CStringSoup();
  // A table that holds at most `maxEntries` texts (never more than 2^31 - 1).
  explicit CStringSoup(size_t maxEntries);
  virtual ~CStringSoup();
  CStringSoup(const CStringSoup&) = delete;
  CStringSoup& operator=(const CStringSoup&) = delete;

  // Index of an equal text already present; else stores a copy at the end and returns its index
  // (size() - 1). A null text is not stored and gives -1, as does a new text once the table is
  // full (2^31 - 1 texts unless made smaller). Nothing is thrown but the allocator's own failure.
  virtual long Insert(char const* text);
  // The text at `index`, or null when the index is out of range.
  virtual char const* Find(long index) const;
  // Index of the text (exact byte comparison), or -1 when it was never inserted.
  virtual long Find(char const* text) const;
  // Frees every copy and empties the table.
  virtual void Clear();
  virtual size_t size() const;

 private:
  // One slot of the index: the text's hash (its low 32 bits), its index (-1 when the slot is
  // free), its copy, and its first bytes, so that a probe for a short text reads nothing else.
  struct Slot {
    uint32_t hash = 0;
    int32_t index = -1;
    char const* text = nullptr;
    char head[16] = {};  // zero-padded after the NUL
  };
  // A text being looked up, as a slot would describe it.
  struct Text {
    char const* bytes;
    size_t length;
    uint64_t hash;
    char head[16] = {};
  };
  static Text Describe(char const* text);
  // Where the text is in the index (when present) or where it would go (a free slot).
  [[nodiscard]] size_t Probe(const Text& text) const;
  // A copy of the text in the current block (a new block when it is full).
  char* Copy(char const* text, size_t length);
  void Rehash(size_t capacity);

  size_t maxEntries_;
  std::vector<char const*> strings_;  // by index, pointing into blocks_
  std::vector<std::unique_ptr<char[]>> blocks_;
  char* free_ = nullptr;  // unused room at the end of the last block
  size_t room_ = 0;
  // Open addressing with linear probing; the capacity is a power of two, at most 3/4 used.
  std::vector<Slot> slots_;
};
