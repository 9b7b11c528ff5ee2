#include "security/AES256CBC.h"

#include <cstring>

AES256CBC::~AES256CBC() {
  quill::GcryptLibrary::Wipe(iv_, sizeof iv_);
  quill::GcryptLibrary::Wipe(chain_, sizeof chain_);
}

void AES256CBC::MakeKey(char const* key, char const* iv, int keyLength, int blockSize) {
  if (key == nullptr || iv == nullptr || keyLength != kKeyLength || blockSize != kBlockSize) return;
  quill::CipherHandle cipher = quill::GcryptLibrary::OpenCipher(
      GCRY_CIPHER_AES256, GCRY_CIPHER_MODE_ECB, key, static_cast<size_t>(kKeyLength));
  if (!cipher) {
    // Never leave an earlier key in place when the new one could not be set.
    cipher_.reset();
    ready_ = false;
    return;
  }
  cipher_ = std::move(cipher);
  std::memcpy(iv_, iv, kBlockSize);
  std::memcpy(chain_, iv_, kBlockSize);
  ready_ = true;
}

void AES256CBC::Encrypt(char const* in, char* out, unsigned long n) {
  if (!ready_ || in == nullptr || out == nullptr || n == 0 || n % kBlockSize != 0) return;
  for (unsigned long at = 0; at < n; at += kBlockSize) {
    for (int i = 0; i < kBlockSize; ++i) chain_[i] ^= static_cast<uint8_t>(in[at + i]);
    gcry_cipher_encrypt(cipher_.get(), chain_, kBlockSize, nullptr, 0);
    std::memcpy(out + at, chain_, kBlockSize);
  }
}

void AES256CBC::Decrypt(char const* in, char* out, unsigned long n) {
  if (!ready_ || in == nullptr || out == nullptr || n == 0 || n % kBlockSize != 0) return;
  uint8_t block[kBlockSize];
  for (unsigned long at = 0; at < n; at += kBlockSize) {
    uint8_t cipher_block[kBlockSize];
    std::memcpy(cipher_block, in + at, kBlockSize);
    gcry_cipher_decrypt(cipher_.get(), block, kBlockSize, cipher_block, kBlockSize);
    for (int i = 0; i < kBlockSize; ++i) out[at + i] = static_cast<char>(block[i] ^ chain_[i]);
    std::memcpy(chain_, cipher_block, kBlockSize);
  }
  quill::GcryptLibrary::Wipe(block, sizeof block);
}

void AES256CBC::DoAES256Encrypt(char* key, char* iv, char* text, char* out, int* outLength) {
  if (key == nullptr || iv == nullptr || text == nullptr || out == nullptr || outLength == nullptr)
    return;
  const int capacity = *outLength;
  if (capacity > 0) std::memset(out, 0, static_cast<size_t>(capacity));
  const size_t n = std::strlen(text) + 1;
  const size_t r = n % kBlockSize;
  const size_t padded = n + kBlockSize - r;
  if (capacity <= 0 || padded > static_cast<size_t>(capacity)) {
    *outLength = 0;
    return;
  }
  // Plain text and padding are built in out itself and enciphered in place.
  std::memcpy(out, text, n);
  std::memset(out + n, static_cast<int>(15 - r), kBlockSize - r);
  MakeKey(key, iv, kKeyLength, kBlockSize);
  if (!ready_) {
    std::memset(out, 0, padded);
    *outLength = 0;
    return;
  }
  Encrypt(out, out, padded);
  *outLength = static_cast<int>(padded);
}

void AES256CBC::DoAES256Decrypt(char* key, char* iv, char const* in, int inLength, char* out,
                                int* outLength) {
  if (outLength == nullptr) return;
  const int capacity = *outLength;
  *outLength = 0;
  if (key == nullptr || iv == nullptr || in == nullptr || out == nullptr) return;
  if (capacity > 0) std::memset(out, 0, static_cast<size_t>(capacity));
  if (inLength <= 0 || inLength % kBlockSize != 0 || inLength > capacity) return;
  MakeKey(key, iv, kKeyLength, kBlockSize);
  if (!ready_) return;
  Decrypt(in, out, static_cast<unsigned long>(inLength));
  *outLength = inLength;
}
