#include "foundation/BoyerMoore.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <iterator>

// The skip table starts zeroed, which is what BuildSkipTable gives an empty pattern.
BoyerMoore::BoyerMoore() = default;

BoyerMoore::~BoyerMoore() = default;

void BoyerMoore::SetSearchString(char const* pattern, short length) {
  patternLength_ = 0;
  if (pattern != nullptr && length > 0) {
    patternLength_ = std::min(length, kMaxPatternLength);
    std::memcpy(pattern_, pattern, static_cast<size_t>(patternLength_));
  }
  BuildSkipTable();
}

void BoyerMoore::SetSearchString(unsigned char const* pascal) {
  if (pascal == nullptr) {
    SetSearchString(nullptr, 0);
    return;
  }
  SetSearchString(reinterpret_cast<char const*>(pascal + 1), static_cast<short>(pascal[0]));
}

void BoyerMoore::GetSearchString(char* out) const {
  if (out == nullptr) return;
  std::memcpy(out, pattern_, static_cast<size_t>(patternLength_));
  out[patternLength_] = '\0';
}

void BoyerMoore::SetSearchData(void const* data, long length) {
  data_ = static_cast<unsigned char const*>(data);
  dataLength_ = data == nullptr ? 0 : std::max(length, 0L);
}

unsigned char BoyerMoore::Fold(unsigned char byte) const {
  return ignoreCase_ ? static_cast<unsigned char>(std::tolower(byte)) : byte;
}

void BoyerMoore::BuildSkipTable() {
  std::fill(std::begin(skip_), std::end(skip_), static_cast<uint8_t>(patternLength_));
  for (short i = 0; i < patternLength_; ++i) {
    skip_[Fold(pattern_[i])] = static_cast<uint8_t>(patternLength_ - 1 - i);
  }
}

void BoyerMoore::PrepareSearchData() {
  const bool inside = data_ != nullptr && start_ >= 0 && start_ <= dataLength_;
  current_ = inside ? data_ + start_ : nullptr;
}

void BoyerMoore::CleanupSearchData() { current_ = nullptr; }

long BoyerMoore::Search() {
  PrepareSearchData();
  if (current_ == nullptr) return -1;
  const long pattern_length = patternLength_;
  const long data_left = dataLength_ - start_;
  if (pattern_length == 0 || pattern_length > data_left) return -1;

  // `i` is the data position compared with pattern position `j`; both run backwards from the
  // pattern's last byte. i >= j always holds, and i is checked against the end before every
  // read, so no byte outside the data is touched.
  long i = pattern_length - 1;
  long j = pattern_length - 1;
  while (j >= 0) {
    const unsigned char byte = Fold(current_[i]);
    if (byte == Fold(pattern_[j])) {
      --i;
      --j;
      continue;
    }
    // Shift the pattern at least one byte, or far enough to line up the pattern's last
    // occurrence of the mismatching byte with it.
    i += std::max<long>(pattern_length - j, skip_[byte]);
    if (i >= data_left) return -1;
    j = pattern_length - 1;
  }
  return i + 1;
}

long BoyerMoore::Search(long start, char const* pattern, short length) {
  start_ = start;
  if (pattern != nullptr) SetSearchString(pattern, length);
  return Search();
}

long BoyerMoore::Search(long start, unsigned char const* pascal) {
  start_ = start;
  if (pascal != nullptr) SetSearchString(pascal);
  return Search();
}

void BoyerMoore::SetCaseSensitve(bool case_sensitive) {
  ignoreCase_ = !case_sensitive;
  BuildSkipTable();
}

bool BoyerMoore::GetCaseSensitive() const { return !ignoreCase_; }

short BoyerMoore::GetSearchStringLength() const { return patternLength_; }
