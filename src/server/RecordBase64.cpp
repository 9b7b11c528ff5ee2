#include "server/RecordBase64.h"

#include <array>
#include <cstdint>

namespace quill {
namespace {

constexpr std::uint8_t kSkip = 0x80;  // not in the alphabet: ignored
constexpr std::uint8_t kEnd = 0x81;   // "=" or NUL: the text ends

constexpr std::array<std::uint8_t, 256> MakeTable() {
  std::array<std::uint8_t, 256> table{};
  for (auto& entry : table) entry = kSkip;
  const char* alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  for (std::uint8_t value = 0; value < 64; ++value) {
    table[static_cast<unsigned char>(alphabet[value])] = value;
  }
  table[static_cast<unsigned char>('=')] = kEnd;
  table[0] = kEnd;  // values are C strings to the other readers of records
  return table;
}

constexpr std::array<std::uint8_t, 256> kTable = MakeTable();

}  // namespace

std::size_t DecodeRecordBase64(const char* text, std::size_t size, unsigned char* out,
                               std::size_t limit) {
  const auto* in = reinterpret_cast<const unsigned char*>(text);
  std::size_t i = 0;
  std::size_t written = 0;
  // Whole groups of alphabet characters, while three more bytes fit.
  while (i + 4 <= size && written + 3 <= limit) {
    const std::uint32_t a = kTable[in[i]];
    const std::uint32_t b = kTable[in[i + 1]];
    const std::uint32_t c = kTable[in[i + 2]];
    const std::uint32_t d = kTable[in[i + 3]];
    if (((a | b | c | d) & 0x80) != 0) break;
    const std::uint32_t bits = a << 18 | b << 12 | c << 6 | d;
    out[written] = static_cast<unsigned char>(bits >> 16);
    out[written + 1] = static_cast<unsigned char>(bits >> 8);
    out[written + 2] = static_cast<unsigned char>(bits);
    written += 3;
    i += 4;
  }
  // The rest one character at a time: skipped characters, "=", a short last group, the limit.
  std::uint32_t bits = 0;
  int gathered = 0;  // characters in `bits` since the last group boundary
  for (; i < size && written < limit; ++i) {
    const std::uint8_t value = kTable[in[i]];
    if (value == kEnd) break;
    if (value == kSkip) continue;
    bits = bits << 6 | value;
    // A byte is complete after the 2nd, 3rd and 4th character of a group.
    if (gathered == 1) {
      out[written++] = static_cast<unsigned char>(bits >> 4);
    } else if (gathered == 2) {
      out[written++] = static_cast<unsigned char>(bits >> 2);
    } else if (gathered == 3) {
      out[written++] = static_cast<unsigned char>(bits);
    }
    gathered = (gathered + 1) & 3;
  }
  return written;
}

}  // namespace quill
