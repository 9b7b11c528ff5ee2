#include "security/GcryptLibrary.h"

#include <string.h>

#include <mutex>

namespace quill {

bool GcryptLibrary::Ready() {
  static std::once_flag once;
  static bool ready = false;
  std::call_once(once, [] {
    // Another part of the process may have set the library up already; then only the version
    // check is ours to make.
    if (gcry_control(GCRYCTL_INITIALIZATION_FINISHED_P)) {
      ready = gcry_check_version(GCRYPT_VERSION) != nullptr;
      return;
    }
    if (gcry_check_version(GCRYPT_VERSION) == nullptr) return;
    // Keys live in ordinary memory and are wiped by their owners; the locked pool would only
    // add warnings for an unprivileged desktop process.
    gcry_control(GCRYCTL_DISABLE_SECMEM, 0);
    gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
    ready = true;
  });
  return ready;
}

CipherHandle GcryptLibrary::OpenCipher(int algorithm, int mode, const void* key, size_t key_length,
                                       bool allow_weak_key) {
  if (!Ready() || key == nullptr) return nullptr;
  gcry_cipher_hd_t raw = nullptr;
  if (gcry_cipher_open(&raw, algorithm, mode, 0) != 0) return nullptr;
  CipherHandle handle(raw);
  if (allow_weak_key) gcry_cipher_ctl(raw, GCRYCTL_SET_ALLOW_WEAK_KEY, nullptr, 1);
  gcry_error_t error = gcry_cipher_setkey(raw, key, key_length);
  if (error != 0 && !(allow_weak_key && gcry_err_code(error) == GPG_ERR_WEAK_KEY)) return nullptr;
  return handle;
}

void GcryptLibrary::Wipe(void* data, size_t length) {
  if (data != nullptr && length > 0) explicit_bzero(data, length);
}

}  // namespace quill
