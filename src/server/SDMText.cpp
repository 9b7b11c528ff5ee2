#include "server/SDMText.h"

#include <cstring>

#include "foundation/UTF8.h"
#include "platform/Log.h"

namespace quill {

std::wstring WideFromUTF8(std::string_view text) {
  const std::vector<char32_t> units = DecodeUTF8(text);
  return std::wstring(units.begin(), units.end());
}

std::string UTF8FromWide(std::wstring_view text) {
  std::string out;
  out.reserve(text.size());
  for (wchar_t c : text) AppendUTF8(out, static_cast<char32_t>(c));
  return out;
}

std::size_t UTF8PrefixLength(std::string_view text, std::size_t maxBytes) {
  if (text.size() <= maxBytes) return text.size();
  std::size_t cut = maxBytes;
  // Step back over continuation bytes so the cut lands before a character's first byte.
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  return cut;
}

bool CopyToField(char* out, std::size_t size, std::string_view text, const char* what) {
  if (out == nullptr || size == 0) return false;
  const std::size_t length = UTF8PrefixLength(text, size - 1);
  std::memcpy(out, text.data(), length);
  std::memset(out + length, 0, size - length);
  if (length < text.size()) {
    PanelLog("SharedMemoryList: %s of %zu bytes cut to %zu bytes", what, text.size(), length);
    return false;
  }
  return true;
}

std::string_view FieldText(const char* field, std::size_t size) {
  if (field == nullptr) return {};
  return std::string_view(field, strnlen(field, size));
}

std::size_t BoundedWideLength(const wchar_t* text, std::size_t limit) {
  if (text == nullptr) return 0;
  std::size_t n = 0;
  while (n < limit && text[n] != L'\0') ++n;
  return n;
}

}  // namespace quill
