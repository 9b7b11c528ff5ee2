// RecordBase64: the Base64 decoder of two-way data records.
//
// It reads a record value exactly as the spooler's records have always been read: characters
// outside the Base64 alphabet are skipped, the first "=" or NUL byte ends the text, every byte completed by the
// characters read is kept (an unfinished last byte is dropped) and at most `limit` bytes are kept.
// Whole groups of four alphabet characters go through a table four at a time, so a record of
// 211 characters costs about 53 table steps.
#pragma once

#include <cstddef>

namespace quill {

// Decodes `size` characters at `text` into `out` (room for `limit` bytes) and returns the number
// of bytes written, at most `limit`. Never fails: a text without alphabet characters gives 0.
[[nodiscard]] std::size_t DecodeRecordBase64(const char* text, std::size_t size, unsigned char* out,
                                             std::size_t limit);

}  // namespace quill
