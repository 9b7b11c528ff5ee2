#include "ppddata/PPDDataBlockWriter.h"

#include "ppddata/LockedPPDFile.h"

#include <cups/http.h>
#include <zlib.h>

#include <cerrno>
#include <cstdio>
#include <vector>

namespace quill {
namespace {

constexpr std::size_t kMinCounterDigits = 4;
// Base64 of a full chunk (212 characters) and its NUL.
constexpr int kEncodedChunkBuffer = 216;

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool IsHexDigit(char c) {
  c = Lower(c);
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

// Number of hex digits "%04x" writes for `counter`.
std::size_t CounterDigits(std::size_t counter) {
  std::size_t digits = 1;
  for (; counter >= 16; counter /= 16) ++digits;
  return digits < kMinCounterDigits ? kMinCounterDigits : digits;
}

// True when `line` is a main keyword line of block `name`: "*" + name + a counter as "%04x"
// writes one, then ':', a blank or '/'. Counters of more than four digits (no leading zero) count
// only when `long_counters` is set: only a block that reached chunk ffff has them, and otherwise
// "*KRBlock20000" is chunk 0 of block "KRBlock2", not chunk 0x20000 of "KRBlock".
bool IsBlockLine(std::string_view line, std::string_view name, bool long_counters) {
  if (line.size() < 1 + name.size() + kMinCounterDigits + 1 || line[0] != '*') return false;
  if (!EqualsIgnoringCase(line.substr(1, name.size()), name)) return false;
  std::size_t at = 1 + name.size();
  std::size_t digits = 0;
  while (at + digits < line.size() && IsHexDigit(line[at + digits])) ++digits;
  if (digits < kMinCounterDigits) return false;
  if (digits > kMinCounterDigits && (!long_counters || line[at] == '0')) return false;
  if (at + digits >= line.size()) return false;
  char next = line[at + digits];
  return next == ':' || next == ' ' || next == '\t' || next == '/';
}

// True when the quoted value that starts on `line` (after its ':') is not closed on that line.
bool OpensMultiLineValue(std::string_view line) {
  std::size_t colon = line.find(':');
  if (colon == std::string_view::npos) return false;
  std::size_t quote = line.find('"', colon + 1);
  if (quote == std::string_view::npos) return false;
  return line.find('"', quote + 1) == std::string_view::npos;
}

struct Line {
  std::size_t begin;  // first character
  std::size_t end;    // after the line end ("\n", "\r\n" or "\r"), or the end of the text
  std::string_view text;  // without the line end
};

std::vector<Line> SplitLines(std::string_view text) {
  std::vector<Line> lines;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t stop = text.find_first_of("\r\n", at);
    std::size_t next;
    if (stop == std::string_view::npos) {
      stop = next = text.size();
    } else {
      next = stop + 1;
      if (text[stop] == '\r' && next < text.size() && text[next] == '\n') ++next;
    }
    lines.push_back({at, next, text.substr(at, stop - at)});
    at = next;
  }
  return lines;
}

bool IsEndComment(std::string_view line) { return line.substr(0, 9) == "*% End of"; }

}  // namespace

bool IsValidDataBlockName(std::string_view name) {
  if (name.empty() || name.size() + kMinCounterDigits > kMaxPPDAttributeName) return false;
  for (char c : name) {
    if (c <= ' ' || c > '~' || c == ':' || c == '/' || c == '"') return false;
  }
  return true;
}

std::optional<std::string> BuildDataBlockLines(std::string_view name, const void* data,
                                               std::size_t size) {
  if (!IsValidDataBlockName(name)) return std::nullopt;
  if ((data == nullptr && size != 0) || size > kMaxDataBlockSize) return std::nullopt;

  std::vector<unsigned char> stream;
  if (size > 0) {
    uLongf stream_size = compressBound(static_cast<uLong>(size));
    stream.resize(stream_size);
    if (compress2(stream.data(), &stream_size, static_cast<const Bytef*>(data),
                  static_cast<uLong>(size), 9) != Z_OK) {
      return std::nullopt;
    }
    stream.resize(stream_size);
  }
  std::size_t chunks = (stream.size() + kDataBlockChunkSize - 1) / kDataBlockChunkSize;
  // The end attribute carries the highest number.
  if (name.size() + CounterDigits(chunks) > kMaxPPDAttributeName) return std::nullopt;

  std::string lines;
  lines.reserve(chunks * (name.size() + 8 + 4 * kDataBlockChunkSize / 3 + 8) + name.size() + 16);
  const std::string prefix = "*" + std::string(name);
  char counter[24];
  char encoded[kEncodedChunkBuffer];
  for (std::size_t k = 0; k < chunks; ++k) {
    std::size_t offset = k * kDataBlockChunkSize;
    std::size_t piece = std::min(kDataBlockChunkSize, stream.size() - offset);
    httpEncode64_2(encoded, static_cast<int>(sizeof encoded),
                   reinterpret_cast<const char*>(stream.data() + offset), static_cast<int>(piece));
    std::snprintf(counter, sizeof counter, "%04zx", k);
    lines += prefix;
    lines += counter;
    lines += ": \"";
    lines += encoded;
    lines += "\"\n";
  }
  std::snprintf(counter, sizeof counter, "%04zx", chunks);
  lines += prefix;
  lines += counter;
  lines += ": \"\"\n";
  return lines;
}

std::string ReplaceDataBlockLines(std::string_view ppdText, std::string_view name,
                                  std::string_view blockLines) {
  std::vector<Line> lines = SplitLines(ppdText);
  bool long_counters = false;
  for (const Line& line : lines) {
    std::string_view text = line.text;
    if (IsBlockLine(text, name, false) &&
        EqualsIgnoringCase(text.substr(1 + name.size(), kMinCounterDigits), "ffff")) {
      long_counters = true;
      break;
    }
  }
  std::string out;
  out.reserve(ppdText.size() + blockLines.size());
  bool placed = false;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (!IsBlockLine(lines[i].text, name, long_counters)) {
      out.append(ppdText.substr(lines[i].begin, lines[i].end - lines[i].begin));
      continue;
    }
    if (!placed) {
      out.append(blockLines);
      placed = true;
    }
    if (OpensMultiLineValue(lines[i].text)) {
      while (i + 1 < lines.size() && lines[i + 1].text.find('"') == std::string_view::npos) ++i;
      if (i + 1 < lines.size()) ++i;  // the line that closes the value
    }
  }
  if (placed) return out;

  // No old lines: before a closing "*% End of ..." comment (trailing blank lines aside), else at
  // the end.
  std::size_t last = lines.size();
  while (last > 0 && lines[last - 1].text.find_first_not_of(" \t") == std::string_view::npos) {
    --last;
  }
  if (last > 0 && IsEndComment(lines[last - 1].text)) {
    std::size_t at = lines[last - 1].begin;
    out.assign(ppdText.substr(0, at));
    out.append(blockLines);
    out.append(ppdText.substr(at));
    return out;
  }
  if (!out.empty() && out.back() != '\n' && out.back() != '\r') out += '\n';
  out.append(blockLines);
  return out;
}

}  // namespace quill

int ppdxWriteData(const char* ppdPath, const char* name, const void* data, size_t size) {
  if (ppdPath == nullptr || *ppdPath == '\0' || name == nullptr) {
    errno = EINVAL;
    return -1;
  }
  if (size > quill::kMaxDataBlockSize) {
    errno = EFBIG;
    return -1;
  }
  std::optional<std::string> block = quill::BuildDataBlockLines(name, data, size);
  if (!block) {
    errno = EINVAL;
    return -1;
  }

  // Rewritten in place so that the file keeps its owner and mode (the spooler's PPD folder does
  // not let the filter create files), under a lock that makes a second writer wait and then read
  // the first one's result.
  quill::LockedPPDFile file(ppdPath);
  if (!file.ok()) return -2;
  std::string text;
  if (!file.Read(text)) return -2;
  if (!file.Replace(quill::ReplaceDataBlockLines(text, name, *block))) return -2;
  return 0;
}
