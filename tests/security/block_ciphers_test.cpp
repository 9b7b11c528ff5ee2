#include <gcrypt.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "security/AES256CBC.h"
#include "security/Bytes.h"
#include "security/DES.h"
#include "security/GcryptLibrary.h"
#include "security/Hex.h"
#include "security/JobNoteCipher.h"
#include "security/Twofish.h"

using quill::testing::Bytes;
using quill::testing::Hex;

namespace {

// Deciphers with libgcrypt directly, so that padding checks do not lean on the code under test.
std::vector<uint8_t> GcryptDecrypt(int algorithm, int mode, const std::vector<uint8_t>& key,
                                   const std::vector<uint8_t>& iv, std::vector<uint8_t> data) {
  EXPECT_TRUE(quill::GcryptLibrary::Ready());
  gcry_cipher_hd_t handle = nullptr;
  EXPECT_EQ(gcry_cipher_open(&handle, algorithm, mode, 0), 0u);
  gcry_cipher_setkey(handle, key.data(), key.size());
  if (!iv.empty()) gcry_cipher_setiv(handle, iv.data(), iv.size());
  EXPECT_EQ(gcry_cipher_decrypt(handle, data.data(), data.size(), nullptr, 0), 0u);
  gcry_cipher_close(handle);
  return data;
}

const std::vector<uint8_t> kFips197Key256 =
    Bytes("000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f");

}  // namespace

// ---- AES-256-CBC --------------------------------------------------------------------------

TEST(AES256CBC, MatchesPublishedVectors) {
  // FIPS-197 C.3: with a zero vector the first CBC block is the plain AES-256 block.
  AES256CBC aes;
  const std::vector<uint8_t> zero_iv(16, 0);
  aes.MakeKey(reinterpret_cast<const char*>(kFips197Key256.data()),
              reinterpret_cast<const char*>(zero_iv.data()));
  std::vector<uint8_t> block = Bytes("00112233445566778899aabbccddeeff");
  aes.Encrypt(reinterpret_cast<char*>(block.data()), reinterpret_cast<char*>(block.data()), 16);
  EXPECT_EQ(Hex(block), "8ea2b7ca516745bfeafc49904b496089");

  // SP 800-38A F.2.5 (CBC-AES256), fed in two calls so the chaining block must carry over.
  const std::vector<uint8_t> key =
      Bytes("603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4");
  const std::vector<uint8_t> iv = Bytes("000102030405060708090a0b0c0d0e0f");
  const std::vector<uint8_t> plain = Bytes(
      "6bc1bee22e409f96e93d7e117393172a ae2d8a571e03ac9c9eb76fac45af8e51"
      "30c81c46a35ce411e5fbc1191a0a52ef f69f2445df4f9b17ad2b417be66c3710");
  AES256CBC chained;
  chained.MakeKey(reinterpret_cast<const char*>(key.data()),
                  reinterpret_cast<const char*>(iv.data()));
  std::vector<uint8_t> out(64);
  auto* in = reinterpret_cast<const char*>(plain.data());
  chained.Encrypt(in, reinterpret_cast<char*>(out.data()), 16);
  chained.Encrypt(in + 16, reinterpret_cast<char*>(out.data()) + 16, 48);
  EXPECT_EQ(Hex(out),
            "f58c4c04d6e5f1ba779eabfb5f7bfbd6"
            "9cfc4e967edb808d679f777bc6702c7d"
            "39f23369a9d9bacfa530e26304231461"
            "b2eb05e2c39be9fcda6c19078c6a9d1b");
}

TEST(AES256CBC, EncryptIgnoresPartialBlocksAndUnkeyedUse) {
  std::vector<char> out(32, 'x');
  const std::string in(32, 'a');
  AES256CBC unkeyed;
  unkeyed.Encrypt(in.data(), out.data(), 16);
  EXPECT_EQ(std::string(out.begin(), out.end()), std::string(32, 'x'));

  AES256CBC aes;
  aes.MakeKey(reinterpret_cast<const char*>(kFips197Key256.data()), in.data(), 24, 16);
  EXPECT_FALSE(aes.Ready()) << "a key length other than 32 is refused";
  aes.MakeKey(reinterpret_cast<const char*>(kFips197Key256.data()), in.data());
  ASSERT_TRUE(aes.Ready());
  aes.Encrypt(in.data(), out.data(), 20);
  aes.Encrypt(in.data(), out.data(), 0);
  EXPECT_EQ(std::string(out.begin(), out.end()), std::string(32, 'x'));
}

TEST(AES256CBC, DoAES256EncryptPadsTheTextAndItsNul) {
  struct Case {
    std::string text;
    int cipher_length;
    uint8_t pad_value;
    int pad_count;
  };
  const std::vector<Case> cases = {
      {"", 16, 14, 15},
      {std::string(14, 'n'), 16, 0, 1},
      {std::string(15, 'n'), 32, 15, 16},
      {std::string(16, 'n'), 32, 14, 15},
  };
  std::vector<char> key(kFips197Key256.begin(), kFips197Key256.end());
  std::vector<char> iv(16, 7);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text.size());
    std::string text = c.text;
    std::vector<char> out(282, 'x');
    int length = static_cast<int>(out.size());
    AES256CBC().DoAES256Encrypt(key.data(), iv.data(), text.data(), out.data(), &length);
    ASSERT_EQ(length, c.cipher_length);
    EXPECT_TRUE(std::all_of(out.begin() + length, out.end(), [](char b) { return b == 0; }))
        << "the whole buffer is cleared first";

    const std::vector<uint8_t> plain =
        GcryptDecrypt(GCRY_CIPHER_AES256, GCRY_CIPHER_MODE_CBC, kFips197Key256,
                      std::vector<uint8_t>(iv.begin(), iv.end()),
                      std::vector<uint8_t>(out.begin(), out.begin() + length));
    EXPECT_EQ(std::string(plain.begin(), plain.begin() + c.text.size()), c.text);
    EXPECT_EQ(plain[c.text.size()], 0);
    EXPECT_EQ(std::vector<uint8_t>(plain.end() - c.pad_count, plain.end()),
              std::vector<uint8_t>(c.pad_count, c.pad_value));

    std::vector<char> back(64);
    int back_length = static_cast<int>(back.size());
    AES256CBC().DoAES256Decrypt(key.data(), iv.data(), out.data(), length, back.data(),
                                &back_length);
    EXPECT_EQ(back_length, length);
    EXPECT_STREQ(back.data(), c.text.c_str());
  }
}

TEST(AES256CBC, DoAES256EncryptRefusesWhatDoesNotFit) {
  std::vector<char> key(32, 1), iv(16, 2);
  std::string text(16, 't');  // needs 32 bytes
  std::vector<char> out(20, 'x');
  int length = static_cast<int>(out.size());
  AES256CBC().DoAES256Encrypt(key.data(), iv.data(), text.data(), out.data(), &length);
  EXPECT_EQ(length, 0);
  EXPECT_EQ(std::string(out.begin(), out.end()), std::string(20, '\0'));

  length = 20;
  AES256CBC().DoAES256Encrypt(nullptr, iv.data(), text.data(), out.data(), &length);
  AES256CBC().DoAES256Encrypt(key.data(), iv.data(), text.data(), out.data(), nullptr);
  EXPECT_EQ(length, 20) << "null pointers leave everything untouched";

  int back_length = 20;
  AES256CBC().DoAES256Decrypt(key.data(), iv.data(), out.data(), 17, out.data(), &back_length);
  EXPECT_EQ(back_length, 0);
}

// ---- DES ------------------------------------------------------------------------------------

TEST(DES, MatchesPublishedVectorsBothWays) {
  struct Case {
    const char* key;
    const char* plain;
    const char* cipher;
  };
  const Case cases[] = {
      {"0123456789abcdef", "4e6f772069732074", "3fa40e8a984d4815"},  // "Now is t"
      {"133457799bbcdff1", "0123456789abcdef", "85e813540f0ab405"},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> key = Bytes(c.key);
    std::vector<uint8_t> block = Bytes(c.plain);
    deskey(key.data(), EN0);
    des(block.data(), block.data());
    EXPECT_EQ(Hex(block), c.cipher);
    deskey(key.data(), DE1);
    des(block.data(), block.data());
    EXPECT_EQ(Hex(block), c.plain);
  }
}

TEST(DES, SavedScheduleCanBeRestored) {
  std::vector<uint8_t> key = Bytes("0123456789abcdef");
  deskey(key.data(), EN0);
  unsigned long saved[kDESScheduleWords];
  cpkey(saved);

  std::vector<uint8_t> other = Bytes("133457799bbcdff1");
  deskey(other.data(), DE1);
  usekey(saved);
  std::vector<uint8_t> block = Bytes("4e6f772069732074");
  std::vector<uint8_t> out(8);
  des(block.data(), out.data());
  EXPECT_EQ(Hex(out), "3fa40e8a984d4815");

  unsigned long foreign[kDESScheduleWords] = {};
  usekey(foreign);
  std::vector<uint8_t> untouched = block;
  des(block.data(), untouched.data());
  EXPECT_EQ(untouched, block) << "no key after a schedule cpkey did not write";
}

// ---- Job-note forms -------------------------------------------------------------------------

TEST(JobNoteCipher, DESFormPadsToWholeBlocks) {
  const std::vector<uint8_t> key = Bytes("0123456789abcdef");
  struct Case {
    std::string note;
    size_t hex_length;
    uint8_t pad;
  };
  const Case cases[] = {{"1234567", 16, 1}, {"12345678", 32, 8}, {"", 16, 8}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.note);
    const std::string hex = quill::JobNoteCipher::DESHex(c.note, key.data());
    ASSERT_EQ(hex.size(), c.hex_length);
    EXPECT_EQ(hex.find_first_not_of("0123456789ABCDEF"), std::string::npos);
    const std::vector<uint8_t> plain =
        GcryptDecrypt(GCRY_CIPHER_DES, GCRY_CIPHER_MODE_ECB, key, {}, Bytes(hex));
    EXPECT_EQ(std::string(plain.begin(), plain.begin() + c.note.size()), c.note);
    EXPECT_EQ(std::vector<uint8_t>(plain.begin() + c.note.size(), plain.end()),
              std::vector<uint8_t>(c.hex_length / 2 - c.note.size(), c.pad));
  }
  EXPECT_EQ(quill::JobNoteCipher::DESHex("x", nullptr), "");
}

TEST(JobNoteCipher, AESFormUsesTheWholeTextUpToTheBuffer) {
  std::vector<uint8_t> iv(16, 9);
  const std::string hex =
      quill::JobNoteCipher::AESHex("secret note", kFips197Key256.data(), iv.data());
  ASSERT_EQ(hex.size(), 32u);
  const std::vector<uint8_t> plain =
      GcryptDecrypt(GCRY_CIPHER_AES256, GCRY_CIPHER_MODE_CBC, kFips197Key256, iv, Bytes(hex));
  EXPECT_STREQ(reinterpret_cast<const char*>(plain.data()), "secret note");

  EXPECT_EQ(
      quill::JobNoteCipher::AESHex(std::string(270, 'a'), kFips197Key256.data(), iv.data()).size(),
      2u * 272);
  EXPECT_EQ(quill::JobNoteCipher::AESHex(std::string(271, 'a'), kFips197Key256.data(), iv.data()),
            "")
      << "a cipher longer than the 282-byte buffer is refused, not overrun";
}

TEST(toHex, WritesUpperCaseDigitsWithoutTerminator) {
  const unsigned char bytes[] = {0x00, 0xAB, 0x5F};
  char out[8];
  std::memset(out, '#', sizeof out);
  toHex(bytes, 3, out);
  EXPECT_EQ(std::string(out, 8), "00AB5F##");

  std::memset(out, '#', sizeof out);
  toHex(bytes, 0, out);
  toHex(bytes, -1, out);
  toHex(static_cast<const unsigned char*>(nullptr), 2, out);
  EXPECT_EQ(std::string(out, 8), "########");
}

// ---- Twofish --------------------------------------------------------------------------------

namespace {

// Twofish authors' known answers for 256-bit keys and a zero block.
struct TwofishVector {
  const char* key;
  const char* cipher;
};
const TwofishVector kTwofish256[] = {
    {"0000000000000000000000000000000000000000000000000000000000000000",
     "57ff739d4dc92c1bd7fc01700cc8216f"},
    {"0123456789abcdeffedcba987654321000112233445566778899aabbccddeeff",
     "37527be0052334b89f0cfccae87cfa20"},
};

}  // namespace

TEST(Twofish, RunCipherMatchesPublishedVectors) {
  for (const TwofishVector& v : kTwofish256) {
    SCOPED_TRACE(v.key);
    std::vector<uint8_t> key = Bytes(v.key);
    std::vector<uint8_t> block(16, 0);
    std::vector<uint8_t> out(16);
    ASSERT_EQ(RunCipher(0, key.data(), block.data(), 16, out.data()), 0);
    EXPECT_EQ(Hex(out), v.cipher);
    ASSERT_EQ(RunCipher(1, key.data(), out.data(), 16, block.data()), 0);
    EXPECT_EQ(block, std::vector<uint8_t>(16, 0));
  }
}

TEST(Twofish, ReferenceInterfaceTakesHexadecimalKeys) {
  for (const TwofishVector& v : kTwofish256) {
    keyInstance key;
    cipherInstance cipher;
    ASSERT_EQ(makeKey(&key, DIR_ENCRYPT, 256, v.key), kTwofishSuccess);
    EXPECT_EQ(key.keySig, VALID_SIG);
    ASSERT_EQ(cipherInit(&cipher, MODE_ECB, nullptr), kTwofishSuccess);
    const BYTE zero[16] = {};
    BYTE out[16];
    EXPECT_EQ(blockEncrypt(&cipher, &key, zero, 128, out), 128);
    EXPECT_EQ(Hex(out, 16), v.cipher);
  }
  // A 128-bit key of the same authors' table.
  keyInstance key;
  cipherInstance cipher;
  ASSERT_EQ(makeKey(&key, DIR_ENCRYPT, 128, "00000000000000000000000000000000"), 1);
  ASSERT_EQ(cipherInit(&cipher, MODE_ECB, nullptr), 1);
  const BYTE zero[16] = {};
  BYTE out[16];
  EXPECT_EQ(blockEncrypt(&cipher, &key, zero, 128, out), 128);
  EXPECT_EQ(Hex(out, 16), "9f589f5cf6122c32b6bfec2f2ae8c35a");
}

TEST(Twofish, CbcCarriesTheChainingBlockAcrossCalls) {
  keyInstance key;
  cipherInstance one_call, two_calls;
  ASSERT_EQ(makeKey(&key, DIR_ENCRYPT, 256, kTwofish256[1].key), 1);
  const char* iv = "000102030405060708090A0B0C0D0E0F";
  ASSERT_EQ(cipherInit(&one_call, MODE_CBC, iv), 1);
  ASSERT_EQ(cipherInit(&two_calls, MODE_CBC, iv), 1);
  EXPECT_EQ(two_calls.IV[1], 0x01);
  BYTE plain[32];
  for (int i = 0; i < 32; ++i) plain[i] = static_cast<BYTE>(i * 7);
  BYTE whole[32], halves[32];
  ASSERT_EQ(blockEncrypt(&one_call, &key, plain, 256, whole), 256);
  ASSERT_EQ(blockEncrypt(&two_calls, &key, plain, 128, halves), 128);
  ASSERT_EQ(blockEncrypt(&two_calls, &key, plain + 16, 128, halves + 16), 128);
  EXPECT_EQ(Hex(whole, 32), Hex(halves, 32));

  cipherInstance back;
  ASSERT_EQ(cipherInit(&back, MODE_CBC, iv), 1);
  BYTE round_trip[32];
  ASSERT_EQ(blockDecrypt(&back, &key, whole, 256, round_trip), 256);
  EXPECT_EQ(Hex(round_trip, 32), Hex(plain, 32));
}

TEST(Twofish, StatusCodes) {
  keyInstance key;
  cipherInstance cipher;
  const char* good = kTwofish256[0].key;
  EXPECT_EQ(makeKey(nullptr, DIR_ENCRYPT, 256, good), BAD_KEY_INSTANCE);
  EXPECT_EQ(makeKey(&key, 2, 256, good), BAD_KEY_DIR);
  EXPECT_EQ(makeKey(&key, DIR_ENCRYPT, 4, good), BAD_KEY_MAT);
  EXPECT_EQ(makeKey(&key, DIR_ENCRYPT, 264, good), BAD_KEY_MAT);
  EXPECT_EQ(makeKey(&key, DIR_ENCRYPT, 256, "00zz"), BAD_KEY_MAT);
  EXPECT_EQ(makeKey(&key, DIR_ENCRYPT, 256, "0011"), BAD_KEY_MAT) << "too few digits";
  EXPECT_EQ(makeKey(&key, DIR_ENCRYPT, 192, good), BAD_KEY_MAT) << "192-bit keys are not taken";
  EXPECT_EQ(makeKey(&key, DIR_DECRYPT, 200, nullptr), kTwofishSuccess);
  EXPECT_EQ(key.keyLen, 256);

  EXPECT_EQ(cipherInit(nullptr, MODE_ECB, nullptr), BAD_PARAMS);
  EXPECT_EQ(cipherInit(&cipher, 4, nullptr), BAD_CIPHER_MODE);
  EXPECT_EQ(cipherInit(&cipher, MODE_CBC, "not hexadecimal at all........."), BAD_IV_MAT);

  const BYTE in[32] = {};
  BYTE out[32];
  std::memset(&cipher, 0, sizeof cipher);
  ASSERT_EQ(makeKey(&key, DIR_ENCRYPT, 256, good), 1);
  EXPECT_EQ(blockEncrypt(&cipher, &key, in, 128, out), BAD_CIPHER_STATE);
  ASSERT_EQ(cipherInit(&cipher, MODE_ECB, nullptr), 1);
  EXPECT_EQ(blockEncrypt(&cipher, &key, in, 100, out), BAD_INPUT_LEN);
  EXPECT_EQ(blockEncrypt(&cipher, &key, nullptr, 128, out), BAD_PARAMS);
  EXPECT_EQ(blockEncrypt(&cipher, nullptr, in, 128, out), BAD_KEY_INSTANCE);
  keyInstance unkeyed;
  ASSERT_EQ(makeKey(&unkeyed, DIR_ENCRYPT, 256, nullptr), 1);
  EXPECT_EQ(blockEncrypt(&cipher, &unkeyed, in, 128, out), BAD_KEY_INSTANCE)
      << "key words are not usable before reKey";
  EXPECT_EQ(reKey(&unkeyed), 1);
  EXPECT_EQ(blockEncrypt(&cipher, &unkeyed, in, 128, out), 128);
  ASSERT_EQ(cipherInit(&cipher, MODE_CFB1, "00000000000000000000000000000000"), 1);
  EXPECT_EQ(blockEncrypt(&cipher, &key, in, 128, out), BAD_CIPHER_MODE);
}

TEST(Twofish, RunCipherRefusesBadLengthsWithoutWriting) {
  std::vector<uint8_t> key(32, 3);
  std::vector<uint8_t> in(32, 1);
  std::vector<uint8_t> out(32, 0xEE);
  EXPECT_EQ(RunCipher(0, key.data(), in.data(), 20, out.data()), -1);
  EXPECT_EQ(RunCipher(1, key.data(), in.data(), -16, out.data()), -1);
  EXPECT_EQ(RunCipher(0, nullptr, in.data(), 16, out.data()), -1);
  EXPECT_EQ(RunCipher(0, key.data(), in.data(), 16, nullptr), -1);
  EXPECT_EQ(out, std::vector<uint8_t>(32, 0xEE));
  EXPECT_EQ(RunCipher(0, key.data(), in.data(), 0, out.data()), 0);
}
