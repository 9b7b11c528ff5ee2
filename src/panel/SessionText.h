// SessionText: the conversions the session data makes between its wide texts and the UTF-8 of
// print settings and preference lists, each with a byte limit that never splits a character.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quill {

// `text` cut to at most `maxBytes` bytes, never in the middle of a UTF-8 character.
[[nodiscard]] std::string CutUTF8(std::string_view text, std::size_t maxBytes);
// UTF-8 to wide text; bytes that start no valid sequence become U+FFFD.
[[nodiscard]] std::wstring WidenUTF8(std::string_view text);
// Wide text to UTF-8 of at most `maxBytes` bytes, whole characters only; a value that is no
// Unicode character becomes U+FFFD.
[[nodiscard]] std::string NarrowToUTF8(std::wstring_view text, std::size_t maxBytes);

}  // namespace quill
