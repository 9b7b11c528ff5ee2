#include "security/DES.h"

#include <cstdint>
#include <cstring>

#include "security/GcryptLibrary.h"

namespace {

constexpr int kBlock = 8;
// First word of a saved schedule, so that usekey can tell ours from anything else.
constexpr unsigned long kScheduleMark = 0x51444553UL;

struct Schedule {
  bool keyed = false;
  bool decipher = false;
  uint8_t key[kBlock] = {};
  quill::CipherHandle cipher;
};

Schedule& schedule() {
  static Schedule the_schedule;
  return the_schedule;
}

void clear_schedule() {
  Schedule& s = schedule();
  s.cipher.reset();
  s.keyed = false;
  s.decipher = false;
  quill::GcryptLibrary::Wipe(s.key, sizeof s.key);
}

void set_schedule(const uint8_t* key, bool decipher) {
  clear_schedule();
  Schedule& s = schedule();
  // Classic DES takes every key, the few weak ones included.
  s.cipher = quill::GcryptLibrary::OpenCipher(GCRY_CIPHER_DES, GCRY_CIPHER_MODE_ECB, key, kBlock,
                                              /*allow_weak_key=*/true);
  if (!s.cipher) return;
  std::memcpy(s.key, key, kBlock);
  s.decipher = decipher;
  s.keyed = true;
}

}  // namespace

void deskey(unsigned char* key, short direction) {
  if (key == nullptr) {
    clear_schedule();
    return;
  }
  set_schedule(key, direction == DE1);
}

void des(unsigned char* in, unsigned char* out) {
  Schedule& s = schedule();
  if (in == nullptr || out == nullptr || !s.keyed) return;
  uint8_t block[kBlock];
  std::memcpy(block, in, kBlock);
  if (s.decipher) {
    gcry_cipher_decrypt(s.cipher.get(), block, kBlock, nullptr, 0);
  } else {
    gcry_cipher_encrypt(s.cipher.get(), block, kBlock, nullptr, 0);
  }
  std::memcpy(out, block, kBlock);
  quill::GcryptLibrary::Wipe(block, sizeof block);
}

void cpkey(unsigned long* into) {
  if (into == nullptr) return;
  const Schedule& s = schedule();
  std::memset(into, 0, sizeof(unsigned long) * kDESScheduleWords);
  if (!s.keyed) return;
  into[0] = kScheduleMark;
  into[1] = s.decipher ? 1 : 0;
  for (int i = 0; i < kBlock; ++i) into[2 + i] = s.key[i];
}

void usekey(unsigned long* from) {
  if (from == nullptr) return;
  if (from[0] != kScheduleMark || from[1] > 1) {
    clear_schedule();
    return;
  }
  uint8_t key[kBlock];
  for (int i = 0; i < kBlock; ++i) key[i] = static_cast<uint8_t>(from[2 + i]);
  set_schedule(key, from[1] == 1);
  quill::GcryptLibrary::Wipe(key, sizeof key);
}
