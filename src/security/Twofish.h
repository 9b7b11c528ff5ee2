// Twofish in the C interface of the AES-candidate submissions: a key instance marked "FISH", a
// cipher instance, status codes, hexadecimal key and vector text; and RunCipher, the 256-bit ECB
// helper that the user-authentication token is enciphered with.
//
// The block cipher is libgcrypt's Twofish; this file keeps the interface's framing: key words in
// the byte order of the Twofish paper (byte 0 is the low byte of word 0), bit counts in and out,
// and the status codes. libgcrypt takes 128- and 256-bit keys: shorter keys are zero-padded to
// 128 bits and keys of 193 to 256 bits to 256, as the paper pads them; 192-bit keys are refused.
#pragma once

#include <cstdint>

typedef unsigned char BYTE;
typedef uint32_t DWORD;

inline constexpr BYTE DIR_ENCRYPT = 0;
inline constexpr BYTE DIR_DECRYPT = 1;
inline constexpr BYTE MODE_ECB = 1;
inline constexpr BYTE MODE_CBC = 2;
inline constexpr BYTE MODE_CFB1 = 3;  // accepted by cipherInit, refused by the block functions

// Status codes. Success is 1.
inline constexpr int kTwofishSuccess = 1;
inline constexpr int BAD_KEY_DIR = -1;
inline constexpr int BAD_KEY_MAT = -2;
inline constexpr int BAD_KEY_INSTANCE = -3;
inline constexpr int BAD_CIPHER_MODE = -4;
inline constexpr int BAD_CIPHER_STATE = -5;
inline constexpr int BAD_INPUT_LEN = -6;
inline constexpr int BAD_PARAMS = -7;
inline constexpr int BAD_IV_MAT = -8;

inline constexpr int BLOCK_SIZE = 128;  // bits per block
inline constexpr int MAX_KEY_BITS = 256;
inline constexpr int MAX_KEY_SIZE = 64;         // hexadecimal digits of the longest key
inline constexpr int MAX_IV_SIZE = 16;          // bytes of the initial vector
inline constexpr DWORD VALID_SIG = 0x48534946;  // "FISH", set by makeKey and cipherInit

struct keyInstance {
  BYTE direction;                      // DIR_ENCRYPT or DIR_DECRYPT
  int keyLen;                          // bits, rounded up to a multiple of 64
  char keyMaterial[MAX_KEY_SIZE + 4];  // the hexadecimal key text, NUL-terminated
  DWORD keySig;                        // VALID_SIG once makeKey has run
  int numRounds;                       // 16 for every key length
  DWORD key32[MAX_KEY_BITS / 32];      // the key bits, byte 0 the low byte of word 0
  bool keyed;                          // reKey accepted key32
};

struct cipherInstance {
  BYTE mode;                    // MODE_ECB, MODE_CBC or MODE_CFB1
  BYTE IV[MAX_IV_SIZE];         // initial vector, then the chaining block of CBC
  DWORD cipherSig;              // VALID_SIG once cipherInit has run
  DWORD iv32[BLOCK_SIZE / 32];  // the same vector as words
};

// Sets up key for direction with keyLen bits (8 to 256) of hexadecimal keyMaterial and keys it
// (reKey). With no or empty keyMaterial the key words are left zero for the caller to fill and
// the key is not yet usable. Returns 1, or BAD_KEY_INSTANCE for a null key, BAD_KEY_DIR for
// another direction, BAD_KEY_MAT for a length out of range, a non-hexadecimal or too short text,
// or a key length libgcrypt does not take.
int makeKey(keyInstance* key, BYTE direction, int keyLen, const char* keyMaterial);

// Sets up cipher for mode; modes other than ECB read 32 hexadecimal digits of initial vector from
// iv (a zero vector when iv is null). Returns 1, or BAD_PARAMS for a null cipher,
// BAD_CIPHER_MODE for an unknown mode, BAD_IV_MAT for a bad vector.
int cipherInit(cipherInstance* cipher, BYTE mode, const char* iv);

// Makes key usable from its key words. Returns 1, or BAD_KEY_INSTANCE for a null key or one that
// makeKey did not set up or when libgcrypt is unusable, BAD_KEY_MAT for a key length libgcrypt
// does not take.
int reKey(keyInstance* key);

// Enciphers or deciphers inputLen bits (a multiple of 128) from input to outBuffer; CBC carries
// its chaining block in the cipher instance from call to call. Returns the number of bits
// processed, or BAD_CIPHER_STATE, BAD_KEY_INSTANCE, BAD_PARAMS (null buffers), BAD_CIPHER_MODE
// (CFB1) or BAD_INPUT_LEN.
int blockEncrypt(cipherInstance* cipher, keyInstance* key, const BYTE* input, int inputLen,
                 BYTE* outBuffer);
int blockDecrypt(cipherInstance* cipher, keyInstance* key, const BYTE* input, int inputLen,
                 BYTE* outBuffer);

// Twofish-256 in ECB over n bytes (a multiple of 16) from in to out under the 32 key bytes;
// enciphers when decrypt is 0 and deciphers otherwise. Returns 0 when all 8n bits were
// processed; -1 for a null pointer, a negative length or one that is not a multiple of 16 (then
// nothing is written), or a failed set-up.
int RunCipher(int decrypt, unsigned char const* key, unsigned char const* in, int n,
              unsigned char* out);
