// PPDDataBlockWriter: storing a named data block in a queue's PPD file, the counterpart of
// ppdxReadData.
//
// A block named N holding some data is written as the PPD attribute lines
//
//   *N0000: "<Base64 of bytes 0..157 of the zlib stream>"
//   *N0001: "<Base64 of bytes 158..315>"
//   ...
//   *N000k: ""
//
// where the stream is the data deflated at level 9 (zlib format), each chunk is at most 158 bytes
// in standard Base64 with "=" padding, the chunk number is "%04x", and the empty attribute after
// the last chunk ends the block. Empty data gives the end attribute alone.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// Rewrites the PPD file at `ppdPath` in place so that block `name` (full attribute prefix, e.g.
// "KRPopupJnData") holds `data`: every existing attribute line of the block is removed and the new
// chunk lines plus the empty end attribute are written, under an exclusive lock on the file, so
// that two writers arriving together both land. 0 on success; -1 for bad arguments or data over
// 16,777,216 bytes; -2 when the file cannot be opened, locked, read or written (errno kept).
int ppdxWriteData(const char* ppdPath, const char* name, const void* data, size_t size);

namespace quill {

// Largest amount of data a block holds before compression.
inline constexpr std::size_t kMaxDataBlockSize = 16777216;
// Longest attribute name a PPD keyword may have (libcups refuses a file with a longer one).
inline constexpr std::size_t kMaxPPDAttributeName = 40;
// Bytes of the zlib stream carried by one attribute.
inline constexpr std::size_t kDataBlockChunkSize = 158;

// True when `name` can name a block: non-empty, printable ASCII without blanks, ':', '/' or '"',
// and short enough that the name and four hexadecimal digits fit a PPD attribute name.
[[nodiscard]] bool IsValidDataBlockName(std::string_view name);

// The attribute lines of block `name` holding `size` bytes of `data` (format above), each ended by
// a line feed. Nothing when the name is not valid, when `data` is null and `size` is not 0, when
// `size` exceeds kMaxDataBlockSize, when the chunk numbers would make an attribute name longer
// than kMaxPPDAttributeName, or when zlib fails.
[[nodiscard]] std::optional<std::string> BuildDataBlockLines(std::string_view name,
                                                             const void* data, std::size_t size);

// `ppdText` with every attribute line of block `name` removed and `blockLines` put in their place
// (where the first of them stood; when there was none, before a closing "*% End of" comment at
// the end of the file, else at the end). An attribute of the block is a main keyword made of
// `name` and a chunk number as "%04x" writes it, compared ignoring case as libcups does; a value
// that goes on over several lines is removed whole. Numbers of more than four digits are taken as
// the block's only when its chunk ffff is present (else they belong to a block whose name ends in
// a hex digit).
[[nodiscard]] std::string ReplaceDataBlockLines(std::string_view ppdText, std::string_view name,
                                                std::string_view blockLines);

}  // namespace quill
