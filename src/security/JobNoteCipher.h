// JobNoteCipher: the two enciphered forms of a job-note text that the server accepts, DES and
// AES-256-CBC, each written as upper-case hexadecimal text.
#pragma once

#include <string>
#include <string_view>

namespace quill {

class JobNoteCipher {
 public:
  static constexpr int kDESKeySize = 8;
  static constexpr int kAESKeySize = 32;
  static constexpr int kAESVectorSize = 16;
  // The cipher buffer of the AES form: texts of up to 270 bytes fit.
  static constexpr int kAESBufferSize = 282;

  // DES form: the text's bytes padded to whole 8-byte blocks with k bytes of value k (1 to 8; a
  // full block when the length is already a multiple of 8), each block enciphered on its own
  // under the 8-byte key (this replaces the process-wide DES key). Empty for a null key.
  [[nodiscard]] static std::string DESHex(std::string_view text, const unsigned char* key);

  // AES form: the text up to its first NUL, with that NUL and the padding of
  // AES256CBC::DoAES256Encrypt, enciphered under the 32-byte key and 16-byte vector into the
  // 282-byte buffer. Empty for a null key or vector, or a text too long for the buffer.
  [[nodiscard]] static std::string AESHex(std::string_view text, const unsigned char* key,
                                          const unsigned char* iv);
};

}  // namespace quill
