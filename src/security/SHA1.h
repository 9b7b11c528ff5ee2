// SHA1: the SHA-1 digest of a message given in pieces, as five 32-bit words.
//
// libgcrypt computes the digest; this class keeps the message length, the state flags and the
// misuse rules: input after Result, or a message of 2^64 bits or more, marks the digest corrupted.
#pragma once

#include <gcrypt.h>

#include <cstdint>

class SHA1 {
 public:
  SHA1();
  virtual ~SHA1();
  SHA1(const SHA1&) = delete;
  SHA1& operator=(const SHA1&) = delete;

  // Starts a new message: zero length, flags clear.
  void Reset();

  // Appends n bytes (nothing for a null pointer). Ignored, and the digest marked corrupted, once
  // Result has run or when the message would reach 2^64 bits.
  void Input(unsigned char const* data, unsigned int n);
  void Input(char const* data, unsigned int n);
  void Input(unsigned char byte);
  void Input(char byte);

  // Append a NUL-terminated string (without its NUL) or one byte.
  SHA1& operator<<(char const* text);
  SHA1& operator<<(unsigned char const* text);
  SHA1& operator<<(char byte);
  SHA1& operator<<(unsigned char byte);

  // The digest as the words H0 to H4; the canonical 20 bytes are these words big-endian. The
  // message is finished by the first call and later calls answer the same words. False, with
  // digest untouched, when the digest is corrupted or digest is null.
  bool Result(unsigned int digest[5]);

 private:
  uint32_t length_low_ = 0;   // message length in bits, low half
  uint32_t length_high_ = 0;  // high half
  bool computed_ = false;
  bool corrupted_ = false;
  gcry_md_hd_t digest_ = nullptr;  // the running SHA-1; null when libgcrypt is unusable
};
