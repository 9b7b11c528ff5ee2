#include "security/Hex.h"

void toHex(const unsigned char* bytes, int n, char* out) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  if (bytes == nullptr || out == nullptr || n <= 0) return;
  for (int i = 0; i < n; ++i) {
    out[2 * i] = kDigits[bytes[i] >> 4];
    out[2 * i + 1] = kDigits[bytes[i] & 0x0F];
  }
}

void toHex(const char* bytes, int n, char* out) {
  toHex(reinterpret_cast<const unsigned char*>(bytes), n, out);
}
