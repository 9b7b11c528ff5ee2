#include "server/CBuffer.h"

#include <sstream>

int CBuffer::AddString(const std::wstring& text) {
  data_ += text;
  return static_cast<int>(text.size());
}

int CBuffer::AddCString(const std::string& text) {
  for (char c : text) data_ += static_cast<wchar_t>(static_cast<unsigned char>(c));
  return static_cast<int>(text.size());
}

int CBuffer::AddInt(const int& value) {
  std::wostringstream text;
  text << value;
  return AddString(text.str());
}

int CBuffer::AddFloat(const float& value) {
  std::wostringstream text;
  text << value;
  return AddString(text.str());
}

std::string CBuffer::GetCStrData() const {
  std::string out;
  out.reserve(data_.size());
  for (wchar_t c : data_) {
    out += (c >= 0 && c < 256) ? static_cast<char>(c) : '?';
  }
  return out;
}
