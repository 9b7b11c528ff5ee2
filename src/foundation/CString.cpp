#include "foundation/CString.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <utility>

#include "foundation/ProcessGlobals.h"

namespace {

// A malloc'd copy of `length` bytes of `text` followed by a NUL; null when memory runs out.
char* MallocCopy(char const* text, size_t length) {
  char* copy = static_cast<char*>(std::malloc(length + 1));
  if (copy == nullptr) return nullptr;
  std::memcpy(copy, text, length);
  copy[length] = '\0';
  return copy;
}

// A malloc'd text made of [head, head + head_length), then `middle`, then `tail`.
char* MallocJoin(char const* head, size_t head_length, char const* middle, size_t middle_length,
                 char const* tail, size_t tail_length) {
  const size_t total = head_length + middle_length + tail_length;
  char* joined = static_cast<char*>(std::malloc(total + 1));
  if (joined == nullptr) return nullptr;
  std::memcpy(joined, head, head_length);
  std::memcpy(joined + head_length, middle, middle_length);
  std::memcpy(joined + head_length + middle_length, tail, tail_length);
  joined[total] = '\0';
  return joined;
}

bool FoldedEqual(char a, char b) {
  return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
}

}  // namespace

CString::CString() = default;

CString::CString(char const* text) { SetBuffer(text); }

CString::CString(CString const& other) { SetBuffer(other.buffer_); }

CString::CString(CString&& other) noexcept
    : buffer_(std::exchange(other.buffer_, nullptr)), length_(std::exchange(other.length_, 0)) {}

CString::CString(std::string const& utf8) {
  std::optional<std::string> converted = quill::TextEncoding::Convert(
      utf8, quill::kEncodingUTF8, quill::TextEncoding::SystemEncoding());
  if (!converted) return;
  // The length is the byte count of what is held, up to the first NUL, so that Size() always
  // agrees with strlen of the buffer.
  const size_t length = std::strlen(converted->c_str());
  Adopt(MallocCopy(converted->c_str(), length), length);
}

CString::~CString() { std::free(buffer_); }

CString& CString::operator=(char const* text) {
  SetBuffer(text);
  return *this;
}

CString& CString::operator=(CString const& other) {
  SetBuffer(other.buffer_);
  return *this;
}

CString& CString::operator=(CString&& other) noexcept {
  if (this != &other) {
    std::free(buffer_);
    buffer_ = std::exchange(other.buffer_, nullptr);
    length_ = std::exchange(other.length_, 0);
  }
  return *this;
}

quill::TextEncodingId CString::EncodingForDisplayText(int utf8_level, bool job_notes_japanese,
                                                      bool document_server,
                                                      quill::TextEncodingId application_encoding) {
  if (utf8_level < 5) return application_encoding;
  if (job_notes_japanese) return application_encoding;
  if (utf8_level >= 7) return quill::kEncodingUTF8;
  if (document_server) return application_encoding;
  return quill::kEncodingUTF8;
}

CString& CString::operator=(std::string const& utf8) {
  const ProcessGlobals& globals = Globals();
  const quill::TextEncodingId target =
      EncodingForDisplayText(globals.KRUTF8Version, globals.popupJobNotesLangIsJapanese,
                             globals.documentServer, quill::TextEncoding::ApplicationEncoding());
  std::optional<std::string> converted =
      quill::TextEncoding::Convert(utf8, quill::kEncodingUTF8, target);
  SetBuffer(converted ? converted->c_str() : "");
  return *this;
}

void CString::SetBuffer(char const* text) {
  if (text == buffer_) return;
  // Copy before freeing: `text` may point inside the buffer being replaced.
  char* copy = nullptr;
  size_t length = 0;
  if (text != nullptr) {
    length = std::strlen(text);
    copy = MallocCopy(text, length);
    if (copy == nullptr) length = 0;
  }
  Adopt(copy, length);
}

void CString::Adopt(char* buffer, size_t length) {
  std::free(buffer_);
  buffer_ = buffer;
  length_ = buffer == nullptr ? 0 : length;
}

CString& CString::operator+(char const* text) {
  const size_t added = text == nullptr ? 0 : std::strlen(text);
  // Nothing to add: a string with no buffer keeps having none.
  if (added == 0) return *this;
  char* joined = MallocJoin(buffer_ == nullptr ? "" : buffer_, length_, text, added, "", 0);
  if (joined != nullptr) Adopt(joined, length_ + added);
  return *this;
}

void CString::Replace(CString const& what, CString const& with) {
  if (buffer_ == nullptr || what.Empty()) return;
  char const* found = std::strstr(buffer_, what.buffer_);
  if (found == nullptr) return;
  const size_t head = static_cast<size_t>(found - buffer_);
  const size_t tail_start = head + what.length_;
  char* joined = MallocJoin(buffer_, head, with.buffer_ == nullptr ? "" : with.buffer_,
                            with.length_, buffer_ + tail_start, length_ - tail_start);
  if (joined != nullptr) Adopt(joined, length_ - what.length_ + with.length_);
}

void CString::Remove(char const* at, unsigned long n) {
  if (buffer_ == nullptr || at == nullptr) return;
  // Compare as addresses so that a pointer from elsewhere is rejected without undefined pointer
  // arithmetic.
  const auto begin = reinterpret_cast<std::uintptr_t>(buffer_);
  const auto position = reinterpret_cast<std::uintptr_t>(at);
  if (position < begin || position >= begin + length_) return;
  const size_t offset = position - begin;
  const size_t count = std::min<size_t>(n, length_ - offset);
  // Moves the tail and its NUL.
  std::memmove(buffer_ + offset, buffer_ + offset + count, length_ - offset - count + 1);
  length_ -= count;
}

void CString::Insert(char const* at, char const* text) {
  if (buffer_ == nullptr || at == nullptr || text == nullptr || text[0] == '\0') return;
  const auto begin = reinterpret_cast<std::uintptr_t>(buffer_);
  const auto position = reinterpret_cast<std::uintptr_t>(at);
  if (position < begin || position > begin + length_) return;
  const size_t offset = position - begin;
  const size_t added = std::strlen(text);
  char* joined = MallocJoin(buffer_, offset, text, added, buffer_ + offset, length_ - offset);
  if (joined != nullptr) Adopt(joined, length_ + added);
}

bool CString::operator==(CString const& other) const {
  if (other.buffer_ == nullptr) return true;
  return *this == other.buffer_;
}

bool CString::operator==(char const* text) const {
  return std::strcmp(buffer_ == nullptr ? "" : buffer_, text == nullptr ? "" : text) == 0;
}

bool CString::operator==(std::string const& utf8) const { return *this == utf8.c_str(); }

bool CString::Contains(char const* text) const {
  if (buffer_ == nullptr || text == nullptr) return false;
  if (text[0] == '\0') return true;
  char const* begin = buffer_;
  char const* end = begin + length_;
  return std::search(begin, end, text, text + std::strlen(text), FoldedEqual) != end;
}

void CString::ClearBuffer() { Adopt(nullptr, 0); }

void CString::Initialize() { ClearBuffer(); }
