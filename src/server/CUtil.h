// CUtil: the wide-text helpers that read the administrator's device-management document (the
// XML kept with a queue's PPD that sets defaults for options, locks them or hides them) and the
// small text, array and file helpers the module bridge shares with them.
//
// The document is read by lines, the way administrators' tools write it: the category element
// <Category name="UI-Modification"> holds the sections <Controls> (defaults), <Lock> and <Show>;
// each option is one line with <KRTPPD key="..." default="..."/> (or value="..."). The line rules
// decide which text is a key and which a value; the XML parser (pugixml) then decodes the entity
// and character references in them ("&amp;", "&#x20AC;"), so that what the administrator wrote is
// what the panel sees.
//
// Arrays and strings documented as "released with free" are malloc'd; everything else is owned by
// the caller's containers.
#pragma once

#include <cstddef>
#include <map>
#include <string>

// Parsed form of one section: wide key (the option's main keyword without its asterisk) to wide
// value, ordered by key. When a key occurs twice, the first occurrence wins.
using DMTKeyValueMap = std::map<std::wstring, std::wstring>;

class CUtil {
 public:
  // The category element and section tags of the document.
  static constexpr const wchar_t* kCategoryStart = L"<Category name=\"UI-Modification\">";
  static constexpr const wchar_t* kCategoryEnd = L"</Category>";

  // Finds the first `startTag` and the first `endTag` of `text` (both searched from the start).
  // False, with `out` unchanged, when either is missing or the end tag comes before the start
  // tag; otherwise `out` receives the text from the start tag (included) up to the end tag
  // (excluded).
  [[nodiscard]] static bool GetNodeDataFromXMLData(const std::wstring& startTag,
                                                   const std::wstring& endTag,
                                                   const std::wstring& text, std::wstring& out);

  // The text after the first `opener` up to the next `closer` after it. False, with `out`
  // unchanged, when either is missing. The two are the same search; both names are kept for
  // their callers.
  [[nodiscard]] static bool GetKeyFromXMLData(const std::wstring& opener,
                                              const std::wstring& closer,
                                              const std::wstring& text, std::wstring& out);
  [[nodiscard]] static bool GetValueFromXMLData(const std::wstring& opener,
                                                const std::wstring& closer,
                                                const std::wstring& text, std::wstring& out);

  // The text from `position` up to the next `separator`; `next` receives the position after the
  // separator, or -1 when the line runs to the end of the text. False (line empty, next -1) when
  // `position` is negative or beyond the text, or the separator is empty.
  [[nodiscard]] static bool GetNextLineFromXMLData(long position, const std::wstring& separator,
                                                   const std::wstring& text, std::wstring& line,
                                                   long& next);

  // Fill `map` from the <Controls> (key to default), <Lock> and <Show> (key to value) sections of
  // the document, writing what they read to standard error. False when the category element or
  // the section is missing; lines without <KRTPPD or without key=" are skipped. Pairs already in
  // `map` stay.
  static bool GetControlKeyValFromDMTXmlData(const std::wstring& text, DMTKeyValueMap& map);
  static bool GetLockedKeyValFromDMTXmlData(const std::wstring& text, DMTKeyValueMap& map);
  static bool GetHiddenKeyValFromDMTXmlData(const std::wstring& text, DMTKeyValueMap& map);

  // Decodes the XML entity and character references of an attribute's raw text. A text that the
  // parser cannot read (an unknown entity stays as written) is returned as it is.
  [[nodiscard]] static std::wstring DecodeXMLText(const std::wstring& raw);

  // The first token of `text` (split at any character of `separators`, empty tokens skipped)
  // that contains `key`; a new string released with free, or null when none does or an argument
  // is null.
  [[nodiscard]] static wchar_t* findLineWithKey(const wchar_t* key, const wchar_t* text,
                                                const wchar_t* separators);

  // Splits `text` at any character of `separators` (empty tokens skipped). The first token is a
  // decimal count; null (count 0) when it is below 1 or missing. Otherwise the following tokens,
  // at most count of them, are copied into a new array (release with deallocTwoDimenArray) and
  // *count receives the number copied, which may be 0.
  [[nodiscard]] static wchar_t** tockenizeWstring(int* count, const wchar_t* text,
                                                  const wchar_t* separators);
  // Release an array of `count` malloc'd strings and the array itself; null does nothing.
  static void deallocTwoDimenArray(wchar_t** array, int count);
  static void deallocateArrayOfStrings(int count, wchar_t** array);

  // Decimal value of the leading digits after optional blanks and a sign, as atoi reads them;
  // values beyond the int range are clamped to it. 0 for null.
  [[nodiscard]] static int wtoi(const wchar_t* text);

  // The whole file at `path` read byte for byte, followed by four zero bytes (so that a file of
  // wide characters reads as a terminated wide string); *size (when given) receives the number
  // of bytes read. Null when `path` is null, the file cannot be opened or read, or memory runs
  // out. Released with free.
  [[nodiscard]] static char* readFileWithWcharContent(const char* path, std::size_t* size = nullptr);

  // Sets *array to `rows` zeroed wide buffers of `columns` characters each (release with
  // deallocTwoDimenArray). False, with *array null, for null, non-positive sizes or no memory.
  static bool AllocMemory(wchar_t*** array, int rows, int columns);

  // UTF-8 of a wide text; UTF-8 text widened to code points (invalid bytes give U+FFFD).
  [[nodiscard]] static std::string narrow(const std::wstring& text);
  [[nodiscard]] static std::wstring widen(const std::string& text);

  // A copy of `text` with every occurrence of `from` replaced by `to`; an empty `from` replaces
  // nothing.
  [[nodiscard]] static std::string __replace(const std::string& text, const std::string& from,
                                             const std::string& to);
  [[nodiscard]] static std::wstring __replaceW(const std::wstring& text, const std::wstring& from,
                                               const std::wstring& to);

  // 32 random upper-case hexadecimal digits.
  [[nodiscard]] static std::string GenerateRandomID();
};
