// Byte helpers shared by the security tests: hexadecimal text to bytes and back.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quill::testing {

// Bytes of hexadecimal text; blanks between digits are ignored.
inline std::vector<uint8_t> Bytes(std::string_view hex) {
  std::string digits;
  for (char c : hex) {
    if (c != ' ') digits += c;
  }
  auto nibble = [](char c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; };
  std::vector<uint8_t> out;
  for (size_t i = 0; i + 1 < digits.size(); i += 2) {
    out.push_back(static_cast<uint8_t>(nibble(digits[i]) << 4 | nibble(digits[i + 1])));
  }
  return out;
}

inline std::string Hex(const uint8_t* data, size_t n) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out;
  for (size_t i = 0; i < n; ++i) {
    out += kDigits[data[i] >> 4];
    out += kDigits[data[i] & 15];
  }
  return out;
}

inline std::string Hex(const std::vector<uint8_t>& data) { return Hex(data.data(), data.size()); }

}  // namespace quill::testing
