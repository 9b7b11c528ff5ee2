#include "security/JobNoteCipher.h"

#include <cstring>
#include <vector>

#include "security/AES256CBC.h"
#include "security/DES.h"
#include "security/GcryptLibrary.h"
#include "security/Hex.h"

namespace quill {
namespace {

std::string hex_of(const unsigned char* bytes, size_t n) {
  std::string text(2 * n, '\0');
  toHex(bytes, static_cast<int>(n), text.data());
  return text;
}

}  // namespace

std::string JobNoteCipher::DESHex(std::string_view text, const unsigned char* key) {
  if (key == nullptr) return {};
  const size_t pad = kDESKeySize - text.size() % kDESKeySize;
  std::vector<unsigned char> blocks(text.begin(), text.end());
  blocks.insert(blocks.end(), pad, static_cast<unsigned char>(pad));
  unsigned char key_copy[kDESKeySize];
  std::memcpy(key_copy, key, kDESKeySize);
  deskey(key_copy, EN0);
  GcryptLibrary::Wipe(key_copy, sizeof key_copy);
  for (size_t at = 0; at < blocks.size(); at += kDESKeySize) des(&blocks[at], &blocks[at]);
  return hex_of(blocks.data(), blocks.size());
}

std::string JobNoteCipher::AESHex(std::string_view text, const unsigned char* key,
                                  const unsigned char* iv) {
  if (key == nullptr || iv == nullptr) return {};
  // DoAES256Encrypt reads a NUL-terminated text and non-const key and vector buffers.
  std::string plain(text.substr(0, text.find('\0')));
  char key_copy[kAESKeySize];
  char iv_copy[kAESVectorSize];
  std::memcpy(key_copy, key, sizeof key_copy);
  std::memcpy(iv_copy, iv, sizeof iv_copy);
  char cipher[kAESBufferSize];
  int length = kAESBufferSize;
  AES256CBC aes;
  aes.DoAES256Encrypt(key_copy, iv_copy, plain.data(), cipher, &length);
  GcryptLibrary::Wipe(key_copy, sizeof key_copy);
  GcryptLibrary::Wipe(iv_copy, sizeof iv_copy);
  GcryptLibrary::Wipe(plain.data(), plain.size());
  return length > 0 ? hex_of(reinterpret_cast<unsigned char*>(cipher), static_cast<size_t>(length))
                    : std::string();
}

}  // namespace quill
