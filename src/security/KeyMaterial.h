// KeyMaterial: the key material this system shares with the print server, read from the key
// file instead of being built into the program.
//
// The key file is the fixed path kKeyFilePath under Paths' root. It is plain text: blank lines
// and lines starting with "#" are ignored; every other line is "name = value", the value being
// hexadecimal digits (either case; blanks between them are ignored). The names are
//   job-note-keys     240 bytes (480 digits): the key table of the enciphered job notes
//   job-note-vectors   96 bytes (192 digits): their six 16-byte initial vectors, in order
//   token-master-key   32 bytes (64 digits):  the master key of the user-authentication token
// An entry left out is not configured. An unknown name, a repeated one, a wrong length or a
// non-hexadecimal value makes the whole file malformed: then nothing is configured. Absent and
// malformed files are logged (never with key bytes). Callers must refuse to encipher with an
// entry that is not configured rather than fall back to plain text or another key.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace quill {

class KeyMaterial {
 public:
  static constexpr const char* kKeyFilePath = "/etc/quill/keys";
  static constexpr size_t kJobNoteKeysSize = 240;
  static constexpr size_t kJobNoteVectorsSize = 96;
  static constexpr size_t kTokenMasterKeySize = 32;

  KeyMaterial() = default;  // nothing configured
  ~KeyMaterial();
  KeyMaterial(const KeyMaterial&) = default;
  KeyMaterial& operator=(const KeyMaterial&) = default;

  // The process's key material, read from the key file on the first call.
  static const KeyMaterial& Shared();
  // Reads the key file again (after a test wrote, changed or removed it). References obtained
  // from Shared stay valid and see the new contents.
  static void Reload();

  // Key material from key-file text. Malformed text gives nothing configured and, when error is
  // not null, the line number and reason in *error.
  static KeyMaterial Parse(std::string_view text, std::string* error);

  // The entries, or nullptr when not configured.
  [[nodiscard]] const uint8_t* JobNoteKeys() const { return has_keys_ ? keys_.data() : nullptr; }
  [[nodiscard]] const uint8_t* JobNoteVectors() const {
    return has_vectors_ ? vectors_.data() : nullptr;
  }
  [[nodiscard]] const uint8_t* TokenMasterKey() const {
    return has_master_key_ ? master_key_.data() : nullptr;
  }

 private:
  void Clear();

  std::array<uint8_t, kJobNoteKeysSize> keys_ = {};
  std::array<uint8_t, kJobNoteVectorsSize> vectors_ = {};
  std::array<uint8_t, kTokenMasterKeySize> master_key_ = {};
  bool has_keys_ = false;
  bool has_vectors_ = false;
  bool has_master_key_ = false;
};

}  // namespace quill
