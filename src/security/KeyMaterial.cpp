#include "security/KeyMaterial.h"

#include <fstream>
#include <optional>
#include <string>

#include "foundation/CStringUtils.h"
#include "platform/Log.h"
#include "platform/Paths.h"
#include "security/GcryptLibrary.h"

namespace quill {
namespace {

// A key file is a few lines; anything much larger is not one.
constexpr std::streamsize kMaxFileSize = 64 * 1024;

struct Shared {
  KeyMaterial material;
  bool loaded = false;
};

Shared& shared() {
  static Shared the_shared;
  return the_shared;
}

std::string_view trim(std::string_view text) {
  const char* blanks = " \t\r";
  const size_t first = text.find_first_not_of(blanks);
  if (first == std::string_view::npos) return {};
  const size_t last = text.find_last_not_of(blanks);
  return text.substr(first, last - first + 1);
}

// Reads exactly `size` bytes of hexadecimal text (blanks ignored) into out.
std::optional<std::string> read_hex(std::string_view value, uint8_t* out, size_t size) {
  size_t digits = 0;
  for (char c : value) {
    if (c == ' ' || c == '\t') continue;
    const int nibble = HexDigitValue(c);
    if (nibble < 0) return "value is not hexadecimal";
    if (digits / 2 >= size) return "value is too long";
    if (digits % 2 == 0) {
      out[digits / 2] = static_cast<uint8_t>(nibble << 4);
    } else {
      out[digits / 2] |= static_cast<uint8_t>(nibble);
    }
    ++digits;
  }
  if (digits != size * 2) return "value is too short";
  return std::nullopt;
}

void load(Shared& into) {
  into.material = KeyMaterial();
  into.loaded = true;
  const std::string path = Paths::Resolve(KeyMaterial::kKeyFilePath);
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    PanelLog("KeyMaterial::Load no key file at %s; enciphered job notes and tokens are off",
             path.c_str());
    return;
  }
  std::string text;
  text.resize(static_cast<size_t>(kMaxFileSize) + 1);
  file.read(text.data(), kMaxFileSize + 1);
  text.resize(static_cast<size_t>(file.gcount()));
  std::string error;
  if (text.size() > static_cast<size_t>(kMaxFileSize)) {
    error = "file is too large";
  } else {
    into.material = KeyMaterial::Parse(text, &error);
  }
  GcryptLibrary::Wipe(text.data(), text.size());
  if (!error.empty()) {
    PanelLog("KeyMaterial::Load %s: %s; nothing configured", path.c_str(), error.c_str());
  }
}

}  // namespace

KeyMaterial::~KeyMaterial() { Clear(); }

void KeyMaterial::Clear() {
  GcryptLibrary::Wipe(keys_.data(), keys_.size());
  GcryptLibrary::Wipe(vectors_.data(), vectors_.size());
  GcryptLibrary::Wipe(master_key_.data(), master_key_.size());
  has_keys_ = has_vectors_ = has_master_key_ = false;
}

const KeyMaterial& KeyMaterial::Shared() {
  auto& state = shared();
  if (!state.loaded) load(state);
  return state.material;
}

void KeyMaterial::Reload() { load(shared()); }

KeyMaterial KeyMaterial::Parse(std::string_view text, std::string* error) {
  KeyMaterial material;
  int line_number = 0;
  auto fail = [&](std::string_view reason) {
    if (error != nullptr)
      *error = "line " + std::to_string(line_number) + ": " + std::string(reason);
    material.Clear();
    return material;
  };
  while (!text.empty()) {
    ++line_number;
    const size_t end = text.find('\n');
    std::string_view line = trim(text.substr(0, end));
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (line.empty() || line.front() == '#') continue;

    const size_t equals = line.find('=');
    if (equals == std::string_view::npos) return fail("expected name = value");
    const std::string_view name = trim(line.substr(0, equals));
    const std::string_view value = line.substr(equals + 1);
    struct Entry {
      std::string_view name;
      uint8_t* data;
      size_t size;
      bool* present;
    };
    const Entry entries[] = {
        {"job-note-keys", material.keys_.data(), kJobNoteKeysSize, &material.has_keys_},
        {"job-note-vectors", material.vectors_.data(), kJobNoteVectorsSize, &material.has_vectors_},
        {"token-master-key", material.master_key_.data(), kTokenMasterKeySize,
         &material.has_master_key_},
    };
    const Entry* entry = nullptr;
    for (const Entry& candidate : entries) {
      if (candidate.name == name) entry = &candidate;
    }
    // The name is not repeated in the message: a mistyped line might hold key digits.
    if (entry == nullptr) return fail("unknown name");
    uint8_t* out = entry->data;
    const size_t size = entry->size;
    bool* present = entry->present;
    if (*present) {
      std::string message(1, '"');
      message.append(name).append("\" is given twice");
      return fail(message);
    }
    if (auto problem = read_hex(value, out, size)) {
      return fail(std::string(name) + " " + *problem);
    }
    *present = true;
  }
  if (error != nullptr) error->clear();
  return material;
}

}  // namespace quill
