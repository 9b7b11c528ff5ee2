#include "security/KRCFBase64.h"

#include "security/Base64Encoder.h"

namespace {

uint32_t value_of(char c) {
  if (c >= 'A' && c <= 'Z') return static_cast<uint32_t>(c - 'A');
  if (c >= 'a' && c <= 'z') return static_cast<uint32_t>(c - 'a' + 26);
  if (c >= '0' && c <= '9') return static_cast<uint32_t>(c - '0' + 52);
  if (c == '+') return 62;
  if (c == '/') return 63;
  return 0;
}

}  // namespace

std::string KRCFBase64CreateEncodedString(const std::vector<uint8_t>& data) {
  if (data.empty()) return {};
  std::string text(Base64Encoder::EncodedLength(data.size()), '\0');
  const int written =
      Base64Encoder().Encode(data.data(), static_cast<unsigned int>(data.size()), text.data(), 0);
  text.resize(static_cast<size_t>(written));
  return text;
}

std::vector<uint8_t> KRCFBase64CreateDecodedData(std::string_view text) {
  if (text.size() < 4) return {};
  for (int i = 0; i < 2 && !text.empty() && text.back() == '='; ++i) text.remove_suffix(1);
  std::vector<uint8_t> data;
  data.reserve(text.size() * 3 / 4);
  size_t at = 0;
  for (; at + 4 <= text.size(); at += 4) {
    const uint32_t group = value_of(text[at]) << 18 | value_of(text[at + 1]) << 12 |
                           value_of(text[at + 2]) << 6 | value_of(text[at + 3]);
    data.push_back(static_cast<uint8_t>(group >> 16));
    data.push_back(static_cast<uint8_t>(group >> 8));
    data.push_back(static_cast<uint8_t>(group));
  }
  const size_t rest = text.size() - at;
  if (rest >= 2) {
    uint32_t group = value_of(text[at]) << 18 | value_of(text[at + 1]) << 12;
    if (rest == 3) group |= value_of(text[at + 2]) << 6;
    data.push_back(static_cast<uint8_t>(group >> 16));
    if (rest == 3) data.push_back(static_cast<uint8_t>(group >> 8));
  }
  return data;
}
