// BoyerMoore: searches a block of bytes for a pattern of up to 255 bytes with a bad-character
// skip table. Used, for example, to look for the PC file name inside a PPD.
//
// The searcher is case-sensitive until SetCaseSensitve(false) is called; it then folds both the
// pattern and the data with the C library's tolower.
#pragma once

#include <cstddef>
#include <cstdint>

class BoyerMoore {
 public:
  static constexpr short kMaxPatternLength = 255;

  BoyerMoore();
  virtual ~BoyerMoore();
  BoyerMoore(BoyerMoore const&) = delete;
  BoyerMoore& operator=(BoyerMoore const&) = delete;

  // Sets the pattern to the first `length` bytes of `pattern` (at most 255 are kept; a negative
  // length or a null pattern gives an empty pattern) and rebuilds the skip table.
  virtual void SetSearchString(char const* pattern, short length);
  // The same from a length-prefixed (Pascal) string; null gives an empty pattern.
  virtual void SetSearchString(unsigned char const* pascal);
  // Copies the pattern bytes followed by a NUL into `out`, which must hold
  // GetSearchStringLength() + 1 bytes. Nothing for a null `out`.
  virtual void GetSearchString(char* out) const;
  // The bytes to search: [data, data + length). The data is not copied and must outlive the
  // searches.
  virtual void SetSearchData(void const* data, long length);

  // Position of the first match at or after the start offset, relative to the start offset; -1
  // when there is none, when the pattern is empty or longer than the data left, or when the start
  // offset lies outside the data. Never reads outside [data, data + length).
  virtual long Search();
  // Sets the start offset and, when `pattern` is not null, the pattern; then searches.
  virtual long Search(long start, char const* pattern, short length);
  virtual long Search(long start, unsigned char const* pascal);

  // Case-sensitive (the default) or not; the skip table is rebuilt to match.
  virtual void SetCaseSensitve(bool case_sensitive);
  [[nodiscard]] virtual bool GetCaseSensitive() const;
  [[nodiscard]] virtual short GetSearchStringLength() const;

  // Sets the current data pointer to the data plus the start offset.
  virtual void PrepareSearchData();
  // Forgets the current data pointer.
  virtual void CleanupSearchData();
  // Every byte value skips the pattern length; each pattern byte skips its distance from the
  // pattern's end, so its last occurrence wins. Pattern bytes are folded in ignore-case mode.
  virtual void BuildSkipTable();

 private:
  [[nodiscard]] unsigned char Fold(unsigned char byte) const;

  uint8_t skip_[256] = {};
  unsigned char pattern_[kMaxPatternLength] = {};
  short patternLength_ = 0;
  unsigned char const* data_ = nullptr;
  long dataLength_ = 0;
  long start_ = 0;
  unsigned char const* current_ = nullptr;
  bool ignoreCase_ = false;
};
