// The pass-phrase cipher that keeps job-note values in presets: PBKDF2 with HMAC-SHA-1 (1000
// iterations, salt "mixGrain") makes a 128-bit key from the pass phrase, and AES-128 in CBC mode
// with PKCS #7 padding and a zero vector enciphers the text; the cipher travels as Base64 text.
//
// libgcrypt stands in for the platform's cryptographic service; the cdsa* functions are the thin
// wrappers over it, named after the steps they stand for. Failures are logged with the step's
// prefix and the library's error text, never with key, pass phrase or text.
#pragma once

#include <gcrypt.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

inline constexpr unsigned long kPassPhraseIterations = 1000;
inline constexpr char kPassPhraseSalt[] = "mixGrain";  // 8 bytes, no terminator used
inline constexpr size_t kPassPhraseKeyLength = 16;

// The text enciphered under the pass phrase, as Base64 text; nullopt on any failure (logged).
// An empty text is enciphered like any other (one block of padding).
std::optional<std::string> KRCFCreateEncryptedString(std::string_view text,
                                                     std::string_view passPhrase);

// The reverse: the Base64 text deciphered under the pass phrase. nullopt (logged) when the text
// does not decode to whole cipher blocks, the padding is wrong (a wrong pass phrase, usually) or
// the plain text is not UTF-8.
std::optional<std::string> KRCFCreateDecryptedString(std::string_view text,
                                                     std::string_view passPhrase);

// Both directions: encrypt true enciphers the UTF-8 text, false deciphers the Base64 text.
std::optional<std::string> CSSMCreateCryptoString(std::string_view text,
                                                  std::string_view passPhrase, bool encrypt);

// Makes the cryptographic library ready; 0 or the library's error code.
gcry_error_t cdsaCspAttach();

// PBKDF2 with HMAC-SHA-1 of passPhrase over salt and iterations into keyLength bytes at key.
// 0 or the library's error code (zero iterations or an empty key are refused).
gcry_error_t cdsaDeriveKey(std::string_view passPhrase, const uint8_t* salt, size_t saltLength,
                           unsigned long iterations, uint8_t* key, size_t keyLength);

// AES-128-CBC with a zero vector and PKCS #7 padding (1 to 16 bytes, always added) under the
// 16-byte key. 0 or an error code; on failure *out is empty.
gcry_error_t cdsaEncrypt(const uint8_t* key, const std::vector<uint8_t>& in,
                         std::vector<uint8_t>* out);
// The reverse; GPG_ERR_INV_LENGTH when in is empty or not whole blocks, GPG_ERR_DECRYPT_FAILED
// when the padding is not valid.
gcry_error_t cdsaDecrypt(const uint8_t* key, const std::vector<uint8_t>& in,
                         std::vector<uint8_t>* out);
