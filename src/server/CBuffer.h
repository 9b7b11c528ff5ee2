// CBuffer: builds one wide text piece by piece, the way the writers of two-way sections put their
// texts together (numbers formatted as a default wide output stream formats them).
#pragma once

#include <string>

class CBuffer {
 public:
  // Each appends and returns the number of wide characters added.
  int AddString(const std::wstring& text);
  // Widens `text` byte by byte (each byte one character, so ASCII and Latin-1 keep their codes).
  int AddCString(const std::string& text);
  int AddInt(const int& value);
  int AddFloat(const float& value);

  // The text built so far.
  [[nodiscard]] const std::wstring& GetStringData() const { return data_; }
  // The text narrowed back: characters below 256 as one byte each, others as '?'.
  [[nodiscard]] std::string GetCStrData() const;

 private:
  std::wstring data_;
};
