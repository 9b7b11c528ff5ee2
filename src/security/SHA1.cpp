#include "security/SHA1.h"

#include <cstring>

#include "security/GcryptLibrary.h"

SHA1::SHA1() { Reset(); }

SHA1::~SHA1() {
  if (digest_ != nullptr) gcry_md_close(digest_);
}

void SHA1::Reset() {
  length_low_ = 0;
  length_high_ = 0;
  computed_ = false;
  corrupted_ = false;
  if (digest_ != nullptr) {
    gcry_md_reset(digest_);
  } else if (!quill::GcryptLibrary::Ready() || gcry_md_open(&digest_, GCRY_MD_SHA1, 0) != 0) {
    digest_ = nullptr;
    corrupted_ = true;
  }
}

void SHA1::Input(unsigned char const* data, unsigned int n) {
  if (data == nullptr || n == 0) return;
  if (computed_ || corrupted_) {
    corrupted_ = true;
    return;
  }
  // The length in bits must stay below 2^64: n * 8 is added as a 35-bit value.
  const uint64_t bits = static_cast<uint64_t>(n) * 8;
  const uint64_t low = static_cast<uint64_t>(length_low_) + (bits & 0xFFFFFFFFu);
  const uint64_t high = static_cast<uint64_t>(length_high_) + (bits >> 32) + (low >> 32);
  if (high > 0xFFFFFFFFu) {
    corrupted_ = true;
    return;
  }
  length_low_ = static_cast<uint32_t>(low);
  length_high_ = static_cast<uint32_t>(high);
  gcry_md_write(digest_, data, n);
}

void SHA1::Input(char const* data, unsigned int n) {
  Input(reinterpret_cast<unsigned char const*>(data), n);
}

void SHA1::Input(unsigned char byte) { Input(&byte, 1); }

void SHA1::Input(char byte) { Input(reinterpret_cast<unsigned char const*>(&byte), 1); }

SHA1& SHA1::operator<<(char const* text) {
  if (text != nullptr) Input(text, static_cast<unsigned int>(std::strlen(text)));
  return *this;
}

SHA1& SHA1::operator<<(unsigned char const* text) {
  return *this << reinterpret_cast<char const*>(text);
}

SHA1& SHA1::operator<<(char byte) {
  Input(byte);
  return *this;
}

SHA1& SHA1::operator<<(unsigned char byte) {
  Input(byte);
  return *this;
}

bool SHA1::Result(unsigned int digest[5]) {
  if (corrupted_ || digest == nullptr) return false;
  if (!computed_) {
    gcry_md_final(digest_);
    computed_ = true;
  }
  const unsigned char* bytes = gcry_md_read(digest_, GCRY_MD_SHA1);
  if (bytes == nullptr) return false;
  for (int i = 0; i < 5; ++i) {
    digest[i] = static_cast<unsigned int>(bytes[4 * i]) << 24 |
                static_cast<unsigned int>(bytes[4 * i + 1]) << 16 |
                static_cast<unsigned int>(bytes[4 * i + 2]) << 8 |
                static_cast<unsigned int>(bytes[4 * i + 3]);
  }
  return true;
}
