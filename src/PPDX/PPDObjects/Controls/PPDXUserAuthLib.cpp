#include "PPDX/PPDObjects/Controls/PPDXUserAuthLib.h"

#include <array>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "platform/SystemInfo.h"
#include "security/Base64Encoder.h"
#include "security/GcryptLibrary.h"
#include "security/KeyMaterial.h"
#include "security/SHA1.h"
#include "security/Twofish.h"

namespace {

constexpr uint32_t kFormatVersion = 1;
constexpr size_t kRecordHeaderSize = 36;  // version, three lengths, type, identifier
constexpr size_t kInnerOverhead = 24;     // D and the 20-byte digest
constexpr size_t kOuterOverhead = 48;     // version, N, key words, 8 zero bytes
constexpr size_t kKeySize = 32;
constexpr size_t kBlock = 16;

// Working memory that held credentials or keys; wiped when it goes away.
struct WipedBytes {
  std::vector<uint8_t> bytes;
  explicit WipedBytes(size_t size) : bytes(size, 0) {}
  ~WipedBytes() { quill::GcryptLibrary::Wipe(bytes.data(), bytes.size()); }
  WipedBytes(const WipedBytes&) = delete;
  WipedBytes& operator=(const WipedBytes&) = delete;
};

void put_be32(uint8_t* at, uint32_t value) {
  at[0] = static_cast<uint8_t>(value >> 24);
  at[1] = static_cast<uint8_t>(value >> 16);
  at[2] = static_cast<uint8_t>(value >> 8);
  at[3] = static_cast<uint8_t>(value);
}

void put_le32(uint8_t* at, uint32_t value) {
  at[0] = static_cast<uint8_t>(value);
  at[1] = static_cast<uint8_t>(value >> 8);
  at[2] = static_cast<uint8_t>(value >> 16);
  at[3] = static_cast<uint8_t>(value >> 24);
}

// ---- Identifier -----------------------------------------------------------------------------

// The time of the previous identifier.
quill::TimeOfDay& previous_identifier_time() {
  static quill::TimeOfDay previous;
  return previous;
}

bool not_after(const quill::TimeOfDay& a, const quill::TimeOfDay& b) {
  return a.seconds < b.seconds || (a.seconds == b.seconds && a.microseconds <= b.microseconds);
}

// T: bits 4-23 the low 20 bits of the seconds, bits 24-27 bits 8-11 of the microseconds, bits
// 28-31 bits 24-27 of the seconds.
uint32_t time_stamp(const quill::TimeOfDay& time) {
  const auto s = static_cast<uint32_t>(time.seconds);
  const auto u = static_cast<uint32_t>(time.microseconds);
  return (s & 0xFFFFFu) << 4 | ((u >> 8) & 0xFu) << 24 | ((s >> 24) & 0xFu) << 28;
}

// ---- Hardware address -----------------------------------------------------------------------

bool usable_address(const quill::NetworkInterface& interface) {
  if (interface.hardwareType != quill::NetworkInterface::kEthernetType || !interface.address) {
    return false;
  }
  for (uint8_t byte : *interface.address) {
    if (byte != 0) return true;
  }
  return false;
}

// The address of the primary interface, or nullopt.
std::optional<std::array<uint8_t, 6>> primary_address() {
  const std::vector<quill::NetworkInterface> interfaces = quill::SystemInfo::NetworkInterfaces();
  const std::string route = quill::SystemInfo::DefaultRouteInterface();
  for (const auto& interface : interfaces) {
    if (!route.empty() && interface.name == route && usable_address(interface)) {
      return interface.address;
    }
  }
  for (const auto& interface : interfaces) {
    if (interface.name != "lo" && usable_address(interface)) return interface.address;
  }
  return std::nullopt;
}

// ---- Token ----------------------------------------------------------------------------------

// The plain record: version, L1, L2, L3, type, identifier, then the three texts.
bool PackData1(const char* user, size_t l1, const char* password, size_t l2, const char* domain,
               size_t l3, UAL_DomainType type, const unsigned char* identifier,
               std::vector<uint8_t>* data) {
  const size_t data_size = data->size();
  uint8_t* current = data->data();
  put_be32(current, kFormatVersion);
  put_be32(current + 4, static_cast<uint32_t>(l1));
  put_be32(current + 8, static_cast<uint32_t>(l2));
  put_be32(current + 12, static_cast<uint32_t>(l3));
  put_be32(current + 16, static_cast<uint32_t>(type));
  current += 20;
  if (identifier != nullptr) std::memcpy(current, identifier, kUALIdentifierSize);
  current += kUALIdentifierSize;
  std::memcpy(current, user, l1);
  current += l1;
  std::memcpy(current, password, l2);
  current += l2;
  std::memcpy(current, domain, l3);
  current += l3;
  return static_cast<size_t>(current - data->data()) == data_size;
}

// The message key: eight 32-bit values, each stored little-endian so that Twofish takes them as
// its key words.
void make_message_key(uint8_t* key) {
  const auto process = static_cast<uint32_t>(quill::SystemInfo::ProcessId());
  const auto seconds = static_cast<uint32_t>(quill::SystemInfo::CurrentTime().seconds);
  static bool seeded = false;
  if (!seeded) {
    std::srand(seconds + process);
    seeded = true;
  }
  const auto random1 = static_cast<uint32_t>(std::rand());
  const auto random2 = static_cast<uint32_t>(std::rand());
  const auto random3 = static_cast<uint32_t>(std::rand());
  const auto random4 = static_cast<uint32_t>(std::rand());
  const uint32_t words[8] = {
      random1, process,
      random2, seconds,
      random3, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(key)),
      random4, random1,
  };
  for (int i = 0; i < 8; ++i) put_le32(key + 4 * i, words[i]);
}

// Base64 of the enciphered outer block into a new NUL-terminated buffer.
char* EncodePrintable(const uint8_t* bytes, size_t n) {
  const size_t max_out_length = Base64Encoder::EncodedLength(n);
  char* out = static_cast<char*>(std::calloc(max_out_length + 1, 1));
  if (out == nullptr) return nullptr;
  const int out_length =
      Base64Encoder().Encode(bytes, static_cast<unsigned int>(n), out, /*lineBreaks=*/0);
  if (out_length < 0 || static_cast<size_t>(out_length) > max_out_length) {
    std::free(out);
    return nullptr;
  }
  return out;
}

int pack_and_encrypt(const char* user, const char* password, const char* domain,
                     UAL_DomainType type, const unsigned char* identifier, char** token) {
  const uint8_t* master_key = quill::KeyMaterial::Shared().TokenMasterKey();
  if (master_key == nullptr) return -1;

  const size_t l1 = std::strlen(user);
  const size_t l2 = std::strlen(password);
  const size_t l3 = std::strlen(domain);
  // Every size must stay within what the block cipher is given as a byte count in an int.
  constexpr size_t kMaxOuter = INT_MAX / 8;
  if (l1 > kMaxOuter || l2 > kMaxOuter || l3 > kMaxOuter) return -1;
  const size_t d = kRecordHeaderSize + l1 + l2 + l3;
  const size_t n = (kInnerOverhead + d) / kBlock * kBlock + kBlock;
  const size_t outer_size = n + kOuterOverhead;
  if (outer_size > kMaxOuter) return -1;

  WipedBytes record(d);
  if (!PackData1(user, l1, password, l2, domain, l3, type, identifier, &record.bytes)) return -1;

  WipedBytes key(kKeySize);
  make_message_key(key.bytes.data());

  unsigned int digest[5];
  SHA1 sha;
  sha.Input(record.bytes.data(), static_cast<unsigned int>(d));
  if (!sha.Result(digest)) return -1;

  WipedBytes inner(n);
  put_be32(inner.bytes.data(), static_cast<uint32_t>(d));
  std::memcpy(inner.bytes.data() + 4, record.bytes.data(), d);
  for (int i = 0; i < 5; ++i) put_be32(inner.bytes.data() + 4 + d + 4 * i, digest[i]);

  WipedBytes outer(outer_size);
  uint8_t* header = outer.bytes.data();
  put_be32(header, kFormatVersion);
  put_be32(header + 4, static_cast<uint32_t>(n));
  // The key travels as its eight words written big-endian: byte-reversed per word against the
  // key bytes the cipher uses.
  for (size_t i = 0; i < kKeySize; i += 4) {
    const uint8_t* word = key.bytes.data() + i;
    put_be32(header + 8 + i, static_cast<uint32_t>(word[0]) | static_cast<uint32_t>(word[1]) << 8 |
                                 static_cast<uint32_t>(word[2]) << 16 |
                                 static_cast<uint32_t>(word[3]) << 24);
  }
  if (RunCipher(0, key.bytes.data(), inner.bytes.data(), static_cast<int>(n), header + 40) != 0) {
    return -1;
  }

  WipedBytes sealed(outer_size);
  if (RunCipher(0, master_key, outer.bytes.data(), static_cast<int>(outer_size),
                sealed.bytes.data()) != 0) {
    return -1;
  }
  *token = EncodePrintable(sealed.bytes.data(), outer_size);
  return *token != nullptr ? 0 : -1;
}

}  // namespace

int AUTH_packAndEncrypt(char const* user, char const* password, char const* /*domain*/,
                        UAL_DomainType type, int /*unused*/, char** token) {
  if (token == nullptr) return -1;
  *token = nullptr;
  unsigned char identifier[kUALIdentifierSize];
  if (!CreateGUID(identifier)) std::memset(identifier, 0, sizeof identifier);
  size_t user_length = 0;
  size_t password_length = 0;
  if (type == kUALPanelDomainType && user != nullptr && password != nullptr && user[0] != '\0') {
    user_length = strnlen(user, kUALMaxCredentialLength);
    password_length = strnlen(password, kUALMaxCredentialLength);
  }
  // The cut credentials are copied into fixed buffers: no allocation, and wiped afterwards.
  char packed_user[kUALMaxCredentialLength + 1] = {};
  char packed_password[kUALMaxCredentialLength + 1] = {};
  if (user_length > 0) std::memcpy(packed_user, user, user_length);
  if (password_length > 0) std::memcpy(packed_password, password, password_length);
  const int result =
      UAL_PackAndEncrypt(packed_user, packed_password, "", kUALPanelDomainType, identifier, token);
  quill::GcryptLibrary::Wipe(packed_password, sizeof packed_password);
  return result;
}

void AUTH_freeBuffer(char** token) {
  if (token == nullptr || *token == nullptr) return;
  std::free(*token);
  *token = nullptr;
}

int UAL_PackAndEncrypt(char const* user, char const* password, char const* domain,
                       UAL_DomainType type, unsigned char const* identifier, char** token) {
  if (token == nullptr) return -1;
  *token = nullptr;
  if (user == nullptr || password == nullptr) return -1;
  try {
    return pack_and_encrypt(user, password, domain != nullptr ? domain : "", type, identifier,
                            token);
  } catch (const std::exception&) {
    return -1;  // out of memory
  }
}

bool CreateGUID(unsigned char* out) {
  if (out == nullptr) return false;
  unsigned char* mac = nullptr;
  goGetMACAddress(&mac);

  quill::TimeOfDay& previous = previous_identifier_time();
  quill::TimeOfDay time = quill::SystemInfo::CurrentTime();
  if (not_after(time, previous)) {
    time = previous;
    if (++time.microseconds >= 1000000) {
      time.microseconds = 0;
      ++time.seconds;
    }
  }
  previous = time;

  std::memset(out, 0, kUALIdentifierSize);
  if (mac != nullptr) std::memcpy(out, mac, kUALMACAddressSize);
  put_le32(out + kUALMACAddressSize, time_stamp(time));
  return true;
}

kern_return_t goGetMACAddress(unsigned char** mac) {
  static unsigned char address[kUALMACAddressSize];
  if (mac == nullptr) return KERN_INVALID_ARGUMENT;
  std::memset(address, 0, sizeof address);
  *mac = address;
  std::optional<std::array<uint8_t, 6>> found;
  try {
    found = primary_address();
  } catch (const std::exception&) {
    found.reset();  // out of memory while reading the interface list: no address
  }
  if (!found) return KERN_FAILURE;
  std::memcpy(address, found->data(), sizeof address);
  return KERN_SUCCESS;
}

void UAL_ResetIdentifierClock() { previous_identifier_time() = {}; }
