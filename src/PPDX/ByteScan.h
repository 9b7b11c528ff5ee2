// ByteScan: finds the first byte of a range that belongs to a small set of stop bytes (the
// delimiters of a token, the line ends of a line). The token and line readers spend most of the
// parse looking for such bytes, so sets of up to six bytes are searched sixteen bytes at a time
// where the processor allows it; every set is also kept as a table for the last few bytes and for
// larger sets. Reads only inside the range it is given.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

class ByteSet {
 public:
  // The most bytes a set may have to be searched sixteen at a time.
  static constexpr size_t kMaxWide = 6;

  constexpr ByteSet() = default;
  // The set of every byte of `bytes` (NUL bytes included when the view holds them).
  constexpr explicit ByteSet(std::string_view bytes) { Add(bytes); }

  constexpr void Add(std::string_view bytes) {
    for (char c : bytes) {
      const auto byte = static_cast<unsigned char>(c);
      if (table_[byte]) continue;
      table_[byte] = true;
      // Places not yet taken repeat the first byte, so that every place can be compared.
      for (size_t place = count_; place < (count_ == 0 ? kMaxWide : count_ + 1); ++place) {
        if (place < kMaxWide) wide_[place].fill(byte);
      }
      ++count_;
    }
  }

  [[nodiscard]] constexpr bool Contains(unsigned char byte) const { return table_[byte]; }

  // The first byte of [p, end) in the set, or `end` when there is none. Null or empty ranges
  // give `end`.
  [[nodiscard]] const unsigned char* Find(const unsigned char* p, const unsigned char* end) const {
    if (p == nullptr || p >= end) return end;
#if defined(__SSE2__)
    if (count_ > 0 && count_ <= kMaxWide && end - p >= 16) return FindWide(p, end);
#endif
    while (p < end && !table_[*p]) ++p;
    return p;
  }

 private:
#if defined(__SSE2__)
  // Ranges of at least sixteen bytes: whole blocks, the last one overlapping the block before it
  // rather than reading past the end.
  [[nodiscard]] const unsigned char* FindWide(const unsigned char* p,
                                              const unsigned char* end) const {
    auto wanted = [this](size_t place) {
      return _mm_load_si128(reinterpret_cast<const __m128i*>(wide_[place].data()));
    };
    const __m128i w0 = wanted(0), w1 = wanted(1), w2 = wanted(2);
    const __m128i w3 = wanted(3), w4 = wanted(4), w5 = wanted(5);
    static_assert(kMaxWide == 6, "one vector per place");
    auto matches = [&](const unsigned char* at) {
      const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
      const __m128i hit = _mm_or_si128(
          _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(block, w0), _mm_cmpeq_epi8(block, w1)),
                       _mm_or_si128(_mm_cmpeq_epi8(block, w2), _mm_cmpeq_epi8(block, w3))),
          _mm_or_si128(_mm_cmpeq_epi8(block, w4), _mm_cmpeq_epi8(block, w5)));
      return static_cast<unsigned>(_mm_movemask_epi8(hit));
    };
    const unsigned char* const last = end - 16;
    for (;;) {
      if (const unsigned mask = matches(p)) return p + __builtin_ctz(mask);
      p += 16;
      if (p >= end) return end;
      if (p > last) {
        // The bytes before p were looked at already.
        const unsigned seen = static_cast<unsigned>(p - last);
        const unsigned mask = matches(last) >> seen << seen;
        return mask != 0 ? last + __builtin_ctz(mask) : end;
      }
    }
  }
#endif

  std::array<bool, 256> table_{};
  // Each byte of the set (up to kMaxWide) sixteen times over, as one vector compares it.
  alignas(16) std::array<std::array<unsigned char, 16>, kMaxWide> wide_{};
  size_t count_ = 0;
};
