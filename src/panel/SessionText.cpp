#include "panel/SessionText.h"

#include "foundation/UTF8.h"

namespace quill {

std::string CutUTF8(std::string_view text, std::size_t maxBytes) {
  if (text.size() <= maxBytes) return std::string(text);
  std::size_t end = maxBytes;
  // Step back over continuation bytes to the start of the character that does not fit.
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return std::string(text.substr(0, end));
}

std::wstring WidenUTF8(std::string_view text) {
  std::wstring wide;
  for (char32_t c : DecodeUTF8(text)) wide.push_back(static_cast<wchar_t>(c));
  return wide;
}

std::string NarrowToUTF8(std::wstring_view text, std::size_t maxBytes) {
  std::string out;
  std::string one;
  for (wchar_t c : text) {
    one.clear();
    AppendUTF8(one, static_cast<char32_t>(c));
    if (out.size() + one.size() > maxBytes) break;
    out += one;
  }
  return out;
}

}  // namespace quill
