#include <gcrypt.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "PPDX/PPDObjects/Controls/PPDXUserAuthLib.h"
#include "platform/Paths.h"
#include "platform/SystemInfo.h"
#include "security/Base64Decoder.h"
#include "security/GcryptLibrary.h"
#include "security/KeyMaterial.h"
#include "support/TempDir.h"

namespace {

// The test's master key: bytes 0x40 to 0x5F.
std::vector<uint8_t> MasterKey() {
  std::vector<uint8_t> key(32);
  for (size_t i = 0; i < key.size(); ++i) key[i] = static_cast<uint8_t>(0x40 + i);
  return key;
}

std::string KeyFile() {
  std::string text = "# master key of the tests\ntoken-master-key = ";
  char digits[3];
  for (uint8_t byte : MasterKey()) {
    std::snprintf(digits, sizeof digits, "%02x", byte);
    text += digits;
  }
  return text + "\n";
}

uint32_t BE32(const uint8_t* at) {
  return static_cast<uint32_t>(at[0]) << 24 | static_cast<uint32_t>(at[1]) << 16 |
         static_cast<uint32_t>(at[2]) << 8 | at[3];
}

std::vector<uint8_t> TwofishDecrypt(const std::vector<uint8_t>& key, std::vector<uint8_t> data) {
  EXPECT_TRUE(quill::GcryptLibrary::Ready());
  gcry_cipher_hd_t handle = nullptr;
  EXPECT_EQ(gcry_cipher_open(&handle, GCRY_CIPHER_TWOFISH, GCRY_CIPHER_MODE_ECB, 0), 0u);
  EXPECT_EQ(gcry_cipher_setkey(handle, key.data(), key.size()), 0u);
  EXPECT_EQ(gcry_cipher_decrypt(handle, data.data(), data.size(), nullptr, 0), 0u);
  gcry_cipher_close(handle);
  return data;
}

// A token taken apart with the test master key; every check of the layout is made here.
struct Unpacked {
  uint32_t n = 0;
  std::vector<uint32_t> key_words;
  std::vector<uint8_t> record;
  std::string user, password, domain;
  uint32_t domain_type = 0;
  std::vector<uint8_t> identifier;
};

Unpacked Unpack(const char* token) {
  Unpacked result;
  const size_t length = std::strlen(token);
  std::vector<uint8_t> outer(length);
  const int decoded =
      Base64Decoder().Decode(token, static_cast<unsigned int>(length), outer.data());
  outer.resize(static_cast<size_t>(decoded));
  EXPECT_EQ(outer.size() % 16, 0u);
  outer = TwofishDecrypt(MasterKey(), outer);

  EXPECT_EQ(BE32(&outer[0]), 1u) << "outer format version";
  result.n = BE32(&outer[4]);
  EXPECT_EQ(result.n % 16, 0u);
  if (outer.size() != result.n + 48) {
    ADD_FAILURE() << "outer block of " << outer.size() << " bytes says N = " << result.n;
    return result;
  }
  EXPECT_EQ(std::vector<uint8_t>(outer.end() - 8, outer.end()), std::vector<uint8_t>(8, 0));

  // The key words are big-endian; the cipher takes each word's bytes low first.
  std::vector<uint8_t> key;
  for (int i = 0; i < 8; ++i) {
    const uint32_t word = BE32(&outer[8 + 4 * i]);
    result.key_words.push_back(word);
    for (int b = 0; b < 4; ++b) key.push_back(static_cast<uint8_t>(word >> (8 * b)));
  }
  const std::vector<uint8_t> inner =
      TwofishDecrypt(key, std::vector<uint8_t>(outer.begin() + 40, outer.begin() + 40 + result.n));

  const uint64_t d = BE32(&inner[0]);
  if (24 + d > result.n || 24 + d + 16 < result.n) {
    ADD_FAILURE() << "D = " << d << " does not fit N = " << result.n
                  << " with 1 to 16 zero bytes after the digest";
    return result;
  }
  result.record.assign(inner.begin() + 4, inner.begin() + 4 + d);
  uint8_t digest[20];
  gcry_md_hash_buffer(GCRY_MD_SHA1, digest, result.record.data(), result.record.size());
  EXPECT_EQ(std::vector<uint8_t>(inner.begin() + 4 + d, inner.begin() + 24 + d),
            std::vector<uint8_t>(digest, digest + 20));
  EXPECT_EQ(std::vector<uint8_t>(inner.begin() + 24 + d, inner.end()),
            std::vector<uint8_t>(result.n - 24 - d, 0));

  const uint8_t* r = result.record.data();
  EXPECT_EQ(BE32(r), 1u) << "record format version";
  const uint32_t l1 = BE32(r + 4), l2 = BE32(r + 8), l3 = BE32(r + 12);
  if (36 + l1 + l2 + l3 != d) {
    ADD_FAILURE() << "record lengths do not add up to D = " << d;
    return result;
  }
  result.domain_type = BE32(r + 16);
  result.identifier.assign(r + 20, r + 36);
  result.user.assign(reinterpret_cast<const char*>(r + 36), l1);
  result.password.assign(reinterpret_cast<const char*>(r + 36 + l1), l2);
  result.domain.assign(reinterpret_cast<const char*>(r + 36 + l1 + l2), l3);
  return result;
}

using quill::NetworkInterface;
using quill::SystemInfo;

constexpr int kLoopbackType = 772;
constexpr int kTunnelType = 65534;

class UserAuth : public ::testing::Test {
 protected:
  void SetUp() override {
    quill::Paths::SetRoot(dir_.path().string());
    dir_.Write("etc/quill/keys", KeyFile());
    quill::KeyMaterial::Reload();
    // Loopback and one Ethernet interface that carries the default route.
    SystemInfo::SetNetworkInterfaces(std::vector<NetworkInterface>{
        {"lo", kLoopbackType, std::array<uint8_t, 6>{}},
        {"eth0", NetworkInterface::kEthernetType,
         std::array<uint8_t, 6>{0x00, 0x1b, 0x21, 0xaa, 0xbb, 0xcc}},
    });
    SystemInfo::SetDefaultRouteInterface("eth0");
    SystemInfo::SetCurrentTime(quill::TimeOfDay{0x12345678, 0x0A00});
    SystemInfo::SetProcessId(4242);
    UAL_ResetIdentifierClock();
  }
  void TearDown() override {
    SystemInfo::Reset();
    UAL_ResetIdentifierClock();
    quill::Paths::ResetRoot();
    quill::KeyMaterial::Reload();
  }

  quill::testing::TempDir dir_;
};

}  // namespace

TEST_F(UserAuth, TokenCarriesEveryFieldOfBothBlocks) {
  char* token = nullptr;
  ASSERT_EQ(AUTH_packAndEncrypt("ab", "c", "ignored", kUALPanelDomainType, 0, &token), 0);
  ASSERT_NE(token, nullptr);
  EXPECT_EQ(std::strlen(token), 152u) << "D = 39, N = 64, 112 bytes of outer block";

  const Unpacked u = Unpack(token);
  EXPECT_EQ(u.n, 64u);
  EXPECT_EQ(u.record.size(), 39u);
  EXPECT_EQ(u.user, "ab");
  EXPECT_EQ(u.password, "c");
  EXPECT_EQ(u.domain, "") << "the domain argument is not packed";
  EXPECT_EQ(u.domain_type, 2u);
  // MAC of eth0, then T = 0x2A456780 little-endian, then zero.
  EXPECT_EQ(u.identifier, (std::vector<uint8_t>{0x00, 0x1b, 0x21, 0xaa, 0xbb, 0xcc, 0x80, 0x67,
                                                0x45, 0x2a, 0, 0, 0, 0, 0, 0}));
  ASSERT_EQ(u.key_words.size(), 8u);
  EXPECT_EQ(u.key_words[1], 4242u) << "the process id";
  EXPECT_EQ(u.key_words[3], 0x12345678u) << "the seconds of the time of day";
  EXPECT_EQ(u.key_words[7], u.key_words[0]) << "the first random number closes the key";
  AUTH_freeBuffer(&token);
  EXPECT_EQ(token, nullptr);
}

TEST_F(UserAuth, BlockSizesRoundUpWithAtLeastOneZeroByte) {
  struct Case {
    const char* user;
    const char* password;
    uint32_t n;
    size_t token_length;
  };
  const Case cases[] = {
      {"ab", "cd", 80, 172},        // D = 40: 24 + D is whole blocks, so a full zero block
      {"a", "", 64, 152},           // D = 37
      {"abcde", "fghij", 80, 172},  // D = 46
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.user);
    char* token = nullptr;
    ASSERT_EQ(UAL_PackAndEncrypt(c.user, c.password, "", kUALPanelDomainType, nullptr, &token), 0);
    EXPECT_EQ(std::strlen(token), c.token_length);
    const Unpacked u = Unpack(token);
    EXPECT_EQ(u.n, c.n);
    EXPECT_EQ(u.identifier, std::vector<uint8_t>(16, 0)) << "a null identifier packs as zero";
    AUTH_freeBuffer(&token);
  }
}

TEST_F(UserAuth, WhichCredentialsArePacked) {
  const std::string long_user(300, 'u');
  const std::string long_password(256, 'p');
  struct Case {
    const char* user;
    const char* password;
    int type;
    std::string packed_user;
    std::string packed_password;
  };
  const std::vector<Case> cases = {
      {"alice", "secret", 2, "alice", "secret"},
      {"alice", "secret", 3, "", ""},
      {"", "secret", 2, "", ""},
      {nullptr, "secret", 2, "", ""},
      {"alice", nullptr, 2, "", ""},
      {long_user.c_str(), long_password.c_str(), 2, std::string(255, 'u'), std::string(255, 'p')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.packed_user.size());
    char* token = nullptr;
    ASSERT_EQ(AUTH_packAndEncrypt(c.user, c.password, nullptr, static_cast<UAL_DomainType>(c.type),
                                  0, &token),
              0);
    const Unpacked u = Unpack(token);
    EXPECT_EQ(u.user, c.packed_user);
    EXPECT_EQ(u.password, c.packed_password);
    EXPECT_EQ(u.domain_type, 2u) << "the type packed is always 2";
    AUTH_freeBuffer(&token);
  }
}

TEST_F(UserAuth, EveryTokenHasAFreshMessageKey) {
  char *first = nullptr, *second = nullptr;
  ASSERT_EQ(AUTH_packAndEncrypt("ab", "c", "", kUALPanelDomainType, 0, &first), 0);
  ASSERT_EQ(AUTH_packAndEncrypt("ab", "c", "", kUALPanelDomainType, 0, &second), 0);
  EXPECT_STRNE(first, second);
  EXPECT_NE(Unpack(first).key_words, Unpack(second).key_words);
  AUTH_freeBuffer(&first);
  AUTH_freeBuffer(&second);
}

TEST_F(UserAuth, FailuresGiveNoToken) {
  EXPECT_EQ(AUTH_packAndEncrypt("ab", "c", "", kUALPanelDomainType, 0, nullptr), -1);
  char* token = reinterpret_cast<char*>(&token);  // not null, so the reset is visible
  EXPECT_EQ(UAL_PackAndEncrypt(nullptr, "c", "", kUALPanelDomainType, nullptr, &token), -1);
  EXPECT_EQ(token, nullptr);
  EXPECT_EQ(UAL_PackAndEncrypt("ab", nullptr, "", kUALPanelDomainType, nullptr, &token), -1);
  EXPECT_EQ(UAL_PackAndEncrypt("ab", "c", "", kUALPanelDomainType, nullptr, nullptr), -1);

  // Without a configured master key nothing is sent under a wrong key.
  for (const std::string& file : {std::string("job-note-vectors = 00\n"), std::string()}) {
    if (file.empty()) {
      std::filesystem::remove(dir_.path() / "etc/quill/keys");
    } else {
      dir_.Write("etc/quill/keys", file);
    }
    quill::KeyMaterial::Reload();
    EXPECT_EQ(AUTH_packAndEncrypt("ab", "c", "", kUALPanelDomainType, 0, &token), -1);
    EXPECT_EQ(token, nullptr);
  }

  AUTH_freeBuffer(nullptr);
  AUTH_freeBuffer(&token);
}

TEST_F(UserAuth, IdentifierTimeStampAndItsSuccessors) {
  unsigned char first[16], second[16];
  SystemInfo::SetCurrentTime(quill::TimeOfDay{0x12345678, 0x0FFF});
  ASSERT_TRUE(CreateGUID(first));
  ASSERT_TRUE(CreateGUID(second));
  // T = low 20 bits of s at 4-23, bits 8-11 of u at 24-27, bits 24-27 of s at 28-31. The second
  // identifier of the same microsecond takes 0x1000, so bits 8-11 of u change from F to 0.
  EXPECT_EQ(std::vector<uint8_t>(first + 6, first + 10),
            (std::vector<uint8_t>{0x80, 0x67, 0x45, 0x2F}));
  EXPECT_EQ(std::vector<uint8_t>(second + 6, second + 10),
            (std::vector<uint8_t>{0x80, 0x67, 0x45, 0x20}));
  EXPECT_EQ(std::vector<uint8_t>(second, second + 6),
            (std::vector<uint8_t>{0x00, 0x1b, 0x21, 0xaa, 0xbb, 0xcc}));
  EXPECT_EQ(std::vector<uint8_t>(second + 10, second + 16), std::vector<uint8_t>(6, 0));

  // A million microseconds carry into the seconds (999999 has 2 in bits 8-11).
  UAL_ResetIdentifierClock();
  SystemInfo::SetCurrentTime(quill::TimeOfDay{0x000FFFFF, 999999});
  ASSERT_TRUE(CreateGUID(first));
  ASSERT_TRUE(CreateGUID(second));
  EXPECT_EQ(std::vector<uint8_t>(first + 6, first + 10),
            (std::vector<uint8_t>{0xF0, 0xFF, 0xFF, 0x02}));
  EXPECT_EQ(std::vector<uint8_t>(second + 6, second + 10),
            (std::vector<uint8_t>{0x00, 0x00, 0x00, 0x00}));

  EXPECT_FALSE(CreateGUID(nullptr));
}

TEST_F(UserAuth, HardwareAddressOfThePrimaryInterface) {
  unsigned char* mac = nullptr;
  EXPECT_EQ(goGetMACAddress(&mac), KERN_SUCCESS);
  ASSERT_NE(mac, nullptr);
  EXPECT_EQ(std::vector<uint8_t>(mac, mac + 6),
            (std::vector<uint8_t>{0x00, 0x1b, 0x21, 0xaa, 0xbb, 0xcc}));

  // The default route leaves through a tunnel without an address: the first Ethernet interface
  // by name with a non-zero address serves.
  const std::array<uint8_t, 6> zero{};
  SystemInfo::SetNetworkInterfaces(std::vector<NetworkInterface>{
      {"tun0", kTunnelType, std::nullopt},
      {"enp3s0", NetworkInterface::kEthernetType,
       std::array<uint8_t, 6>{0x52, 0x54, 0, 0x12, 0x34, 0x56}},
      {"eno1", NetworkInterface::kEthernetType, zero},
  });
  SystemInfo::SetDefaultRouteInterface("tun0");
  EXPECT_EQ(goGetMACAddress(&mac), KERN_SUCCESS);
  EXPECT_EQ(std::vector<uint8_t>(mac, mac + 6),
            (std::vector<uint8_t>{0x52, 0x54, 0x00, 0x12, 0x34, 0x56}));

  EXPECT_EQ(goGetMACAddress(nullptr), KERN_INVALID_ARGUMENT);
}

TEST_F(UserAuth, NoInterfaceGivesZeroAddressButStillAToken) {
  SystemInfo::SetNetworkInterfaces(std::vector<NetworkInterface>{
      {"lo", kLoopbackType, std::array<uint8_t, 6>{}},
  });
  SystemInfo::SetDefaultRouteInterface("");
  unsigned char* mac = nullptr;
  EXPECT_EQ(goGetMACAddress(&mac), KERN_FAILURE);
  ASSERT_NE(mac, nullptr);
  EXPECT_EQ(std::vector<uint8_t>(mac, mac + 6), std::vector<uint8_t>(6, 0));

  char* token = nullptr;
  ASSERT_EQ(AUTH_packAndEncrypt("ab", "c", "", kUALPanelDomainType, 0, &token), 0);
  const Unpacked u = Unpack(token);
  EXPECT_EQ(std::vector<uint8_t>(u.identifier.begin(), u.identifier.begin() + 6),
            std::vector<uint8_t>(6, 0));
  AUTH_freeBuffer(&token);
}
