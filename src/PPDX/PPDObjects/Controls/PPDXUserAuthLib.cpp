#include "PPDX/PPDObjects/Controls/PPDXUserAuthLib.h"

#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <exception>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/Paths.h"
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
constexpr int kEthernetType = 1;  // ARPHRD_ETHER

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

struct IdentifierClock {
  UAL_TimeSource source = nullptr;
  timeval previous = {0, 0};
};

IdentifierClock& identifier_clock() {
  static IdentifierClock clock;
  return clock;
}

timeval now() {
  IdentifierClock& clock = identifier_clock();
  if (clock.source != nullptr) return clock.source();
  timeval time{};
  gettimeofday(&time, nullptr);
  return time;
}

bool not_after(const timeval& a, const timeval& b) {
  return a.tv_sec < b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_usec <= b.tv_usec);
}

// T: bits 4-23 the low 20 bits of the seconds, bits 24-27 bits 8-11 of the microseconds, bits
// 28-31 bits 24-27 of the seconds.
uint32_t time_stamp(const timeval& time) {
  const auto s = static_cast<uint32_t>(time.tv_sec);
  const auto u = static_cast<uint32_t>(time.tv_usec);
  return (s & 0xFFFFFu) << 4 | ((u >> 8) & 0xFu) << 24 | ((s >> 24) & 0xFu) << 28;
}

// ---- Hardware address -----------------------------------------------------------------------

std::string read_first_line(const std::string& path) {
  std::ifstream file(path);
  std::string line;
  std::getline(file, line);
  return line;
}

bool safe_interface_name(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

// The interface of the default route with the lowest metric, or "".
std::string default_route_interface() {
  std::ifstream routes(quill::Paths::Resolve("/proc/net/route"));
  std::string line;
  std::getline(routes, line);  // column titles
  std::string best;
  unsigned long best_metric = ULONG_MAX;
  while (std::getline(routes, line)) {
    std::istringstream fields(line);
    std::string name, destination, gateway, flags_text, refcount, use, metric_text, mask;
    if (!(fields >> name >> destination >> gateway >> flags_text >> refcount >> use >>
          metric_text >> mask)) {
      continue;
    }
    const unsigned long flags = std::strtoul(flags_text.c_str(), nullptr, 16);
    const unsigned long metric = std::strtoul(metric_text.c_str(), nullptr, 10);
    if (destination != "00000000" || mask != "00000000" || (flags & 1) == 0) continue;  // RTF_UP
    if (metric < best_metric) {
      best = name;
      best_metric = metric;
    }
  }
  return best;
}

// Reads the address of an Ethernet-type interface; false for another type or no address.
bool read_interface_address(const std::string& name, unsigned char* out) {
  if (!safe_interface_name(name)) return false;
  const std::string folder = quill::Paths::Resolve("/sys/class/net/" + name);
  if (std::atoi(read_first_line(folder + "/type").c_str()) != kEthernetType) return false;
  const std::string text = read_first_line(folder + "/address");
  unsigned int bytes[kUALMACAddressSize];
  char end = '\0';
  if (std::sscanf(text.c_str(), "%2x:%2x:%2x:%2x:%2x:%2x%c", &bytes[0], &bytes[1], &bytes[2],
                  &bytes[3], &bytes[4], &bytes[5], &end) != kUALMACAddressSize) {
    return false;
  }
  bool any = false;
  for (int i = 0; i < kUALMACAddressSize; ++i) {
    out[i] = static_cast<unsigned char>(bytes[i]);
    any = any || bytes[i] != 0;
  }
  return any;
}

std::vector<std::string> interface_names() {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry :
       std::filesystem::directory_iterator(quill::Paths::Resolve("/sys/class/net"), error)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
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
  static bool seeded = false;
  if (!seeded) {
    std::srand(static_cast<unsigned>(std::time(nullptr)) + static_cast<unsigned>(getpid()));
    seeded = true;
  }
  const auto random1 = static_cast<uint32_t>(std::rand());
  const auto random2 = static_cast<uint32_t>(std::rand());
  const auto random3 = static_cast<uint32_t>(std::rand());
  const auto random4 = static_cast<uint32_t>(std::rand());
  const uint32_t words[8] = {
      random1, static_cast<uint32_t>(getpid()),
      random2, static_cast<uint32_t>(std::time(nullptr)),
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

  IdentifierClock& clock = identifier_clock();
  timeval time = now();
  if (not_after(time, clock.previous)) {
    time = clock.previous;
    if (++time.tv_usec >= 1000000) {
      time.tv_usec = 0;
      ++time.tv_sec;
    }
  }
  clock.previous = time;

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
  unsigned char found[kUALMACAddressSize];
  bool have = false;
  try {
    have = read_interface_address(default_route_interface(), found);
    if (!have) {
      for (const std::string& name : interface_names()) {
        if (name != "lo" && read_interface_address(name, found)) {
          have = true;
          break;
        }
      }
    }
  } catch (const std::exception&) {
    have = false;  // out of memory while reading the interface list: no address
  }
  if (!have) return KERN_FAILURE;
  std::memcpy(address, found, sizeof address);
  return KERN_SUCCESS;
}

void UAL_SetTimeSource(UAL_TimeSource source) {
  IdentifierClock& clock = identifier_clock();
  clock.source = source;
  clock.previous = {0, 0};
}
