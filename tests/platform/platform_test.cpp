#include <gtest/gtest.h>

#include "platform/Log.h"
#include "platform/Paths.h"
#include "platform/SystemInfo.h"
#include "platform/TextEncoding.h"
#include "support/TempDir.h"

#include <filesystem>
#include <string>
#include <vector>

using namespace quill;

TEST(Paths, ResolvesUnderTheRoot) {
  Paths::SetRoot("/tmp/q/");
  EXPECT_EQ(Paths::Resolve("/Library/Caches/KRT/"), "/tmp/q/Library/Caches/KRT/");
  Paths::SetRoot("/");
  EXPECT_EQ(Paths::Resolve("/tmp"), "/tmp");
  Paths::ResetRoot();
}

TEST(SystemInfo, VersionDefaultsToNewestAndCanBeSet) {
  EXPECT_TRUE(SystemInfo::Version().AtLeast(10, 15));
  SystemInfo::SetVersion({10, 6});
  EXPECT_TRUE(SystemInfo::Version().AtLeast(10, 6));
  EXPECT_FALSE(SystemInfo::Version().AtLeast(10, 7));
  SystemInfo::SetUserName("alice");
  EXPECT_EQ(SystemInfo::UserName(), "alice");
  SystemInfo::Reset();
  EXPECT_TRUE(SystemInfo::Version().AtLeast(10, 15));
}

// The routing table and the interface folder as the kernel shows them, under a test root.
class SystemInfoNetwork : public ::testing::Test {
 protected:
  void SetUp() override { Paths::SetRoot(dir_.path().string()); }
  void TearDown() override {
    Paths::ResetRoot();
    SystemInfo::Reset();
  }
  void Interface(const std::string& name, const std::string& type, const std::string& address) {
    dir_.Write("sys/class/net/" + name + "/type", type + "\n");
    dir_.Write("sys/class/net/" + name + "/address", address + "\n");
  }
  static std::string Routes(const std::string& rows) {
    return "Iface\tDestination\tGateway\tFlags\tRefCnt\tUse\tMetric\tMask\tMTU\tWindow\tIRTT\n" +
           rows;
  }

  quill::testing::TempDir dir_;
};

TEST_F(SystemInfoNetwork, DefaultRouteIsTheUpRouteToEverywhereWithTheLowestMetric) {
  struct Case {
    std::string rows;
    std::string expected;
  };
  const std::vector<Case> cases = {
      // A network route (mask not 0) is no default route.
      {"docker0\t000011AC\t00000000\t0001\t0\t0\t0\t0000FFFF\t0\t0\t0\n"
       "eth0\t00000000\t0102A8C0\t0003\t0\t0\t100\t00000000\t0\t0\t0\n",
       "eth0"},
      {"wlan0\t00000000\t0102A8C0\t0003\t0\t0\t600\t00000000\t0\t0\t0\n"
       "eth0\t00000000\t0102A8C0\t0003\t0\t0\t100\t00000000\t0\t0\t0\n",
       "eth0"},
      // A route that is down (flag 1 clear) does not count; a short row is skipped.
      {"eth0\t00000000\t0102A8C0\t0002\t0\t0\t100\t00000000\t0\t0\t0\nbroken\n", ""},
      {"", ""},
  };
  for (const auto& c : cases) {
    dir_.Write("proc/net/route", Routes(c.rows));
    EXPECT_EQ(SystemInfo::DefaultRouteInterface(), c.expected) << c.rows;
  }
  std::filesystem::remove(dir_.path() / "proc/net/route");
  EXPECT_EQ(SystemInfo::DefaultRouteInterface(), "");
  SystemInfo::SetDefaultRouteInterface("tun0");
  EXPECT_EQ(SystemInfo::DefaultRouteInterface(), "tun0");
}

TEST_F(SystemInfoNetwork, InterfacesWithTheirTypesAndAddressesSortedByName) {
  Interface("wlan0", "1", "52:54:00:12:34:56");
  Interface("eth0", "1", "00:1B:21:aa:bb:cc");
  Interface("lo", "772", "00:00:00:00:00:00");
  Interface("tun0", "65534", "");
  Interface("odd0", "1", "00:1b:21:aa:bb");  // five bytes: no address
  const std::vector<NetworkInterface> expected = {
      {"eth0", 1, std::array<uint8_t, 6>{0x00, 0x1b, 0x21, 0xaa, 0xbb, 0xcc}},
      {"lo", 772, std::array<uint8_t, 6>{}},
      {"odd0", 1, std::nullopt},
      {"tun0", 65534, std::nullopt},
      {"wlan0", 1, std::array<uint8_t, 6>{0x52, 0x54, 0x00, 0x12, 0x34, 0x56}},
  };
  EXPECT_EQ(SystemInfo::NetworkInterfaces(), expected);

  std::filesystem::remove_all(dir_.path() / "sys");
  EXPECT_TRUE(SystemInfo::NetworkInterfaces().empty());
  SystemInfo::SetNetworkInterfaces(std::vector<NetworkInterface>{{"b", 1, std::nullopt},
                                                                 {"a", 1, std::nullopt}});
  ASSERT_EQ(SystemInfo::NetworkInterfaces().size(), 2u);
  EXPECT_EQ(SystemInfo::NetworkInterfaces()[0].name, "a");
}

TEST(SystemInfo, ClockAndProcessIdCanBeSet) {
  const TimeOfDay before = SystemInfo::CurrentTime();
  EXPECT_GT(before.seconds, 1600000000);  // the real clock
  EXPECT_LT(before.microseconds, 1000000);
  EXPECT_GT(SystemInfo::ProcessId(), 0);
  SystemInfo::SetCurrentTime(TimeOfDay{12, 34});
  SystemInfo::SetProcessId(99);
  EXPECT_EQ(SystemInfo::CurrentTime(), (TimeOfDay{12, 34}));
  EXPECT_EQ(SystemInfo::ProcessId(), 99);
  SystemInfo::Reset();
  EXPECT_GE(SystemInfo::CurrentTime().seconds, before.seconds);
  EXPECT_NE(SystemInfo::ProcessId(), 99);
}

TEST(TextEncoding, ConvertsBetweenTheNumberedEncodings) {
  struct Case {
    std::string in;
    TextEncodingId from;
    std::string utf8;
  };
  const std::vector<Case> cases = {
      {"Caf\xE9", kEncodingISOLatin1, "Caf\xC3\xA9"},
      {"Caf\x8E", kEncodingMacRoman, "Caf\xC3\xA9"},
      {"\x80", kEncodingWindowsLatin1, "\xE2\x82\xAC"},
      {"\xB1", kEncodingISOLatin2, "\xC4\x85"},
      {"\x82\xA0", kEncodingShiftJIS, "\xE3\x81\x82"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TextEncoding::Convert(c.in, c.from, kEncodingUTF8), c.utf8) << c.in;
    EXPECT_EQ(TextEncoding::Convert(c.utf8, kEncodingUTF8, c.from), c.in) << c.in;
  }
  EXPECT_FALSE(TextEncoding::Convert("x", kEncodingUnknown, kEncodingUTF8));
  EXPECT_FALSE(TextEncoding::IsValidUTF8("\xC3"));
  EXPECT_TRUE(TextEncoding::IsValidUTF8("\xC3\xA9"));
}

TEST(Log, GoesToTheInstalledSink) {
  std::vector<std::string> seen;
  auto previous = SetLogSink([&](std::string_view m) { seen.emplace_back(m); });
  PanelLog("KRTPPD::ReadPUJNPrefs %d", 3);
  SetLogSink(previous);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0], "KRTPPD::ReadPUJNPrefs 3");
}
