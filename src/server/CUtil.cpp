#include "server/CUtil.h"

#include <pugixml.hpp>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <memory>
#include <random>
#include <vector>

#include "foundation/UTF8.h"

namespace {

// What one section parse looks for and how it labels its diagnostics.
struct SectionRules {
  const wchar_t* start;
  const wchar_t* end;
  const wchar_t* valueOpener;
  const char* sectionLabel;  // "DMT Control data =%s\n"
  const char* lineLabel;
  const char* keyLabel;
  const char* valueLabel;
};

constexpr SectionRules kControls{L"<Controls>", L"</Controls>", L"default=\"",
                                 "DMT Control data =%s\n", "DMT Line data =%s\n",
                                 "DMT Control Key%d =%s\n", "DMT Control Value%d =%s\n"};
constexpr SectionRules kLocked{L"<Lock>", L"</Lock>", L"value=\"",
                               "DMT Locked data =%s\n", "DMT Locked Line data =%s\n",
                               "DMT Locked Key%d =%s\n", "DMT Locked Value%d =%s\n"};
constexpr SectionRules kHidden{L"<Show>", L"</Show>", L"value=\"",
                               "DMT Hidden data =%s\n", "DMT Hidden Line data =%s\n",
                               "DMT Hidden Key%d =%s\n", "DMT Hidden Value%d =%s\n"};

void Diagnose(const char* format, const std::wstring& text) {
  std::fprintf(stderr, format, CUtil::narrow(text).c_str());
}

void Diagnose(const char* format, int number, const std::wstring& text) {
  std::fprintf(stderr, format, number, CUtil::narrow(text).c_str());
}

// A decoded key or value with a control character would break the one-line texts it travels in
// (print settings, job options); such a pair is not taken.
bool HasControlCharacter(const std::wstring& text) {
  return std::any_of(text.begin(), text.end(),
                     [](wchar_t c) { return c < 0x20 || c == 0x7F; });
}

bool ParseSection(const std::wstring& text, const SectionRules& rules, DMTKeyValueMap& map) {
  std::wstring category;
  if (!CUtil::GetNodeDataFromXMLData(CUtil::kCategoryStart, CUtil::kCategoryEnd, text, category)) {
    return false;
  }
  Diagnose("DMT XML data =%s\n", category);
  std::wstring section;
  if (!CUtil::GetNodeDataFromXMLData(rules.start, rules.end, category, section)) return false;
  Diagnose(rules.sectionLabel, section);

  int number = 0;
  long position = 0;
  std::wstring line;
  long next = 0;
  while (position >= 0 && CUtil::GetNextLineFromXMLData(position, L"\n", section, line, next)) {
    position = next;
    Diagnose(rules.lineLabel, line);
    if (line.find(L"<KRTPPD") == std::wstring::npos) continue;
    std::wstring raw_key;
    if (!CUtil::GetKeyFromXMLData(L"key=\"", L"\"", line, raw_key)) continue;
    std::wstring raw_value;
    if (!CUtil::GetValueFromXMLData(rules.valueOpener, L"\"", line, raw_value)) raw_value.clear();
    std::wstring key = CUtil::DecodeXMLText(raw_key);
    std::wstring value = CUtil::DecodeXMLText(raw_value);
    ++number;
    Diagnose(rules.keyLabel, number, key);
    Diagnose(rules.valueLabel, number, value);
    if (key.empty() || HasControlCharacter(key) || HasControlCharacter(value)) continue;
    map.emplace(std::move(key), std::move(value));
  }
  return true;
}

bool FindBetween(const std::wstring& opener, const std::wstring& closer, const std::wstring& text,
                 std::wstring& out) {
  if (opener.empty() || closer.empty()) return false;
  const auto start = text.find(opener);
  if (start == std::wstring::npos) return false;
  const auto from = start + opener.size();
  const auto end = text.find(closer, from);
  if (end == std::wstring::npos) return false;
  out = text.substr(from, end - from);
  return true;
}

// Splits at any separator character, skipping empty tokens.
std::vector<std::wstring> Tokens(const wchar_t* text, const wchar_t* separators) {
  std::vector<std::wstring> tokens;
  const std::wstring_view all(text);
  std::size_t at = 0;
  while (at < all.size()) {
    const std::size_t end = std::min(all.find_first_of(separators, at), all.size());
    if (end > at) tokens.emplace_back(all.substr(at, end - at));
    at = end + 1;
  }
  return tokens;
}

wchar_t* CopyString(const std::wstring& text) {
  auto* copy = static_cast<wchar_t*>(std::malloc((text.size() + 1) * sizeof(wchar_t)));
  if (copy == nullptr) return nullptr;
  std::wmemcpy(copy, text.c_str(), text.size() + 1);
  return copy;
}

}  // namespace

bool CUtil::GetNodeDataFromXMLData(const std::wstring& startTag, const std::wstring& endTag,
                                   const std::wstring& text, std::wstring& out) {
  if (startTag.empty() || endTag.empty()) return false;
  const auto start = text.find(startTag);
  const auto end = text.find(endTag);
  if (start == std::wstring::npos || end == std::wstring::npos || end < start) return false;
  out = text.substr(start, end - start);
  return true;
}

bool CUtil::GetKeyFromXMLData(const std::wstring& opener, const std::wstring& closer,
                              const std::wstring& text, std::wstring& out) {
  return FindBetween(opener, closer, text, out);
}

bool CUtil::GetValueFromXMLData(const std::wstring& opener, const std::wstring& closer,
                                const std::wstring& text, std::wstring& out) {
  return FindBetween(opener, closer, text, out);
}

bool CUtil::GetNextLineFromXMLData(long position, const std::wstring& separator,
                                   const std::wstring& text, std::wstring& line, long& next) {
  line.clear();
  next = -1;
  if (position < 0 || static_cast<std::size_t>(position) > text.size() || separator.empty()) {
    return false;
  }
  const auto from = static_cast<std::size_t>(position);
  const auto end = text.find(separator, from);
  if (end == std::wstring::npos) {
    line = text.substr(from);
    return true;
  }
  line = text.substr(from, end - from);
  next = static_cast<long>(end + separator.size());
  return true;
}

bool CUtil::GetControlKeyValFromDMTXmlData(const std::wstring& text, DMTKeyValueMap& map) {
  return ParseSection(text, kControls, map);
}

bool CUtil::GetLockedKeyValFromDMTXmlData(const std::wstring& text, DMTKeyValueMap& map) {
  return ParseSection(text, kLocked, map);
}

bool CUtil::GetHiddenKeyValFromDMTXmlData(const std::wstring& text, DMTKeyValueMap& map) {
  return ParseSection(text, kHidden, map);
}

std::wstring CUtil::DecodeXMLText(const std::wstring& raw) {
  if (raw.find(L'&') == std::wstring::npos || raw.find(L'\0') != std::wstring::npos) return raw;
  // The text becomes the content of one element; a "<" in it is escaped first so that it stays
  // text. pugixml reads no document type, so no entity beyond the predefined ones and character
  // references is expanded, and nothing outside the text is ever loaded.
  std::string document = "<t>" + __replace(narrow(raw), "<", "&lt;") + "</t>";
  pugi::xml_document parsed;
  const unsigned options = pugi::parse_minimal | pugi::parse_escapes | pugi::parse_ws_pcdata;
  const pugi::xml_parse_result result =
      parsed.load_buffer(document.data(), document.size(), options, pugi::encoding_utf8);
  if (!result) return raw;
  return widen(parsed.child("t").text().get());
}

wchar_t* CUtil::findLineWithKey(const wchar_t* key, const wchar_t* text,
                                const wchar_t* separators) {
  if (key == nullptr || text == nullptr || separators == nullptr) return nullptr;
  for (const auto& token : Tokens(text, separators)) {
    if (token.find(key) != std::wstring::npos) return CopyString(token);
  }
  return nullptr;
}

wchar_t** CUtil::tockenizeWstring(int* count, const wchar_t* text, const wchar_t* separators) {
  if (count != nullptr) *count = 0;
  if (count == nullptr || text == nullptr || separators == nullptr) return nullptr;
  const auto tokens = Tokens(text, separators);
  if (tokens.empty()) return nullptr;
  const int announced = wtoi(tokens.front().c_str());
  if (announced < 1) return nullptr;
  // The array is sized by the tokens present, never by the announced count alone.
  const std::size_t copied = std::min<std::size_t>(announced, tokens.size() - 1);
  auto** array = static_cast<wchar_t**>(std::calloc(copied + 1, sizeof(wchar_t*)));
  if (array == nullptr) return nullptr;
  for (std::size_t i = 0; i < copied; ++i) {
    array[i] = CopyString(tokens[i + 1]);
    if (array[i] == nullptr) {
      deallocTwoDimenArray(array, static_cast<int>(i));
      return nullptr;
    }
  }
  *count = static_cast<int>(copied);
  return array;
}

void CUtil::deallocTwoDimenArray(wchar_t** array, int count) {
  if (array == nullptr) return;
  for (int i = 0; i < count; ++i) std::free(array[i]);
  std::free(array);
}

void CUtil::deallocateArrayOfStrings(int count, wchar_t** array) {
  deallocTwoDimenArray(array, count);
}

int CUtil::wtoi(const wchar_t* text) {
  if (text == nullptr) return 0;
  // The blanks atoi skips in the C locale.
  while (*text == L' ' || (*text >= L'\t' && *text <= L'\r')) ++text;
  bool negative = false;
  if (*text == L'+' || *text == L'-') negative = *text++ == L'-';
  long long value = 0;
  for (; *text >= L'0' && *text <= L'9'; ++text) {
    value = value * 10 + (*text - L'0');
    if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
  }
  if (negative) value = -value;
  return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

char* CUtil::readFileWithWcharContent(const char* path, std::size_t* size) {
  if (size != nullptr) *size = 0;
  if (path == nullptr) return nullptr;
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path, "rb"), &std::fclose);
  if (!file) return nullptr;
  // Read in rounds until the end, so that a file that grows or shrinks meanwhile (or has no
  // size, like a pipe) is read exactly as far as it goes.
  std::vector<char> content;
  char chunk[65536];
  for (;;) {
    const std::size_t got = std::fread(chunk, 1, sizeof chunk, file.get());
    content.insert(content.end(), chunk, chunk + got);
    if (got < sizeof chunk) break;
  }
  if (std::ferror(file.get())) return nullptr;
  constexpr std::size_t kTerminator = sizeof(wchar_t);
  auto* buffer = static_cast<char*>(std::malloc(content.size() + kTerminator));
  if (buffer == nullptr) return nullptr;
  if (!content.empty()) std::memcpy(buffer, content.data(), content.size());
  std::memset(buffer + content.size(), 0, kTerminator);
  if (size != nullptr) *size = content.size();
  return buffer;
}

bool CUtil::AllocMemory(wchar_t*** array, int rows, int columns) {
  if (array == nullptr) return false;
  *array = nullptr;
  if (rows <= 0 || columns <= 0) return false;
  auto** made = static_cast<wchar_t**>(std::calloc(rows, sizeof(wchar_t*)));
  if (made == nullptr) return false;
  for (int i = 0; i < rows; ++i) {
    made[i] = static_cast<wchar_t*>(std::calloc(columns, sizeof(wchar_t)));
    if (made[i] == nullptr) {
      deallocTwoDimenArray(made, i);
      return false;
    }
  }
  *array = made;
  return true;
}

std::string CUtil::narrow(const std::wstring& text) {
  std::string out;
  out.reserve(text.size());
  for (const wchar_t c : text) AppendUTF8(out, static_cast<char32_t>(c));
  return out;
}

std::wstring CUtil::widen(const std::string& text) {
  const auto points = DecodeUTF8(text);
  return std::wstring(points.begin(), points.end());
}

std::string CUtil::__replace(const std::string& text, const std::string& from,
                             const std::string& to) {
  if (from.empty()) return text;
  std::string out;
  std::size_t at = 0;
  for (auto hit = text.find(from); hit != std::string::npos; hit = text.find(from, at)) {
    out.append(text, at, hit - at).append(to);
    at = hit + from.size();
  }
  return out.append(text, at, std::string::npos);
}

std::wstring CUtil::__replaceW(const std::wstring& text, const std::wstring& from,
                               const std::wstring& to) {
  if (from.empty()) return text;
  std::wstring out;
  std::size_t at = 0;
  for (auto hit = text.find(from); hit != std::wstring::npos; hit = text.find(from, at)) {
    out.append(text, at, hit - at).append(to);
    at = hit + from.size();
  }
  return out.append(text, at, std::wstring::npos);
}

std::string CUtil::GenerateRandomID() {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::random_device source;
  std::string id;
  for (int word = 0; word < 4; ++word) {
    unsigned value = source();
    for (int i = 0; i < 8; ++i, value >>= 4) id += kDigits[value & 0xF];
  }
  return id;
}
