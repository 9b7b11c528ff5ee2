// GcryptLibrary: the one place that starts libgcrypt, which computes every block cipher, digest
// and key derivation of the security primitives, plus the small RAII helpers the ciphers share.
#pragma once

#include <gcrypt.h>

#include <cstddef>
#include <memory>

namespace quill {

struct CipherHandleCloser {
  void operator()(gcry_cipher_hd_t handle) const { gcry_cipher_close(handle); }
};
using CipherHandle = std::unique_ptr<gcry_cipher_handle, CipherHandleCloser>;

class GcryptLibrary {
 public:
  // Checks the library version and finishes its initialisation, once per process. True when the
  // library is usable; false (every later call too) when the installed libgcrypt is older than
  // the one the program was built against.
  [[nodiscard]] static bool Ready();

  // A cipher handle of `algorithm` in `mode`, keyed with `key`. Null when the library is not
  // ready, the handle cannot be opened or the key is refused. With `allow_weak_key` a key that
  // the library calls weak (DES) is used as it is, as classic DES implementations do.
  [[nodiscard]] static CipherHandle OpenCipher(int algorithm, int mode, const void* key,
                                               size_t key_length, bool allow_weak_key = false);

  // Clears memory that held key or secret text in a way the compiler cannot drop.
  static void Wipe(void* data, size_t length);
};

}  // namespace quill
