// SDMText: the text steps between the panel's 8-bit (UTF-8) text and the module's wide text, and
// the bounded copies into fixed-size fields. A cut never splits a UTF-8 character; every cut is
// logged.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quill {

// UTF-8 to wide text (invalid bytes become U+FFFD).
[[nodiscard]] std::wstring WideFromUTF8(std::string_view text);
// Wide text to UTF-8 (a value that is no Unicode scalar value becomes U+FFFD).
[[nodiscard]] std::string UTF8FromWide(std::wstring_view text);

// The longest prefix of `text` of at most `maxBytes` bytes that ends on a character boundary.
[[nodiscard]] std::size_t UTF8PrefixLength(std::string_view text, std::size_t maxBytes);

// Copies `text` into the field `out` of `size` bytes (size >= 1) with a terminating NUL, cut at
// a character boundary to size - 1 bytes. When a cut was needed, logs "<what>: ... cut" and
// returns false; true when everything fitted. A null `out` or size 0 copies nothing (false).
bool CopyToField(char* out, std::size_t size, std::string_view text, const char* what);

// The text of a zero-terminated field of `size` bytes (stops at the size when no NUL is found).
[[nodiscard]] std::string_view FieldText(const char* field, std::size_t size);

// Length of zero-terminated wide text read from outside, looking at most `limit` characters; a
// null pointer has length 0.
[[nodiscard]] std::size_t BoundedWideLength(const wchar_t* text, std::size_t limit);

}  // namespace quill
