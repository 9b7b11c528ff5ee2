// AES256CBC: AES with a 256-bit key in cipher-block-chaining mode, and the job-note framing of
// DoAES256Encrypt (the text with its NUL, padded to whole blocks).
//
// The block cipher is libgcrypt's; the chaining block is kept here so that it carries over from
// block to block and from call to call, and is shared by both directions.
#pragma once

#include <cstdint>

#include "security/GcryptLibrary.h"

class AES256CBC {
 public:
  static constexpr int kKeyLength = 32;
  static constexpr int kBlockSize = 16;
  static constexpr int kRounds = 14;

  AES256CBC() = default;
  ~AES256CBC();
  AES256CBC(const AES256CBC&) = delete;
  AES256CBC& operator=(const AES256CBC&) = delete;

  // Keys the cipher with the 32 bytes at `key` and makes the 16 bytes at `iv` the chaining block.
  // Does nothing unless key and iv are not null, keyLength is 32 and blockSize is 16.
  void MakeKey(char const* key, char const* iv, int keyLength = kKeyLength,
               int blockSize = kBlockSize);

  // CBC over n bytes from in to out (they may be the same buffer). Does nothing when n is 0 or
  // not a multiple of 16, a pointer is null, or the key is not ready.
  void Encrypt(char const* in, char* out, unsigned long n);
  void Decrypt(char const* in, char* out, unsigned long n);

  // Enciphers the NUL-terminated text, NUL included, padded to whole blocks: with r the text
  // length plus one modulo 16, 16 - r bytes of value 15 - r follow. `*outLength` is the capacity
  // of out on entry: out is cleared for that many bytes and *outLength becomes the cipher length.
  // Does nothing when a pointer is null; when the cipher would not fit the capacity, nothing is
  // enciphered and *outLength becomes 0.
  void DoAES256Encrypt(char* key, char* iv, char* text, char* out, int* outLength);

  // The reverse: deciphers inLength bytes (a positive multiple of 16) from in into out, whose
  // capacity is *outLength on entry and which is cleared first. *outLength becomes inLength; out
  // then holds the text followed by its NUL and the padding. *outLength becomes 0 when a pointer
  // is null, the length is not a whole number of blocks or does not fit the capacity.
  void DoAES256Decrypt(char* key, char* iv, char const* in, int inLength, char* out,
                       int* outLength);

  [[nodiscard]] bool Ready() const { return ready_; }

 private:
  bool ready_ = false;
  quill::CipherHandle cipher_;  // AES-256, one block at a time; expanded in both directions
  uint8_t iv_[kBlockSize] = {};
  uint8_t chain_[kBlockSize] = {};
};
