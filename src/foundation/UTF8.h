// UTF8: the few UTF-8 steps the system does by hand, between code points and UTF-8 bytes.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// Appends the UTF-8 bytes of `c`; a value that is no Unicode scalar value (a surrogate, or above
// U+10FFFF) is written as U+FFFD.
void AppendUTF8(std::string& out, char32_t c);

// The code points of UTF-8 text; a byte that starts no valid sequence gives U+FFFD and decoding
// goes on at the next byte.
std::vector<char32_t> DecodeUTF8(std::string_view text);
