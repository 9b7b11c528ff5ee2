// CStringSoup: an interning table of C strings. Each distinct text is stored once, as an owned
// copy, and is known by its index, which is its position in insertion order and never changes
// until Clear().
#pragma once

#include <cstddef>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <vector>

class CStringSoup {
 public:
  CStringSoup();
  virtual ~CStringSoup();
  CStringSoup(const CStringSoup&) = delete;
  CStringSoup& operator=(const CStringSoup&) = delete;

  // Index of an equal text already present; else stores a copy at the end and returns its index
  // (size() - 1). A null text is not stored and gives -1.
  virtual long Insert(char const* text);
  // The text at `index`, or null when the index is out of range.
  virtual char const* Find(long index) const;
  // Index of the text (exact byte comparison), or -1 when it was never inserted.
  virtual long Find(char const* text) const;
  // Frees every copy and empties the table.
  virtual void Clear();
  virtual size_t size() const;

 private:
  struct FreeDeleter {
    void operator()(char* p) const;
  };
  std::vector<std::unique_ptr<char, FreeDeleter>> strings_;
  // Index of every stored text, so that Insert and Find do not walk the table.
  std::unordered_map<std::string_view, long> index_;
};
