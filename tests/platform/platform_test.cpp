#include <gtest/gtest.h>

#include "platform/Log.h"
#include "platform/Paths.h"
#include "platform/SystemInfo.h"
#include "platform/TextEncoding.h"

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
