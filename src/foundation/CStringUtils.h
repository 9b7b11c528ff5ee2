// CStringUtils: free helpers over C strings, Pascal (length-prefixed) strings and numbers, used
// throughout the PPD layer. None of them throws; pointers they return point into the caller's
// buffers unless the contract says the result is a new malloc'd block for the caller to free.
#pragma once

#include <cstddef>
#include <cwchar>
#include <optional>
#include <string>
#include <string_view>

// Room that num2String and float2String may write, NUL included.
inline constexpr size_t kNum2StringSize = 12;
inline constexpr size_t kFloat2StringSize = 48;

// Copies the C string `src` to `dst` as a Pascal string: dst[0] is the length, then the bytes.
// Texts longer than 255 bytes are cut to 255; `dst` must hold 256 bytes. `src` and `dst` may be
// the same buffer. A null `src` gives the empty Pascal string. Returns `dst`.
unsigned char* ctoPStr(char const* src, unsigned char* dst);

// Copies the Pascal string `src` to `dst` as a NUL-terminated C string; `dst` must hold
// src[0] + 1 bytes and may be the same buffer as `src`. A null `src` gives "". Returns `dst`.
char* ptoCStr(unsigned char const* src, char* dst);

// Formats `value` with "%d" into `buf` (kNum2StringSize bytes). Returns `buf`.
char* num2String(int value, char* buf);

// Formats `value` with "%9.4f" into `buf` (at most kFloat2StringSize bytes are written). Returns
// `buf`.
char* float2String(char* buf, float value);

// Integer value of the text: ASCII white space, an optional sign and decimal digits; anything
// after the digits is ignored. 0 for a null text or one that does not start with a number; a
// value beyond the range of int gives INT_MAX or INT_MIN. Independent of the locale.
int string2Number(char const* text);

// The decimal number at the start of the text (after white space, with an optional sign), read
// the same in every locale; 0 when the text does not start with one.
double decimalValue(std::string_view text);

// The value 0 to 15 of one hexadecimal digit ("0"-"9", "a"-"f", "A"-"F"); -1 for any other byte.
[[nodiscard]] constexpr int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The whole text as a decimal integer: an optional "+" or "-" and decimal digits, nothing else
// (no blanks); nullopt for any other text or a value beyond the range of long.
[[nodiscard]] std::optional<long> wholeNumber(std::string_view text);
// The whole text as a finite decimal number ("12", "-0.5", ".5", "1e3"), read the same in every
// locale: an optional sign, then digits with at most one ".", and an optional exponent; nullopt
// for any other text (blanks, "inf", "nan", a decimal comma) or a value beyond the range of double.
[[nodiscard]] std::optional<double> decimalNumber(std::string_view text);
// The shortest decimal text that reads back as `value` ("0.5", "1870", "-3"), in every locale.
[[nodiscard]] std::string shortestDecimal(double value);

// Deletes the bytes of `str` from index `from` up to but not including `to`; an end beyond the
// text stops at the text's end. Nothing happens for a null string, when `from` is negative, when
// `from` is not before `to`, or when `from` lies at or beyond the end of the text.
void deleteCharRangeInStr(char* str, short from, short to);

// The first byte of `str` equal to `c`, or null (also for a null string or c == '\0').
char* findChar(char* str, char c);
char const* findChar(char const* str, char c);

// A new malloc'd buffer of n + 1 bytes: n copies of `c` and a NUL; null when memory runs out.
// The caller frees it.
char* newInitalizedCString(size_t n, char c);

// 1 unless `text` holds a run of more than `limit` consecutive ASCII decimal digits, then 0. Any
// other byte ends a run. A null text gives 1.
int validateRangeValues(char const* text, int limit);

// Integer value of the wide text, read as atoi reads: white space, an optional sign, decimal
// digits. 0 for a null text; values beyond the range of int are clamped.
int wtoi(wchar_t const* text);

// A new malloc'd copy of `text` with every occurrence of `what` replaced by `with`, scanning left
// to right and continuing behind each inserted text (so a replacement that contains `what` is not
// replaced again). An empty `what` gives an unchanged copy. Null when any argument is null or
// memory runs out. The caller frees the result.
char* replaceAll(char const* text, char const* what, char const* with);
