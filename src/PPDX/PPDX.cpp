#include "PPDX/PPDX.h"

#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "PPDX/ByteScan.h"
#include "PPDX/PPDFile.h"
#include "PPDX/PPDStream.h"
#include "TextConverter/TextConverter.h"
#include "foundation/BoyerMoore.h"
#include "platform/TextEncoding.h"

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t'; }

// The bytes that stop NextToken's scan: the delimiters and the two line-end bytes.
struct StopSet {
  ByteSet bytes;
  bool crIsDelimiter = false;
};

constexpr StopSet MakeStopSet(const char* delimiters) {
  StopSet set;
  const std::string_view text(delimiters);
  set.bytes.Add(text);
  set.bytes.Add("\n\r");
  for (const char c : text) set.crIsDelimiter = set.crIsDelimiter || c == '\r';
  return set;
}

// The sets of the shared delimiter strings are made once; any other string gets its own.
constexpr StopSet kMainStops = MakeStopSet(kMainKeywordDelimiters);
constexpr StopSet kOptionStops = MakeStopSet(kOptionKeywordDelimiters);
constexpr StopSet kTranslationStops = MakeStopSet(kTranslationStringDelimiters);
constexpr StopSet kFlagStops = MakeStopSet(kFlagKeywordDelimiters);
constexpr StopSet kEndOfLineStops = MakeStopSet(kEndofLineDelimiters);
constexpr StopSet kRangeStops = MakeStopSet(kRangeStringDelimiters);
constexpr StopSet kConstraintStops = MakeStopSet(kConstraintDelimiters);
// Any other delimiter string: its set is made on each call, out of the common path.
[[gnu::noinline]] const StopSet& OtherStopSet(const char* delimiters) {
  thread_local StopSet other_stops;
  other_stops = MakeStopSet(delimiters);
  return other_stops;
}

inline const StopSet& StopSetFor(const char* delimiters) {
  if (delimiters == kMainKeywordDelimiters) return kMainStops;
  if (delimiters == kTranslationStringDelimiters) return kTranslationStops;
  if (delimiters == kConstraintDelimiters) return kConstraintStops;
  if (delimiters == kOptionKeywordDelimiters) return kOptionStops;
  if (delimiters == kFlagKeywordDelimiters) return kFlagStops;
  if (delimiters == kEndofLineDelimiters) return kEndOfLineStops;
  if (delimiters == kRangeStringDelimiters) return kRangeStops;
  return OtherStopSet(delimiters);
}

constexpr ByteSet kQuote(std::string_view("\""));
// The bytes that end the first line of a quoted value.
constexpr ByteSet kValueLineStops(std::string_view("\"\n\r"));

// Reads the next line of a value that continues past its first line: skips empty lines and
// answers false when the file has no further line. A line that GetLine cuts (at 255 bytes or at
// the end of the file) still counts as a line.
bool next_value_line(PPDStream* file_stream, char* line) {
  if (file_stream == nullptr) return false;
  for (;;) {
    const bool complete = file_stream->ReadLine(line);
    if (line[0] != '\0') return true;
    if (!complete) return false;
  }
}

}  // namespace

PPDX::PPDX() : errors_(std::make_unique<PPDXErrors>()) {}

PPDX::PPDX(const std::string& path, const std::vector<std::string>* names)
    : file_(std::make_unique<PPDFile>(path)), errors_(std::make_unique<PPDXErrors>()) {
  if (names != nullptr) validPrinterName_ = ValidateFileName(path, names, file_.get());
}

PPDX::~PPDX() = default;

bool PPDX::Release() {
  if (retainCount_-- <= 1) {
    delete this;
    return true;
  }
  return false;
}

bool PPDX::IsValidPPD() const {
  if (!validHeader_) return false;
  if (errors_ == nullptr) return true;
  if (allErrorsFatal_ && !errors_->Empty()) return false;
  for (size_t i = 0; i < errors_->Count(); ++i) {
    if (errors_->At(i)->IsFatal()) return false;
  }
  return true;
}

unsigned int PPDX::GetStringTextEncoding() const {
  return textConverter_ ? textConverter_->GetOutputEncoding() : 0;
}

bool PPDX::NextToken(PPDStream& stream, char* out, char const* delimiters, bool strip) {
  const StopSet& stop_set = StopSetFor(delimiters);
  const bool cr_is_delimiter = stop_set.crIsDelimiter;

  const unsigned char* const start = stream.Current();
  const unsigned char* const end = stream.End();
  const unsigned char* p = start;
  // At most 255 bytes are stored; the token is the bytes before its terminator.
  const unsigned char* const limit =
      start == nullptr ? start : (end - start > 255 ? start + (kLineSizeLimit - 1) : end);
  bool ended_at_line_feed = false;
  bool reached_end = false;
  const unsigned char* token_end = nullptr;
  for (;;) {
    p = stop_set.bytes.Find(p, limit);
    if (p == limit) {
      // Out of room (the token ends) or out of data (one more read finds the end).
      reached_end = limit == end && limit - start < static_cast<long>(kLineSizeLimit - 1);
      token_end = p;
      break;
    }
    const unsigned char c = *p;
    const bool lf_follows = p + 1 < end && p[1] == '\n';
    if (c == '\r' && lf_follows && !cr_is_delimiter) {
      ++p;  // a CR before an LF is part of the token; the LF ends it below
      continue;
    }
    token_end = p++;  // the terminator is consumed, not stored
    ended_at_line_feed = c == '\n';
    break;
  }
  stream.Advance(p, reached_end);

  // The token is measured and stripped where it stands, then copied once.
  const unsigned char* first = start;
  const unsigned char* last = token_end;
  if (ended_at_line_feed && last > first && last[-1] == '\r') --last;
  if (last == first) {
    out[0] = '\0';
    return false;
  }
  if (strip) {
    // A NUL byte inside the token ends its text; blanks around the text are dropped.
    if (const void* nul = std::memchr(first, '\0', static_cast<size_t>(last - first))) {
      last = static_cast<const unsigned char*>(nul);
    }
    while (first < last && is_blank(static_cast<char>(*first))) ++first;
    while (last > first && is_blank(static_cast<char>(last[-1]))) --last;
  }
  const auto n = static_cast<size_t>(last - first);
  std::memmove(out, first, n);  // a caller may read a token back into the text it came from
  out[n] = '\0';
  return true;
}

void PPDX::StripLeadingWhiteSpace(char* text) {
  if (text == nullptr) return;
  size_t skip = 0;
  while (is_blank(text[skip])) ++skip;
  if (skip > 0) std::memmove(text, text + skip, std::strlen(text + skip) + 1);
}

void PPDX::StripTrailingWhiteSpace(char* text) {
  if (text == nullptr) return;
  size_t n = std::strlen(text);
  while (n > 0 && is_blank(text[n - 1])) text[--n] = '\0';
}

unsigned long PPDX::GetQuotedString(PPDStream& stream, char* out, unsigned long const& size) {
  if (out == nullptr || size == 0) return 0;
  out[0] = '\0';
  char c;
  do {
    if (!stream.GetChar(c)) return 0;
  } while (c != '"');

  unsigned long n = 0;
  bool closed = false;
  while (stream.GetChar(c)) {
    if (c == '"') {
      closed = true;
      break;
    }
    if (c == '\n' || c == '\r') break;
    out[n++] = c;
    if (n == size - 1) {
      out[n] = '\0';
      return n;
    }
  }
  if (closed) {
    out[n] = '\0';
    return n == 0 ? 0 : n + 1;
  }

  // The value goes on over the following lines. Each is stored behind a NUL, so the text seen
  // through the buffer is the first line; the rest is consumed.
  char line[kLineSizeLimit];
  for (;;) {
    if (!next_value_line(currentFileStream_, line)) return 0;
    if (line[0] == '*') {
      out[n] = '\0';
      return n + 1;
    }
    out[n++] = '\0';
    if (n == size - 1) {
      out[n] = '\0';
      return n;
    }
    for (const char* p = line; *p != '\0'; ++p) {
      if (*p == '"') {
        out[n] = '\0';
        return n + 1;
      }
      out[n++] = *p;
      if (n == size - 1) {
        out[n] = '\0';
        return n;
      }
    }
  }
}

unsigned long PPDX::GetPostscriptString(PPDStream& stream, char* out, unsigned long const& size) {
  if (out == nullptr || size == 0) return 0;
  // Everything up to the opening quote is passed over.
  const unsigned char* const end = stream.End();
  const unsigned char* const quote = kQuote.Find(stream.Current(), end);
  if (quote == end) {
    stream.Advance(end, true);
    return 0;
  }
  const unsigned char* const first = quote + 1;

  unsigned long n = 0;
  // Stores one byte; when the buffer is full its last byte becomes a line feed and the value ends.
  auto store = [&](char byte) {
    if (n == size - 1) {
      out[n++] = '\n';
      return false;
    }
    out[n++] = byte;
    return true;
  };

  // The first line of the value, up to the closing quote or the line end, is copied at once.
  const unsigned char* const stop = kValueLineStops.Find(first, end);
  const auto count = static_cast<unsigned long>(stop - first);
  if (count > size - 1) {
    // The buffer fills up: the byte that does not fit is consumed, and a line feed ends the value.
    std::memcpy(out, first, size - 1);
    out[size - 1] = '\n';
    stream.Advance(first + size, false);
    return size;
  }
  if (count > 0) std::memcpy(out, first, count);
  n = count;
  // The terminator is consumed; at the end of the data one more read finds the end.
  const bool closed = stop != end && *stop == '"';
  stream.Advance(stop == end ? end : stop + 1, stop == end);
  if (closed) {
    if (n == 0) return 0;
    store('\n');
    return n;
  }

  char line[kLineSizeLimit];
  for (;;) {
    if (!next_value_line(currentFileStream_, line)) {
      store('\n');
      return n;
    }
    const char* p = line;
    if (line[0] == '*') {
      if (line[1] != '%') {
        if (store('\n')) store('\n');
        return n;
      }
      p += 2;  // "*%" continues the code; the two bytes are dropped
    }
    if (!store('\n')) return n;
    for (; *p != '\0'; ++p) {
      if (*p == '"') {
        store('\n');
        return n;
      }
      if (!store(*p)) return n;
    }
  }
}

void PPDX::ParseMainKeyword(char const* text, char* out) {
  out[0] = '\0';
  if (text == nullptr) return;
  const char* slash = std::strchr(text, '/');
  if (slash == nullptr) return;
  const size_t length = std::min<size_t>(std::strlen(slash + 1), kLineSizeLimit - 1);
  std::memcpy(out, slash + 1, length);
  out[length] = '\0';
}

void PPDX::ParsePSKeywords(PPDStream& stream, char const* keyword) {
  if (keyword == nullptr) return;
  struct QuotedHeader {
    const char* keyword;
    std::optional<std::string> PPDX::*value;
  };
  static constexpr QuotedHeader kQuoted[] = {
      {"*PCFileName", &PPDX::pcFileName_},        {"*FormatVersion", &PPDX::formatVersion_},
      {"*FileVersion", &PPDX::fileVersion_},      {"*ModelName", &PPDX::modelName_},
      {"*APDialogExtension", &PPDX::pathToPDE_},
  };
  for (const auto& header : kQuoted) {
    if (std::strcmp(keyword, header.keyword) != 0) continue;
    char value[kLineSizeLimit];
    if (GetQuotedString(stream, value, kLineSizeLimit) > 0) this->*header.value = value;
    return;
  }

  const bool is_version = std::strcmp(keyword, "*LanguageVersion") == 0;
  const bool is_encoding = std::strcmp(keyword, "*LanguageEncoding") == 0;
  if (!is_version && !is_encoding) return;
  char value[kLineSizeLimit];
  if (!NextToken(stream, value, kEndofLineDelimiters, true)) return;
  (is_version ? languageVersion_ : languageEncoding_) = value;
  UpdateTextConverter();
}

void PPDX::UpdateTextConverter() {
  if (languageVersion_ && languageEncoding_) textConverter_ = MakeTextConverter(this);
}

std::unique_ptr<TextConverter> MakeTextConverter(const PPDX* ppd) {
  return MakeTextConverter(ppd, TextConverter::GetCurrentEncoding());
}

std::unique_ptr<TextConverter> MakeTextConverter(const PPDX* ppd, unsigned int output) {
  return std::make_unique<TextConverter>(ppd ? ppd->LanguageVersion() : nullptr,
                                         ppd ? ppd->LanguageEncoding() : nullptr, output);
}

unsigned int GetPPDEncoding(const PPDX* ppd) {
  return TextConverter::LanguageStringToEncoding(ppd ? ppd->LanguageEncoding() : nullptr);
}

bool PPDX::ValidateFileName(const std::string& path, const std::vector<std::string>* names,
                            PPDFile* file) {
  if (names == nullptr) return true;
  if (file != nullptr) return ValidateAgainstPCFilename(*names, file);
  PPDFile temporary(path);
  return ValidateAgainstPCFilename(*names, &temporary);
}

bool PPDX::ValidateAgainstPCFilename(const std::vector<std::string>& names, PPDFile* file) {
  if (file == nullptr) return false;
  if (!file->dataForkOpen() && file->openDataFork(fsRdPerm) != noErr) return false;

  // Accepted names as the file spells them: Mac Roman bytes.
  std::vector<std::string> wanted;
  for (const auto& name : names) {
    auto mac = quill::TextEncoding::Convert(name, quill::kEncodingUTF8, quill::kEncodingMacRoman);
    if (mac && !mac->empty()) wanted.push_back(std::move(*mac));
  }

  constexpr unsigned long kBlockSize = 4096;
  constexpr long kWindowSize = 32;
  static constexpr char kKeyword[] = "*PCFileName";
  std::vector<char> block(kBlockSize);
  BoyerMoore searcher;
  bool accepted = false;
  for (long long offset = 0; !accepted; offset += kBlockSize) {
    unsigned long count = kBlockSize;
    const OSErr err = file->dataForkReadWithOffset(block.data(), &count, offset);
    // The last block of the file is short; it is searched too, then the search ends.
    if ((err != noErr && err != eofErr) || count == 0) break;

    searcher.SetSearchString(kKeyword, static_cast<short>(sizeof kKeyword - 1));
    searcher.SetSearchData(block.data(), static_cast<long>(count));
    const long found = searcher.Search();
    if (found >= 0) {
      long at = found + static_cast<long>(sizeof kKeyword - 1) + 1;  // keyword and its colon
      while (at < static_cast<long>(count) && is_blank(block[at])) ++at;
      const long window = std::max(0L, std::min(kWindowSize, static_cast<long>(count) - at));
      for (const auto& name : wanted) {
        if (window == 0 || name.size() > 255) continue;
        searcher.SetSearchString(name.c_str(), static_cast<short>(name.size()));
        searcher.SetSearchData(block.data() + at, window);
        if (searcher.Search() >= 0) {
          accepted = true;
          break;
        }
      }
    }
    if (err == eofErr) break;
  }
  file->closeDataFork();
  return accepted;
}
