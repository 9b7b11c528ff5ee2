#include "security/Base64Encoder.h"

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

}  // namespace

int Base64Encoder::Encode(unsigned char const* data, unsigned int n, char* out,
                          int lineBreaks) const {
  if (data == nullptr || out == nullptr) return 0;
  int written = 0;
  int in_line = 0;
  auto put = [&](char c) {
    if (lineBreaks != 0 && in_line == kLineLength) {
      out[written++] = '\n';
      in_line = 0;
    }
    out[written++] = c;
    ++in_line;
  };
  unsigned int at = 0;
  for (; at + 3 <= n; at += 3) {
    const unsigned long group = static_cast<unsigned long>(data[at]) << 16 |
                                static_cast<unsigned long>(data[at + 1]) << 8 | data[at + 2];
    put(kAlphabet[(group >> 18) & 63]);
    put(kAlphabet[(group >> 12) & 63]);
    put(kAlphabet[(group >> 6) & 63]);
    put(kAlphabet[group & 63]);
  }
  const unsigned int rest = n - at;
  if (rest > 0) {
    unsigned long group = static_cast<unsigned long>(data[at]) << 16;
    if (rest == 2) group |= static_cast<unsigned long>(data[at + 1]) << 8;
    put(kAlphabet[(group >> 18) & 63]);
    put(kAlphabet[(group >> 12) & 63]);
    put(rest == 2 ? kAlphabet[(group >> 6) & 63] : '=');
    put('=');
  }
  return written;
}
