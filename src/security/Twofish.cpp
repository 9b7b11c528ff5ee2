#include "security/Twofish.h"

#include <climits>
#include <cstring>

#include "foundation/CStringUtils.h"
#include "security/GcryptLibrary.h"

namespace {

constexpr int kBlockBytes = BLOCK_SIZE / 8;
constexpr int kRounds = 16;

// Reads bits/4 hexadecimal digits into words, two digits per byte, byte 0 the low byte of word 0.
bool parse_hex_words(int bits, const char* text, DWORD* words) {
  const int digits = bits / 4;
  for (int i = 0; i < digits; ++i) {
    const int value = HexDigitValue(text[i]);
    if (value < 0) return false;  // a bad digit or the text ended early
    // Digit i is the high nibble of byte i/2 when i is even.
    words[i / 8] |= static_cast<DWORD>(value) << (4 * ((i ^ 1) & 7));
  }
  return true;
}

// Bytes of key that libgcrypt is given for a key of key_bits, or 0 when it takes none.
size_t gcrypt_key_bytes(int key_bits) {
  if (key_bits > 0 && key_bits <= 128) return 16;
  if (key_bits > 192 && key_bits <= MAX_KEY_BITS) return 32;
  return 0;
}

void key_bytes(const keyInstance& key, uint8_t* bytes, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    bytes[i] = static_cast<uint8_t>(key.key32[i / 4] >> (8 * (i % 4)));
  }
}

void set_iv_words(cipherInstance* cipher) {
  for (int i = 0; i < MAX_IV_SIZE / 4; ++i) {
    cipher->iv32[i] = static_cast<DWORD>(cipher->IV[4 * i]) |
                      static_cast<DWORD>(cipher->IV[4 * i + 1]) << 8 |
                      static_cast<DWORD>(cipher->IV[4 * i + 2]) << 16 |
                      static_cast<DWORD>(cipher->IV[4 * i + 3]) << 24;
  }
}

int run_blocks(cipherInstance* cipher, keyInstance* key, const BYTE* input, int inputLen,
               BYTE* outBuffer, bool decipher) {
  if (cipher == nullptr || cipher->cipherSig != VALID_SIG) return BAD_CIPHER_STATE;
  if (key == nullptr || key->keySig != VALID_SIG || !key->keyed) return BAD_KEY_INSTANCE;
  if (input == nullptr || outBuffer == nullptr) return BAD_PARAMS;
  if (cipher->mode != MODE_ECB && cipher->mode != MODE_CBC) return BAD_CIPHER_MODE;
  if (inputLen < 0 || inputLen % BLOCK_SIZE != 0) return BAD_INPUT_LEN;
  if (inputLen == 0) return 0;

  uint8_t bytes[32];
  const size_t length = gcrypt_key_bytes(key->keyLen);
  std::memset(bytes, 0, sizeof bytes);
  key_bytes(*key, bytes, length);
  const bool cbc = cipher->mode == MODE_CBC;
  quill::CipherHandle handle = quill::GcryptLibrary::OpenCipher(
      GCRY_CIPHER_TWOFISH, cbc ? GCRY_CIPHER_MODE_CBC : GCRY_CIPHER_MODE_ECB, bytes, length);
  quill::GcryptLibrary::Wipe(bytes, sizeof bytes);
  if (!handle) return BAD_KEY_INSTANCE;
  if (cbc) gcry_cipher_setiv(handle.get(), cipher->IV, MAX_IV_SIZE);

  const size_t count = static_cast<size_t>(inputLen / 8);
  // The next chaining block is the last cipher block: the input's when deciphering, which may
  // be overwritten when input and output are the same buffer.
  uint8_t next_iv[MAX_IV_SIZE];
  if (cbc && decipher) std::memcpy(next_iv, input + count - kBlockBytes, kBlockBytes);
  // libgcrypt works in place when given no separate input.
  const BYTE* source = input == outBuffer ? nullptr : input;
  const size_t source_count = source == nullptr ? 0 : count;
  const gcry_error_t error =
      decipher ? gcry_cipher_decrypt(handle.get(), outBuffer, count, source, source_count)
               : gcry_cipher_encrypt(handle.get(), outBuffer, count, source, source_count);
  if (error != 0) return BAD_CIPHER_STATE;
  if (cbc) {
    std::memcpy(cipher->IV, decipher ? next_iv : outBuffer + count - kBlockBytes, kBlockBytes);
    set_iv_words(cipher);
  }
  return inputLen;
}

}  // namespace

int makeKey(keyInstance* key, BYTE direction, int keyLen, const char* keyMaterial) {
  if (key == nullptr) return BAD_KEY_INSTANCE;
  if (direction != DIR_ENCRYPT && direction != DIR_DECRYPT) return BAD_KEY_DIR;
  if (keyLen > MAX_KEY_BITS || keyLen < 8) return BAD_KEY_MAT;

  key->keySig = VALID_SIG;
  key->direction = direction;
  key->keyLen = (keyLen + 63) & ~63;
  key->numRounds = kRounds;
  key->keyed = false;
  std::memset(key->key32, 0, sizeof key->key32);
  std::memset(key->keyMaterial, 0, sizeof key->keyMaterial);

  // Without key text the caller fills the key words and calls reKey itself.
  if (keyMaterial == nullptr || keyMaterial[0] == '\0') return kTwofishSuccess;
  if (!parse_hex_words(keyLen, keyMaterial, key->key32)) {
    std::memset(key->key32, 0, sizeof key->key32);
    return BAD_KEY_MAT;
  }
  std::memcpy(key->keyMaterial, keyMaterial, static_cast<size_t>(keyLen / 4));
  return reKey(key);
}

int cipherInit(cipherInstance* cipher, BYTE mode, const char* iv) {
  if (cipher == nullptr) return BAD_PARAMS;
  if (mode != MODE_ECB && mode != MODE_CBC && mode != MODE_CFB1) return BAD_CIPHER_MODE;
  std::memset(cipher->IV, 0, sizeof cipher->IV);
  std::memset(cipher->iv32, 0, sizeof cipher->iv32);
  if (mode != MODE_ECB && iv != nullptr) {
    if (!parse_hex_words(BLOCK_SIZE, iv, cipher->iv32)) {
      std::memset(cipher->iv32, 0, sizeof cipher->iv32);
      return BAD_IV_MAT;
    }
    for (int i = 0; i < MAX_IV_SIZE; ++i) {
      cipher->IV[i] = static_cast<BYTE>(cipher->iv32[i / 4] >> (8 * (i % 4)));
    }
  }
  cipher->mode = mode;
  cipher->cipherSig = VALID_SIG;
  return kTwofishSuccess;
}

int reKey(keyInstance* key) {
  if (key == nullptr || key->keySig != VALID_SIG) return BAD_KEY_INSTANCE;
  key->keyed = false;
  if (gcrypt_key_bytes(key->keyLen) == 0) return BAD_KEY_MAT;
  if (!quill::GcryptLibrary::Ready()) return BAD_KEY_INSTANCE;
  // Bits beyond the key length take no part in the key.
  for (int word = key->keyLen / 32; word < MAX_KEY_BITS / 32; ++word) key->key32[word] = 0;
  key->keyed = true;
  return kTwofishSuccess;
}

int blockEncrypt(cipherInstance* cipher, keyInstance* key, const BYTE* input, int inputLen,
                 BYTE* outBuffer) {
  return run_blocks(cipher, key, input, inputLen, outBuffer, /*decipher=*/false);
}

int blockDecrypt(cipherInstance* cipher, keyInstance* key, const BYTE* input, int inputLen,
                 BYTE* outBuffer) {
  return run_blocks(cipher, key, input, inputLen, outBuffer, /*decipher=*/true);
}

int RunCipher(int decrypt, unsigned char const* key, unsigned char const* in, int n,
              unsigned char* out) {
  if (key == nullptr || in == nullptr || out == nullptr) return -1;
  if (n < 0 || n % kBlockBytes != 0 || n > INT_MAX / 8) return -1;

  keyInstance key_instance;
  cipherInstance cipher_instance;
  int result = -1;
  if (makeKey(&key_instance, DIR_ENCRYPT, MAX_KEY_BITS, nullptr) == kTwofishSuccess &&
      cipherInit(&cipher_instance, MODE_ECB, nullptr) == kTwofishSuccess) {
    for (int i = 0; i < MAX_KEY_BITS / 32; ++i) {
      key_instance.key32[i] =
          static_cast<DWORD>(key[4 * i]) | static_cast<DWORD>(key[4 * i + 1]) << 8 |
          static_cast<DWORD>(key[4 * i + 2]) << 16 | static_cast<DWORD>(key[4 * i + 3]) << 24;
    }
    if (reKey(&key_instance) == kTwofishSuccess) {
      const int bits = decrypt == 0 ? blockEncrypt(&cipher_instance, &key_instance, in, n * 8, out)
                                    : blockDecrypt(&cipher_instance, &key_instance, in, n * 8, out);
      result = bits == n * 8 ? 0 : -1;
    }
  }
  quill::GcryptLibrary::Wipe(&key_instance, sizeof key_instance);
  return result;
}
