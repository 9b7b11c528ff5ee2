#include "server/CFileHdlr.h"

#include <cups/http.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <sstream>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "ppddata/ChunkInflater.h"
#include "server/RecordBase64.h"

namespace {

constexpr unsigned long kMaxPayload = 16777216;
constexpr std::size_t kChunkSize = 158;
constexpr std::size_t kLineBufferSize = 256;    // a record line is at most 255 characters
constexpr std::size_t kBase64BufferSize = 212;  // 211 characters and the NUL
constexpr std::size_t kBlockLimit = 1022;       // a block stays below this many bytes
constexpr std::size_t kLookupLimit = 40;        // name and counter as a reader looks them up
constexpr std::size_t kMaxValue = 255;          // longest record value a reader uses
constexpr int kDecodeLimit = 159;               // a record decodes to at most 158 bytes
constexpr std::size_t kMaxCounterDigits = 8;    // "%04x" of a 32-bit counter

void Emit(const std::string& block, std::string* out) {
  std::fwrite(block.data(), 1, block.size(), stderr);
  out->append(block);
}

bool IsLowerHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); }

std::string Counter(unsigned counter) {
  char digits[16];
  std::snprintf(digits, sizeof digits, "%04x", counter);
  return digits;
}

// Finds the records of one section in a text, reading the text once.
//
// Record k is the first line that contains the lookup text L(k) = (name + "%04x" of k) cut to 40
// characters. Lines are indexed lazily, in order: for every place where the (cut) name occurs,
// each counter text that can follow it there is remembered with the first place it occurs. A
// lookup answers from what is indexed and indexes further lines only while it has no answer, so
// the whole text is read at most once however many records there are.
class RecordIndex {
 public:
  RecordIndex(std::string_view text, const char* name)
      : text_(text),
        name_(name, std::min(std::strlen(name), kLookupLimit)),
        digit_budget_(kLookupLimit - name_.size()) {}

  // The value of record `counter` (at most 255 characters), or "" when no line holds it. A record
  // place that was used already also answers "": that only happens when cutting the lookup text
  // makes two counters look the same (names over 32 characters), and feeding the same value again
  // adds nothing but garbage, for up to millions of rounds with a crafted text.
  std::string_view Value(unsigned counter) {
    std::string digits = Counter(counter).substr(0, digit_budget_);
    for (;;) {
      if (auto it = first_.find(digits); it != first_.end()) {
        Place& place = it->second;
        if (place.used) return {};
        place.used = true;
        if (place.value_start >= place.line_end) return {};
        return text_.substr(place.value_start,
                            std::min(kMaxValue, place.line_end - place.value_start));
      }
      if (!IndexNextLine()) return {};
    }
  }

 private:
  struct Place {
    std::size_t value_start;  // two characters after the end of the lookup text
    std::size_t line_end;
    bool used;
  };

  // Indexes the next line (ended by "\n", "\r" or "\r\n", as safeGetline_ reads them).
  bool IndexNextLine() {
    if (next_ >= text_.size()) return false;
    std::size_t begin = next_;
    std::size_t end = text_.find_first_of("\r\n", begin);
    if (end == std::string_view::npos) {
      end = text_.size();
      next_ = end;
    } else {
      next_ = end + 1;
      if (text_[end] == '\r' && next_ < text_.size() && text_[next_] == '\n') ++next_;
    }
    std::string_view line = text_.substr(begin, end - begin);
    for (std::size_t at = line.find(name_); at != std::string_view::npos;
         at = line.find(name_, at + 1)) {
      IndexPlace(begin, line, at);
    }
    return true;
  }

  // Remembers every counter text that may follow the name found at `at` in `line`.
  void IndexPlace(std::size_t line_begin, std::string_view line, std::size_t at) {
    std::size_t digits_at = at + name_.size();
    std::size_t run = 0;
    std::size_t run_limit = std::min(kMaxCounterDigits, digit_budget_);
    while (run < run_limit && digits_at + run < line.size() &&
           IsLowerHexDigit(line[digits_at + run])) {
      ++run;
    }
    // Counter texts have 4 to 8 digits, fewer when the budget cuts them.
    for (std::size_t width = 4; width <= kMaxCounterDigits; ++width) {
      std::size_t taken = std::min(width, digit_budget_);
      if (taken > run) break;
      std::string digits(line.substr(digits_at, taken));
      first_.try_emplace(std::move(digits), Place{line_begin + digits_at + taken + 2,
                                                  line_begin + line.size(), false});
      if (taken < width) break;  // every wider counter is cut to the same text
    }
  }

  std::string_view text_;
  std::string_view name_;
  std::size_t digit_budget_;
  std::size_t next_ = 0;
  std::unordered_map<std::string, Place> first_;
};

// The records of one section for names of 1 to 32 characters without line ends: the usual case,
// read with one forward search over the text.
//
// With such a name the lookup text is never cut, and the counter texts are "%04x" forms, so the
// digits after an occurrence of the name stand for at most one counter per width: 4 digits, or
// 5 to 8 digits without a leading "0". Occurrences are found in text order, which is line order,
// so the first place stored for a counter is the first line that contains its lookup text. Places
// are kept in a table indexed by counter (a map holds the rare counters beyond it); every counter
// is asked for once, in order, so no place is ever used twice.
class SectionRecords {
 public:
  // True when `name` can be read this way.
  static bool Handles(std::string_view name) {
    return !name.empty() && name.size() + kMaxCounterDigits <= kLookupLimit &&
           name.find_first_of("\r\n") == std::string_view::npos;
  }

  SectionRecords(std::string_view text, std::string_view name) : text_(text), name_(name) {}

  // The value of record `counter` (at most 255 characters), or "" when no line holds it.
  std::string_view Value(unsigned counter) {
    for (;;) {
      if (const Place* place = Find(counter); place != nullptr) {
        if (place->value_start >= place->line_end) return {};
        return text_.substr(place->value_start,
                            std::min(kMaxValue, place->line_end - place->value_start));
      }
      if (!IndexNextOccurrence()) return {};
    }
  }

 private:
  struct Place {
    std::size_t value_start = 0;  // two characters after the counter; 0 while unset
    std::size_t line_end = 0;
  };
  static constexpr std::size_t kDenseCounters = std::size_t{1} << 18;

  const Place* Find(unsigned counter) const {
    if (counter < dense_.size()) {
      return dense_[counter].value_start != 0 ? &dense_[counter] : nullptr;
    }
    if (counter < kDenseCounters) return nullptr;
    auto it = sparse_.find(counter);
    return it != sparse_.end() ? &it->second : nullptr;
  }

  void Remember(std::uint32_t counter, Place place) {
    if (counter < kDenseCounters) {
      if (counter >= dense_.size()) {
        dense_.resize(std::min(kDenseCounters, std::max<std::size_t>(counter + 1,
                                                                     dense_.size() * 2)));
      }
      if (dense_[counter].value_start == 0) dense_[counter] = place;
    } else {
      sparse_.try_emplace(counter, place);
    }
  }

  // Finds the next occurrence of the name and remembers the counters that follow it.
  bool IndexNextOccurrence() {
    const char first = name_.front();
    while (next_ < text_.size()) {
      const char* start = text_.data() + next_;
      const auto* hit =
          static_cast<const char*>(std::memchr(start, first, text_.size() - next_));
      if (hit == nullptr) break;
      std::size_t at = static_cast<std::size_t>(hit - text_.data());
      next_ = at + 1;
      // Most hits of the first character are in Base64 text; the second one sends them away
      // without a call.
      if (text_.size() - at < name_.size() || (name_.size() > 1 && hit[1] != name_[1]) ||
          std::memcmp(hit + 1, name_.data() + 1, name_.size() - 1) != 0) {
        continue;
      }
      // The name has no line ends, so it lies inside the line that holds `at`.
      if (at >= line_end_) line_end_ = LineEnd(at);
      IndexCounters(at + name_.size());
      return true;
    }
    next_ = text_.size();
    return false;
  }

  // The end of the line that holds `at`: its first "\r" or "\n", or the end of the text.
  std::size_t LineEnd(std::size_t at) const {
    const char* begin = text_.data() + at;
    std::size_t rest = text_.size() - at;
    const auto* lf = static_cast<const char*>(std::memchr(begin, '\n', rest));
    std::size_t span = lf != nullptr ? static_cast<std::size_t>(lf - begin) : rest;
    const auto* cr = static_cast<const char*>(std::memchr(begin, '\r', span));
    if (cr != nullptr) span = static_cast<std::size_t>(cr - begin);
    return at + span;
  }

  void IndexCounters(std::size_t digits_at) {
    std::uint32_t value = 0;
    for (std::size_t width = 1; width <= kMaxCounterDigits; ++width) {
      std::size_t at = digits_at + width - 1;
      if (at >= line_end_ || !IsLowerHexDigit(text_[at])) break;
      char c = text_[at];
      value = value << 4 | static_cast<std::uint32_t>(c <= '9' ? c - '0' : c - 'a' + 10);
      if (width < 4) continue;
      // Wider forms than four digits never start with "0".
      if (width > 4 && text_[digits_at] == '0') break;
      Remember(value, Place{digits_at + width + 2, line_end_});
    }
  }

  std::string_view text_;
  std::string_view name_;
  std::size_t next_ = 0;      // where the search for the name goes on
  std::size_t line_end_ = 0;  // end of the line of the last occurrence
  std::vector<Place> dense_;
  std::unordered_map<std::uint32_t, Place> sparse_;
};

// Compressed bytes are gathered over many records and inflated in batches of this size: zlib's
// output for a stream does not depend on how its input is cut, and a batch stops at the first
// record that decodes to nothing, so the result, and any inflate error, are those of feeding
// record by record.
constexpr std::size_t kInflateBatch = 64 * 1024;

// Reads section `name` out of `text` (the shared part of both readers).
template <typename Records>
char* ReadSectionWith(Records& records, unsigned long* length) {
  quill::ChunkInflater inflater;
  if (!inflater.ok()) return nullptr;
  std::vector<unsigned char> batch(kInflateBatch + kDecodeLimit);
  std::size_t batched = 0;
  bool more = true;
  auto feed = [&]() -> bool {  // false when the output could not grow
    auto status = inflater.Feed(batch.data(), batched);
    batched = 0;
    if (status == quill::ChunkInflater::Status::kNoMemory) return false;
    // After an error nothing more can be inflated; after the end nothing more belongs to it.
    if (status != quill::ChunkInflater::Status::kConsumed) more = false;
    return true;
  };
  for (unsigned counter = 0; more; ++counter) {
    std::string_view value = records.Value(counter);
    std::size_t decoded = value.empty() ? 0
                                        : quill::DecodeRecordBase64(value.data(), value.size(),
                                                                    batch.data() + batched,
                                                                    kDecodeLimit - 1);
    if (decoded == 0) break;
    batched += decoded;
    if (batched >= kInflateBatch && !feed()) return nullptr;
  }
  if (more && batched > 0 && !feed()) return nullptr;
  std::size_t size = 0;
  char* out = inflater.Release(&size);
  if (length != nullptr) *length = size;
  return out;
}

char* ReadSection(std::string_view text, const char* name, unsigned long* length) {
  std::string_view wanted(name);
  if (SectionRecords::Handles(wanted)) {
    SectionRecords records(text, wanted);
    return ReadSectionWith(records, length);
  }
  RecordIndex records(text, name);
  return ReadSectionWith(records, length);
}

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

}  // namespace

CFileHdlr::CFileHdlr(const std::string& name) {
  if (name.empty()) return;
  fileName_ = name;
  file_ = std::fopen(name.c_str(), "wb");
}

CFileHdlr::CFileHdlr(const std::string& name, const char* /*mode*/) {
  if (!name.empty()) fileName_ = name;
}

CFileHdlr::~CFileHdlr() {
  if (file_ != nullptr) std::fclose(file_);
}

int CFileHdlr::AddString(const std::string& text) {
  buffer_ += text;
  return static_cast<int>(text.size());
}

int CFileHdlr::AddInt(const int& value) {
  std::ostringstream text;
  text << value;
  return AddString(text.str());
}

int CFileHdlr::AddFloat(const float& value) {
  std::ostringstream text;
  text << value;
  return AddString(text.str());
}

int CFileHdlr::Commit() {
  if (file_ == nullptr || buffer_.empty()) return -1;
  std::fwrite(buffer_.data(), 1, buffer_.size(), file_);
  int written = static_cast<int>(buffer_.size());
  buffer_.clear();
  return written;
}

int CFileHdlr::Discard() {
  if (buffer_.empty()) return -1;
  int dropped = static_cast<int>(buffer_.size());
  buffer_.clear();
  return dropped;
}

void CFileHdlr::fileWriteData(const char* name, const void* data, unsigned long length,
                              std::string* out) {
  if (name == nullptr || out == nullptr || length > kMaxPayload) return;
  if (data == nullptr && length != 0) return;

  std::vector<unsigned char> stream;
  if (length > 0) {
    uLongf stream_size = compressBound(length);
    stream.resize(stream_size);
    if (compress2(stream.data(), &stream_size, static_cast<const Bytef*>(data), length, 9) !=
        Z_OK) {
      return;
    }
    stream.resize(stream_size);
  }

  std::string block;
  char line[kLineBufferSize];
  auto add_line = [&] {
    std::size_t line_length = std::strlen(line);
    if (block.size() + line_length >= kBlockLimit) {
      block += '\n';
      Emit(block, out);
      block.clear();
    }
    block += line;
  };

  // Every chunk but the last holds 158 bytes; the last is shorter, empty when the stream length
  // is a multiple of 158. An empty payload has no chunks at all.
  unsigned chunks = stream.empty() ? 0 : static_cast<unsigned>(stream.size() / kChunkSize + 1);
  for (unsigned k = 0; k < chunks; ++k) {
    std::size_t offset = k * kChunkSize;
    std::size_t size = std::min(kChunkSize, stream.size() - offset);
    char encoded[kBase64BufferSize];
    // A full chunk has 212 Base64 characters; the buffer keeps 211, dropping its last "=".
    httpEncode64_2(encoded, static_cast<int>(sizeof encoded),
                   reinterpret_cast<const char*>(stream.data() + offset), static_cast<int>(size));
    std::snprintf(line, sizeof line, "%s%04x: %s\n", name, k, encoded);
    add_line();
  }
  std::snprintf(line, sizeof line, "%s%04x: \n", name, chunks);
  add_line();
  Emit(block, out);
}

char* CFileHdlr::fileReadData(char* path, const char* name, unsigned long* length) {
  if (length != nullptr) *length = 0;
  if (path == nullptr || name == nullptr) return nullptr;
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path, "rb"));
  if (file == nullptr) {
    std::fputs("Failed to open the file.\n", stdout);
    return nullptr;
  }
  std::string text;
  char chunk[65536];
  for (std::size_t got; (got = std::fread(chunk, 1, sizeof chunk, file.get())) > 0;) {
    text.append(chunk, got);
  }
  file.reset();
  return ReadSection(text, name, length);
}

char* CFileHdlr::stringReadData(std::string& text, const char* name, unsigned long* length) {
  if (length != nullptr) *length = 0;
  if (name == nullptr || text.empty()) return nullptr;
  return ReadSection(text, name, length);
}

std::istream& CFileHdlr::safeGetline_(std::istream& in, std::string& line) {
  line.clear();
  std::istream::sentry guard(in, true);
  if (!guard) return in;
  std::streambuf* buffer = in.rdbuf();
  for (;;) {
    int c = buffer->sbumpc();
    switch (c) {
      case '\n':
        return in;
      case '\r':
        if (buffer->sgetc() == '\n') buffer->sbumpc();
        return in;
      case std::streambuf::traits_type::eof():
        if (line.empty()) in.setstate(std::ios::eofbit);
        return in;
      default:
        line += static_cast<char>(c);
    }
  }
}
