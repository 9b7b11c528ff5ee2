#include <gcrypt.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Log.h"
#include "security/Bytes.h"
#include "security/GcryptLibrary.h"
#include "security/KRCFBase64.h"
#include "security/KRCFCrypto.h"

using quill::testing::Bytes;
using quill::testing::Hex;

namespace {

// Collects the panel's log messages for the life of a test.
class LogCapture {
 public:
  LogCapture() {
    previous_ = quill::SetLogSink([this](std::string_view m) { messages_.emplace_back(m); });
  }
  ~LogCapture() { quill::SetLogSink(previous_); }
  [[nodiscard]] const std::vector<std::string>& messages() const { return messages_; }
  [[nodiscard]] std::string all() const {
    std::string text;
    for (const auto& m : messages_) text += m + "\n";
    return text;
  }

 private:
  quill::LogSink previous_;
  std::vector<std::string> messages_;
};

}  // namespace

TEST(PassPhraseCipher, KeyDerivationMatchesRfc6070) {
  struct Case {
    std::string password;
    std::string salt;
    unsigned long iterations;
    const char* key;
  };
  const std::vector<Case> cases = {
      {"password", "salt", 1, "0c60c80f961f0e71f3a9b524af6012062fe037a6"},
      {"password", "salt", 2, "ea6c014dc72d6f8ccd1ed92ace1d41f0d8de8957"},
      {"password", "salt", 4096, "4b007901b765489abead49d926f721d065a429c1"},
      {"passwordPASSWORDpassword", "saltSALTsaltSALTsaltSALTsaltSALTsalt", 4096,
       "3d2eec4fe41c849b80c8d83662c0e44a8b291a964cf2f07038"},
      {std::string("pass\0word", 9), std::string("sa\0lt", 5), 4096,
       "56fa6aa75548099dcc37d7f03425e0c3"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.iterations);
    std::vector<uint8_t> key(std::string(c.key).size() / 2);
    ASSERT_EQ(cdsaDeriveKey(c.password, reinterpret_cast<const uint8_t*>(c.salt.data()),
                            c.salt.size(), c.iterations, key.data(), key.size()),
              0u);
    EXPECT_EQ(Hex(key), c.key);
  }
}

TEST(PassPhraseCipher, BlockStepIsAes128CbcWithFullPkcs7Padding) {
  // FIPS-197 C.1: with the zero vector the first block is the plain AES-128 block; a whole
  // block of text gets a whole block of padding.
  const std::vector<uint8_t> key = Bytes("000102030405060708090a0b0c0d0e0f");
  std::vector<uint8_t> cipher;
  ASSERT_EQ(cdsaEncrypt(key.data(), Bytes("00112233445566778899aabbccddeeff"), &cipher), 0u);
  ASSERT_EQ(cipher.size(), 32u);
  EXPECT_EQ(Hex(cipher.data(), 16), "69c4e0d86a7b0430d8cdb78070b4c55a");

  std::vector<uint8_t> plain;
  ASSERT_EQ(cdsaDecrypt(key.data(), cipher, &plain), 0u);
  EXPECT_EQ(Hex(plain), "00112233445566778899aabbccddeeff");

  cipher.back() ^= 1;  // breaks the padding
  EXPECT_EQ(gcry_err_code(cdsaDecrypt(key.data(), cipher, &plain)), GPG_ERR_DECRYPT_FAILED);
  EXPECT_TRUE(plain.empty());
  EXPECT_EQ(gcry_err_code(cdsaDecrypt(key.data(), std::vector<uint8_t>(15), &plain)),
            GPG_ERR_INV_LENGTH);
}

TEST(PassPhraseCipher, UsesTheFixedSaltIterationsAndKeyLength) {
  // Deciphered here with libgcrypt alone: PBKDF2-HMAC-SHA1("mixGrain", 1000, 16 bytes) and
  // AES-128-CBC with a zero vector.
  const std::string phrase = "the panel's phrase";
  const std::optional<std::string> text = KRCFCreateEncryptedString("Grüße, 42", phrase);
  ASSERT_TRUE(text.has_value());
  std::vector<uint8_t> cipher = KRCFBase64CreateDecodedData(*text);
  ASSERT_EQ(cipher.size(), 16u);

  ASSERT_TRUE(quill::GcryptLibrary::Ready());
  uint8_t key[16];
  ASSERT_EQ(gcry_kdf_derive(phrase.data(), phrase.size(), GCRY_KDF_PBKDF2, GCRY_MD_SHA1, "mixGrain",
                            8, 1000, sizeof key, key),
            0u);
  gcry_cipher_hd_t handle = nullptr;
  ASSERT_EQ(gcry_cipher_open(&handle, GCRY_CIPHER_AES128, GCRY_CIPHER_MODE_CBC, 0), 0u);
  gcry_cipher_setkey(handle, key, sizeof key);
  const uint8_t zero_iv[16] = {};
  gcry_cipher_setiv(handle, zero_iv, sizeof zero_iv);
  gcry_cipher_decrypt(handle, cipher.data(), cipher.size(), nullptr, 0);
  gcry_cipher_close(handle);
  const std::string expected = "Grüße, 42";  // 11 bytes of UTF-8, 5 bytes of padding
  EXPECT_EQ(std::string(cipher.begin(), cipher.begin() + 11), expected);
  EXPECT_EQ(std::vector<uint8_t>(cipher.begin() + 11, cipher.end()), std::vector<uint8_t>(5, 5));
}

TEST(PassPhraseCipher, RoundTripsAnyText) {
  for (const std::string& text : {std::string(), std::string("x"), std::string(16, 'y'),
                                  std::string("Ärger über Öl — 日本語")}) {
    SCOPED_TRACE(text);
    const auto cipher = KRCFCreateEncryptedString(text, "phrase");
    ASSERT_TRUE(cipher.has_value());
    EXPECT_EQ(cipher->find_first_not_of(
                  "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/="),
              std::string::npos);
    EXPECT_EQ(KRCFCreateDecryptedString(*cipher, "phrase"), text);
  }
}

// The key of a pass phrase is kept between calls: a change of pass phrase, back and forth, must
// never encipher or decipher under the key of the one before.
TEST(PassPhraseCipher, EachPassPhraseUsesItsOwnKeyWhateverCameBefore) {
  const std::string text = "account 12345";
  const std::vector<std::string> phrases = {"first", "second", "first", "", "firs", "first"};
  std::vector<std::string> ciphers;
  for (const std::string& phrase : phrases) {
    const auto cipher = KRCFCreateEncryptedString(text, phrase);
    ASSERT_TRUE(cipher.has_value()) << phrase;
    ciphers.push_back(*cipher);
  }
  // The vector is zero: the same phrase gives the same cipher, another phrase another one.
  for (std::size_t i = 0; i < phrases.size(); ++i) {
    for (std::size_t j = 0; j < phrases.size(); ++j) {
      EXPECT_EQ(ciphers[i] == ciphers[j], phrases[i] == phrases[j]) << i << " " << j;
    }
  }
  for (std::size_t i = 0; i < phrases.size(); ++i) {
    EXPECT_EQ(KRCFCreateDecryptedString(ciphers[i], phrases[i]), text) << phrases[i];
    const std::string& other = phrases[(i + 1) % phrases.size()];
    if (other != phrases[i]) {
      EXPECT_NE(KRCFCreateDecryptedString(ciphers[i], other), text) << phrases[i] << " " << other;
    }
  }
}

TEST(PassPhraseCipher, BadInputGivesNullAndLogsNoSecret) {
  LogCapture log;
  const auto cipher = KRCFCreateEncryptedString("account 12345", "right phrase");
  ASSERT_TRUE(cipher.has_value());

  EXPECT_FALSE(KRCFCreateDecryptedString(*cipher, "wrong phrase").has_value());
  EXPECT_FALSE(KRCFCreateDecryptedString("not Base64 at all!", "right phrase").has_value());
  EXPECT_FALSE(KRCFCreateDecryptedString("YWJ", "right phrase").has_value());
  EXPECT_FALSE(KRCFCreateDecryptedString("", "right phrase").has_value());

  ASSERT_EQ(log.messages().size(), 4u);
  for (const std::string& message : log.messages()) {
    EXPECT_EQ(message.rfind("cdsaDecrypt: ", 0), 0u) << message;
  }
  const std::string all = log.all();
  for (const char* secret : {"account", "12345", "right phrase", "wrong phrase"}) {
    EXPECT_EQ(all.find(secret), std::string::npos) << secret;
  }
}
