#include "security/KRCFCrypto.h"

#include <array>
#include <cstring>
#include <mutex>

#include "platform/Log.h"
#include "platform/TextEncoding.h"
#include "security/GcryptLibrary.h"
#include "security/KRCFBase64.h"

namespace {

constexpr size_t kBlock = 16;

// A byte buffer that is wiped when it goes away, for keys and plain text.
struct WipedBytes {
  std::vector<uint8_t> bytes;
  ~WipedBytes() { quill::GcryptLibrary::Wipe(bytes.data(), bytes.size()); }
};

gcry_error_t library_error(gpg_err_code_t code) { return gcry_error(code); }

void log_failure(const char* step, gcry_error_t error) {
  quill::PanelLog("%s: %s", step, gcry_strerror(error));
}

quill::CipherHandle open_aes128_cbc(const uint8_t* key) {
  quill::CipherHandle handle =
      quill::GcryptLibrary::OpenCipher(GCRY_CIPHER_AES128, GCRY_CIPHER_MODE_CBC, key, kBlock);
  if (handle) {
    const uint8_t zero_iv[kBlock] = {};
    if (gcry_cipher_setiv(handle.get(), zero_iv, kBlock) != 0) handle.reset();
  }
  return handle;
}

// PBKDF2 is slow on purpose, and a print enciphers every job note under the same pass phrase:
// the key of the last pass phrase is kept for the process, in memory only, and wiped at exit. The
// pass phrase itself is not kept, only its SHA-256 digest to recognise it.
class DerivedKeyCache {
 public:
  ~DerivedKeyCache() { Forget(); }

  // The key of passPhrase into key (kPassPhraseKeyLength bytes): the kept one when it is that pass
  // phrase's, else derived and kept. 0 or the library's error code.
  gcry_error_t Get(std::string_view passPhrase, uint8_t* key) {
    std::array<uint8_t, 32> digest{};
    gcry_md_hash_buffer(GCRY_MD_SHA256, digest.data(), passPhrase.data(), passPhrase.size());
    const std::lock_guard<std::mutex> lock(mutex_);
    if (!valid_ || digest != digest_) {
      Forget();
      const gcry_error_t error = cdsaDeriveKey(
          passPhrase, reinterpret_cast<const uint8_t*>(kPassPhraseSalt),
          std::strlen(kPassPhraseSalt), kPassPhraseIterations, key_.data(), key_.size());
      quill::GcryptLibrary::Wipe(digest_.data(), digest_.size());
      if (error != 0) {
        quill::GcryptLibrary::Wipe(digest.data(), digest.size());
        return error;
      }
      digest_ = digest;
      valid_ = true;
    }
    quill::GcryptLibrary::Wipe(digest.data(), digest.size());
    std::memcpy(key, key_.data(), key_.size());
    return 0;
  }

 private:
  void Forget() {
    quill::GcryptLibrary::Wipe(key_.data(), key_.size());
    quill::GcryptLibrary::Wipe(digest_.data(), digest_.size());
    valid_ = false;
  }

  std::mutex mutex_;
  bool valid_ = false;
  std::array<uint8_t, 32> digest_{};
  std::array<uint8_t, kPassPhraseKeyLength> key_{};
};

DerivedKeyCache& KeyCache() {
  static DerivedKeyCache cache;
  return cache;
}

}  // namespace

gcry_error_t cdsaCspAttach() {
  return quill::GcryptLibrary::Ready() ? 0 : library_error(GPG_ERR_NOT_INITIALIZED);
}

gcry_error_t cdsaDeriveKey(std::string_view passPhrase, const uint8_t* salt, size_t saltLength,
                           unsigned long iterations, uint8_t* key, size_t keyLength) {
  if (!quill::GcryptLibrary::Ready()) return library_error(GPG_ERR_NOT_INITIALIZED);
  if (salt == nullptr || key == nullptr || keyLength == 0 || iterations == 0) {
    return library_error(GPG_ERR_INV_VALUE);
  }
  return gcry_kdf_derive(passPhrase.data(), passPhrase.size(), GCRY_KDF_PBKDF2, GCRY_MD_SHA1, salt,
                         saltLength, iterations, keyLength, key);
}

gcry_error_t cdsaEncrypt(const uint8_t* key, const std::vector<uint8_t>& in,
                         std::vector<uint8_t>* out) {
  if (key == nullptr || out == nullptr) return library_error(GPG_ERR_INV_VALUE);
  out->clear();
  quill::CipherHandle handle = open_aes128_cbc(key);
  if (!handle) return library_error(GPG_ERR_CIPHER_ALGO);
  const size_t pad = kBlock - in.size() % kBlock;
  std::vector<uint8_t> buffer(in);
  buffer.insert(buffer.end(), pad, static_cast<uint8_t>(pad));
  const gcry_error_t error =
      gcry_cipher_encrypt(handle.get(), buffer.data(), buffer.size(), nullptr, 0);
  if (error != 0) {
    quill::GcryptLibrary::Wipe(buffer.data(), buffer.size());
    return error;
  }
  *out = std::move(buffer);
  return 0;
}

gcry_error_t cdsaDecrypt(const uint8_t* key, const std::vector<uint8_t>& in,
                         std::vector<uint8_t>* out) {
  if (key == nullptr || out == nullptr) return library_error(GPG_ERR_INV_VALUE);
  out->clear();
  if (in.empty() || in.size() % kBlock != 0) return library_error(GPG_ERR_INV_LENGTH);
  quill::CipherHandle handle = open_aes128_cbc(key);
  if (!handle) return library_error(GPG_ERR_CIPHER_ALGO);
  WipedBytes buffer{in};
  const gcry_error_t error =
      gcry_cipher_decrypt(handle.get(), buffer.bytes.data(), buffer.bytes.size(), nullptr, 0);
  if (error != 0) return error;
  const uint8_t pad = buffer.bytes.back();
  bool padding_ok = pad >= 1 && pad <= kBlock;
  for (size_t i = 0; padding_ok && i < pad; ++i) {
    padding_ok = buffer.bytes[buffer.bytes.size() - 1 - i] == pad;
  }
  if (!padding_ok) return library_error(GPG_ERR_DECRYPT_FAILED);
  out->assign(buffer.bytes.begin(), buffer.bytes.end() - pad);
  return 0;
}

std::optional<std::string> CSSMCreateCryptoString(std::string_view text,
                                                  std::string_view passPhrase, bool encrypt) {
  WipedBytes input;
  if (encrypt) {
    input.bytes.assign(text.begin(), text.end());
  } else {
    input.bytes = KRCFBase64CreateDecodedData(text);
  }

  gcry_error_t error = cdsaCspAttach();
  if (error != 0) {
    log_failure("Attach to CSP", error);
    return std::nullopt;
  }
  WipedBytes key{std::vector<uint8_t>(kPassPhraseKeyLength)};
  error = KeyCache().Get(passPhrase, key.bytes.data());
  if (error != 0) {
    log_failure("DeriveKey", error);
    return std::nullopt;
  }

  WipedBytes output;
  if (encrypt) {
    error = cdsaEncrypt(key.bytes.data(), input.bytes, &output.bytes);
    if (error != 0) {
      log_failure("cdsaEncrypt", error);
      return std::nullopt;
    }
    return KRCFBase64CreateEncodedString(output.bytes);
  }
  error = cdsaDecrypt(key.bytes.data(), input.bytes, &output.bytes);
  if (error != 0) {
    log_failure("cdsaDecrypt", error);
    return std::nullopt;
  }
  std::string plain(output.bytes.begin(), output.bytes.end());
  if (!quill::TextEncoding::IsValidUTF8(plain)) {
    // Deciphered under a wrong pass phrase the padding may still pass by chance; the bytes are
    // then no text.
    quill::GcryptLibrary::Wipe(plain.data(), plain.size());
    quill::PanelLog("cdsaDecrypt: %s", gcry_strerror(library_error(GPG_ERR_DECRYPT_FAILED)));
    return std::nullopt;
  }
  return plain;
}

std::optional<std::string> KRCFCreateEncryptedString(std::string_view text,
                                                     std::string_view passPhrase) {
  return CSSMCreateCryptoString(text, passPhrase, true);
}

std::optional<std::string> KRCFCreateDecryptedString(std::string_view text,
                                                     std::string_view passPhrase) {
  return CSSMCreateCryptoString(text, passPhrase, false);
}
