#include "server/CFileHdlr.h"

#include <cups/http.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <sstream>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "ppddata/ChunkInflater.h"

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

// Reads section `name` out of `text` (the shared part of both readers).
char* ReadSection(std::string_view text, const char* name, unsigned long* length) {
  quill::ChunkInflater inflater;
  if (!inflater.ok()) return nullptr;
  RecordIndex records(text, name);
  for (unsigned counter = 0;; ++counter) {
    std::string_view value = records.Value(counter);
    if (value.empty()) break;
    char encoded[kMaxValue + 1];
    std::memcpy(encoded, value.data(), value.size());
    encoded[value.size()] = '\0';
    char decoded[kLineBufferSize];
    int decoded_size = kDecodeLimit;
    if (httpDecode64_2(decoded, &decoded_size, encoded) == nullptr || decoded_size <= 0) break;
    auto status = inflater.Feed(reinterpret_cast<const unsigned char*>(decoded),
                                static_cast<std::size_t>(decoded_size));
    if (status == quill::ChunkInflater::Status::kNoMemory) return nullptr;
    // After an error nothing more can be inflated; after the end nothing more belongs to it.
    if (status != quill::ChunkInflater::Status::kConsumed) break;
  }
  std::size_t size = 0;
  char* out = inflater.Release(&size);
  if (length != nullptr) *length = size;
  return out;
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
