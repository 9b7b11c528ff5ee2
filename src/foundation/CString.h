// CString: an owned 8-bit string, the text type of the PPD object model.
//
// The text is a heap copy with a terminating NUL, allocated with malloc and released with free.
// A string may hold no buffer at all (a null pointer); a null buffer and an empty text both count
// as empty. Display text (UTF-8 std::string) is converted into an 8-bit encoding on the way in.
#pragma once

#include <cstddef>
#include <string>

#include "platform/TextEncoding.h"

class CString {
 public:
  // An empty string with no buffer.
  CString();
  // A copy of `text`; a null text gives an empty string with no buffer. On allocation failure the
  // string is empty.
  CString(char const* text);
  CString(CString const& other);
  CString(CString&& other) noexcept;
  // Converts UTF-8 display text into the system encoding. When the text is not valid UTF-8 or a
  // character has no equivalent in the system encoding, the string is empty with no buffer.
  // Size() is the number of bytes held (not the number of characters of the display text).
  explicit CString(std::string const& utf8);
  virtual ~CString();

  // Replace the text by a copy of `text` (see CString(char const*)). Assigning the very buffer
  // the string holds changes nothing; a text that points inside the buffer is copied safely.
  CString& operator=(char const* text);
  CString& operator=(CString const& other);
  CString& operator=(CString&& other) noexcept;
  // Converts UTF-8 display text into the encoding that EncodingForDisplayText chooses from the
  // process-wide server state. A failed conversion gives the empty text "" (a buffer of one NUL).
  CString& operator=(std::string const& utf8);

  // Number of bytes before the NUL; 0 when there is no buffer.
  [[nodiscard]] size_t Size() const { return length_; }
  // The buffer; null when the string holds none.
  operator char const*() const { return buffer_; }
  // True when there is no buffer or the text is "".
  [[nodiscard]] bool Empty() const { return buffer_ == nullptr || buffer_[0] == '\0'; }

  // Appends `text` in place and returns this same string (it is an append, not a new string).
  // When the joined text is empty, or memory runs out, nothing changes.
  CString& operator+(char const* text);

  // Replaces the first occurrence of `what` by `with`. Nothing happens when there is no buffer,
  // `what` is empty or absent, or memory runs out.
  void Replace(CString const& what, CString const& with);
  // Removes `n` bytes starting at `at`, which must point into the buffer; a count that runs past
  // the end stops at the end. A position outside the text changes nothing.
  void Remove(char const* at, unsigned long n);
  // Inserts `text` before `at`, which must point into the buffer or at its NUL. Nothing happens
  // when there is no buffer, the text is empty, the position lies outside the text, or memory
  // runs out.
  void Insert(char const* at, char const* text);

  // True when `other` holds no buffer (a string with no text matches anything); otherwise true
  // when both texts are equal byte for byte. A missing buffer on this side compares as "".
  bool operator==(CString const& other) const;
  // Byte equality; a null text and a missing buffer both compare as "".
  bool operator==(char const* text) const;
  // Byte equality with UTF-8 display text, up to its first NUL.
  bool operator==(std::string const& utf8) const;

  // Case-insensitive substring test (bytes folded with the C library's tolower). False when the
  // string or `text` is null.
  [[nodiscard]] bool Contains(char const* text) const;

  // Free the buffer and make the string empty.
  void ClearBuffer();
  void Initialize();

  // The encoding display text is converted into by operator=(std::string const&), given the
  // server's UTF-8 level, whether the job-notes language is Japanese, whether the server is a
  // document server, and the application's text encoding.
  [[nodiscard]] static quill::TextEncodingId EncodingForDisplayText(
      int utf8_level, bool job_notes_japanese, bool document_server,
      quill::TextEncodingId application_encoding);

 private:
  void SetBuffer(char const* text);
  // Takes ownership of a malloc'd buffer holding `length` bytes and a NUL.
  void Adopt(char* buffer, size_t length);

  char* buffer_ = nullptr;
  size_t length_ = 0;
};
