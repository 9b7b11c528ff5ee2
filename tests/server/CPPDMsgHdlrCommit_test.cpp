#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "ppddata/BlockTestData.h"
#include "server/CPPDMsgHdlr.h"
#include "support/TempDir.h"

namespace {

using namespace quill::testing;

TEST(CPPDMsgHdlrCommit, StoresWhatTheReadersGetBack) {
  TempDir dir;
  std::string ppd = dir.Write("queue.ppd", PPDText({{"ModelNumber", "1"}}));
  const std::wstring wide = L"<plist><string>Caf\u00e9 \U0001F600</string></plist>";

  CPPDMsgHdlr preference("DriverPreference", ppd);
  EXPECT_EQ(preference.Commit(wide), static_cast<int>(std::string("KRDriverPreference").size()));
  EXPECT_EQ(CPPDMsgHdlr("DriverPreference", ppd).GetStringData(), wide);

  CPPDMsgHdlr flag("InvalidPrinterAddress", ppd);
  EXPECT_GT(flag.Commit(std::string("yes")), 0);
  EXPECT_EQ(CPPDMsgHdlr("InvalidPrinterAddress", ppd).GetCStringData(), "yes");
  // The first block is still there, and committing again replaces rather than appends.
  EXPECT_GT(preference.Commit(std::wstring(L"short")), 0);
  EXPECT_EQ(CPPDMsgHdlr("DriverPreference", ppd).GetStringData(), L"short");
  EXPECT_EQ(preference.Discard(), 5);
  EXPECT_EQ(preference.Discard(), -1);
}

TEST(CPPDMsgHdlrCommit, ReportsWhatCouldNotBeStored) {
  TempDir dir;
  std::string ppd = dir.Write("queue.ppd", PPDText({}));
  CPPDMsgHdlr block("localPreset", ppd);
  EXPECT_EQ(block.Commit(std::string()), -1);
  EXPECT_EQ(block.Commit(std::wstring()), -1);
  EXPECT_EQ(CPPDMsgHdlr("localPreset", "").Commit(std::string("x")), -1);
  EXPECT_EQ(CPPDMsgHdlr("bad name", ppd).Commit(std::string("x")), -1);
  errno = 0;
  EXPECT_EQ(CPPDMsgHdlr("localPreset", (dir.path() / "gone.ppd").string()).Commit(std::string("x")),
            -2);
  EXPECT_EQ(errno, ENOENT);
  EXPECT_EQ(block.GetCStringData(), "");
}

}  // namespace
