#include "security/Base64Decoder.h"

namespace {

// Value of a Base64 character, or -1 for one outside the alphabet.
int value_of(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

}  // namespace

int Base64Decoder::Decode(char const* text, unsigned int n, unsigned char* out) {
  if (text == nullptr || out == nullptr || done_ != 0) return 0;
  int written = 0;
  for (unsigned int i = 0; i < n; ++i) {
    if (text[i] == '=') {
      // The whole bytes held by an unfinished group: 2 characters give 1, 3 give 2.
      const int bits = gathered_ * 6;
      for (int byte = 1; byte <= bits / 8; ++byte) {
        out[written++] = static_cast<unsigned char>(accumulator_ >> (bits - 8 * byte));
      }
      accumulator_ = 0;
      gathered_ = 0;
      done_ = 1;
      return written;
    }
    const int value = value_of(text[i]);
    if (value < 0) continue;
    accumulator_ = (accumulator_ << 6 | static_cast<unsigned long>(value)) & 0xFFFFFF;
    if (++gathered_ == 4) {
      out[written++] = static_cast<unsigned char>(accumulator_ >> 16);
      out[written++] = static_cast<unsigned char>(accumulator_ >> 8);
      out[written++] = static_cast<unsigned char>(accumulator_);
      accumulator_ = 0;
      gathered_ = 0;
    }
  }
  return written;
}
