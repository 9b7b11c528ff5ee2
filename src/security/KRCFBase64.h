// The Base64 conversions between byte data and text that presets and the pass-phrase cipher use.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Standard Base64 of data with "=" padding, one line; empty data gives the empty string.
std::string KRCFBase64CreateEncodedString(const std::vector<uint8_t>& data);

// The bytes of a Base64 text. A text of fewer than 4 characters gives no bytes. One or two
// trailing "=" are dropped; every 4 characters of the rest give 3 bytes and a final 2 or 3 give 1
// or 2 (a final single character gives none). Characters are not checked: one outside the
// alphabet counts as "A".
std::vector<uint8_t> KRCFBase64CreateDecodedData(std::string_view text);
