#include "foundation/CStringUtils.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr size_t kMaxPascalLength = 255;

bool IsAsciiSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsAsciiDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

unsigned char* ctoPStr(char const* src, unsigned char* dst) {
  if (dst == nullptr) return nullptr;
  if (src == nullptr) {
    dst[0] = 0;
    return dst;
  }
  const size_t length = strnlen(src, kMaxPascalLength);
  // memmove: converting in place is a common use.
  std::memmove(dst + 1, src, length);
  dst[0] = static_cast<unsigned char>(length);
  return dst;
}

char* ptoCStr(unsigned char const* src, char* dst) {
  if (dst == nullptr) return nullptr;
  if (src == nullptr) {
    dst[0] = '\0';
    return dst;
  }
  const size_t length = src[0];
  std::memmove(dst, src + 1, length);
  dst[length] = '\0';
  return dst;
}

char* num2String(int value, char* buf) {
  if (buf != nullptr) std::snprintf(buf, kNum2StringSize, "%d", value);
  return buf;
}

char* float2String(char* buf, float value) {
  if (buf != nullptr) std::snprintf(buf, kFloat2StringSize, "%9.4f", static_cast<double>(value));
  return buf;
}

int string2Number(char const* text) {
  if (text == nullptr) return 0;
  char const* p = text;
  while (IsAsciiSpace(*p)) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') {
    negative = *p == '-';
    ++p;
  }
  char const* digits_end = p;
  while (IsAsciiDigit(*digits_end)) ++digits_end;
  if (digits_end == p) return 0;
  // Parse the magnitude as unsigned so that INT_MIN itself is representable.
  uint64_t magnitude = 0;
  auto [end, error] = std::from_chars(p, digits_end, magnitude);
  (void)end;
  const uint64_t limit = negative ? uint64_t{INT_MAX} + 1 : uint64_t{INT_MAX};
  if (error == std::errc::result_out_of_range || magnitude > limit) {
    return negative ? INT_MIN : INT_MAX;
  }
  return negative ? static_cast<int>(-static_cast<int64_t>(magnitude))
                  : static_cast<int>(magnitude);
}

void deleteCharRangeInStr(char* str, short from, short to) {
  if (str == nullptr || from < 0 || from >= to) return;
  const size_t length = std::strlen(str);
  const auto first = static_cast<size_t>(from);
  if (first >= length) return;
  const size_t last = std::min(static_cast<size_t>(to), length);
  // Moves the tail and its NUL.
  std::memmove(str + first, str + last, length - last + 1);
}

char* findChar(char* str, char c) {
  if (str == nullptr || c == '\0') return nullptr;
  return std::strchr(str, c);
}

char const* findChar(char const* str, char c) {
  if (str == nullptr || c == '\0') return nullptr;
  return std::strchr(str, c);
}

char* newInitalizedCString(size_t n, char c) {
  if (n == SIZE_MAX) return nullptr;
  char* buffer = static_cast<char*>(std::malloc(n + 1));
  if (buffer == nullptr) return nullptr;
  std::memset(buffer, c, n);
  buffer[n] = '\0';
  return buffer;
}

int validateRangeValues(char const* text, int limit) {
  if (text == nullptr) return 1;
  long run = 0;
  for (char const* p = text; *p != '\0'; ++p) {
    run = IsAsciiDigit(*p) ? run + 1 : 0;
    if (run > limit) return 0;
  }
  return 1;
}

int wtoi(wchar_t const* text) {
  if (text == nullptr) return 0;
  const long value = std::wcstol(text, nullptr, 10);
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

char* replaceAll(char const* text, char const* what, char const* with) {
  if (text == nullptr || what == nullptr || with == nullptr) return nullptr;
  const size_t text_length = std::strlen(text);
  const size_t what_length = std::strlen(what);
  const size_t with_length = std::strlen(with);
  if (what_length == 0) {
    char* copy = static_cast<char*>(std::malloc(text_length + 1));
    if (copy != nullptr) std::memcpy(copy, text, text_length + 1);
    return copy;
  }

  size_t count = 0;
  for (char const* p = std::strstr(text, what); p != nullptr;
       p = std::strstr(p + what_length, what)) {
    ++count;
  }
  // Each replacement changes the size by (with - what); guard the sum against overflow.
  size_t result_length = text_length;
  if (with_length >= what_length) {
    const size_t growth = with_length - what_length;
    if (growth != 0 && count > (SIZE_MAX - 1 - text_length) / growth) return nullptr;
    result_length += count * growth;
  } else {
    result_length -= count * (what_length - with_length);
  }

  char* result = static_cast<char*>(std::malloc(result_length + 1));
  if (result == nullptr) return nullptr;
  char* out = result;
  char const* in = text;
  for (char const* p = std::strstr(in, what); p != nullptr; p = std::strstr(in, what)) {
    const size_t head = static_cast<size_t>(p - in);
    std::memcpy(out, in, head);
    out += head;
    std::memcpy(out, with, with_length);
    out += with_length;
    in = p + what_length;
  }
  std::strcpy(out, in);
  return result;
}

double decimalValue(std::string_view text) {
  const char* p = text.data();
  const char* end = p + text.size();
  while (p < end && (*p == ' ' || (*p >= '\t' && *p <= '\r'))) ++p;
  if (p < end && *p == '+') ++p;
  const char* digits = p < end && *p == '-' ? p + 1 : p;
  if (digits >= end || !((*digits >= '0' && *digits <= '9') || *digits == '.')) return 0;
  double value = 0;
  if (std::from_chars(p, end, value).ec != std::errc()) return 0;
  return value;
}

namespace {
// The text without one leading "+" when a digit or "." follows it; from_chars reads no "+".
std::string_view without_plus(std::string_view text) {
  if (text.size() > 1 && text[0] == '+' && (IsAsciiDigit(text[1]) || text[1] == '.')) {
    return text.substr(1);
  }
  return text;
}
}  // namespace

std::optional<long> wholeNumber(std::string_view text) {
  text = without_plus(text);
  long value = 0;
  const char* end = text.data() + text.size();
  auto [stop, error] = std::from_chars(text.data(), end, value);
  if (text.empty() || error != std::errc() || stop != end) return std::nullopt;
  return value;
}

std::optional<double> decimalNumber(std::string_view text) {
  text = without_plus(text);
  const char* p = text.data();
  const char* end = p + text.size();
  // from_chars would also take "inf", "nan" and hexadecimal forms; only digits may start.
  const char* first = p < end && *p == '-' ? p + 1 : p;
  if (first >= end || !(IsAsciiDigit(*first) || *first == '.')) return std::nullopt;
  double value = 0;
  auto [stop, error] = std::from_chars(p, end, value, std::chars_format::general);
  if (error != std::errc() || stop != end || !std::isfinite(value)) return std::nullopt;
  return value;
}

std::string shortestDecimal(double value) {
  char buffer[64];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}
