// Every command of the filter's table, end to end: a command job goes to a queue of the private
// cupsd (set up by `quill queue add`), cupsd runs the filter as lp, and the test looks where the
// panel looks: the data blocks of the PPD that cupsGetPPD3 returns, the files under the cache
// folder, the two-way data file.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <thread>

#include "SpoolerTestSupport.h"
#include "server/CFileHdlr.h"
#include "server/CPPDMsgHdlr.h"

namespace quill::testing {
namespace {

namespace fs = std::filesystem;

// The text of block `name` (without "KR") as the panel reads it: from a fresh copy of the queue's
// PPD, through CPPDMsgHdlr.
std::string BlockBytes(const Printer& printer, const std::string& name) {
  std::string error;
  const std::string copy = printer.CopyPPD(&error);
  EXPECT_FALSE(copy.empty()) << error;
  std::string data = CPPDMsgHdlr(name, copy).GetCStringData();
  unlink(copy.c_str());
  return data;
}

std::wstring BlockWide(const Printer& printer, const std::string& name) {
  const std::string copy = printer.CopyPPD();
  std::wstring data = CPPDMsgHdlr(name, copy).GetStringData();
  unlink(copy.c_str());
  return data;
}

TEST(CommandJobs, LocaleCodeCompletes) {
  Printer printer = SharedQueue("cmd");
  EXPECT_EQ(RunCommand(printer, "ja", "Command_LocaleCode"), Printer::kJobCompleted)
      << CupsServer::Shared().ErrorLogTail();
}

struct BlockCase {
  const char* title;
  const char* block;  // as the panel names it
};

TEST(CommandJobs, EachBlockCommandComesBackThroughThePPD) {
  Printer printer = SharedQueue("blocks");
  const BlockCase cases[] = {
      {"Command_PRINTERLOCALPRESETS", "LocalJPPresets"},
      {"Command_WritePresetData1B4E28BA-2FA1-11D2-883F-0016D3CCA427", "localPreset"},
      {"command_PopupJnData", "PopupJnData"},
  };
  for (const BlockCase& c : cases) {
    SCOPED_TRACE(c.title);
    const std::string text = std::string("{ alice = \"110\\nNote\\n\"; } for ") + c.block;
    ASSERT_EQ(RunCommand(printer, text, c.title), Printer::kJobCompleted)
        << CupsServer::Shared().ErrorLogTail();
    EXPECT_EQ(BlockBytes(printer, c.block), text);
  }
  // Every block is still there after the others were written.
  for (const BlockCase& c : cases) {
    EXPECT_EQ(BlockBytes(printer, c.block), std::string("{ alice = \"110\\nNote\\n\"; } for ") + c.block);
  }
}

TEST(CommandJobs, DriverPreferenceIsStoredAsWideText) {
  Printer printer = SharedQueue("blocks");
  const std::string xml =
      "<?xml version=\"1.0\"?><plist><array><dict><key>Queue</key><string>blocks \xC3\xA9</string>"
      "</dict></array></plist>";
  ASSERT_EQ(RunCommand(printer, xml, "Command_KRTPrefs5C2A0D6E-9E2B-4F7A-8D51-0A3E2B1C4D5F"),
            Printer::kJobCompleted);
  const std::wstring wide = BlockWide(printer, "DriverPreference");
  EXPECT_EQ(wide.size(), xml.size() - 1);  // "é" is one character
  EXPECT_NE(wide.find(L"blocks \u00e9"), std::wstring::npos);
}

TEST(CommandJobs, LargeAndEmptyTextsRoundTrip) {
  Printer printer = SharedQueue("large");
  // Several megabytes that deflate poorly, so the block spans tens of thousands of attributes.
  std::string large(3 << 20, '\0');
  uint32_t seed = 12345;
  for (char& c : large) {
    seed = seed * 1103515245u + 12345u;
    c = static_cast<char>('!' + (seed >> 16) % 90);
  }
  ASSERT_EQ(RunCommand(printer, large, "Command_PRINTERLOCALPRESETS"), Printer::kJobCompleted)
      << CupsServer::Shared().ErrorLogTail();
  EXPECT_EQ(BlockBytes(printer, "LocalJPPresets"), large);

  ASSERT_EQ(RunCommand(printer, "", "Command_PRINTERLOCALPRESETS"), Printer::kJobCompleted);
  EXPECT_EQ(BlockBytes(printer, "LocalJPPresets"), "");
}

TEST(CommandJobs, TwoCommandsSentTogetherBothLand) {
  Printer printer = SharedQueue("together");
  // Two users' commands submitted before either is handled.
  const Printer::SendResult popup = printer.SendCommand("{ bob = \"010\"; }", "command_PopupJnData");
  const Printer::SendResult prefs = printer.SendCommand("<plist/>", "Command_KRTPrefsA1");
  ASSERT_TRUE(popup) << popup.error;
  ASSERT_TRUE(prefs) << prefs.error;
  EXPECT_EQ(WaitForJobEnd(printer, popup.jobId), Printer::kJobCompleted);
  EXPECT_EQ(WaitForJobEnd(printer, prefs.jobId), Printer::kJobCompleted);
  EXPECT_EQ(BlockBytes(printer, "PopupJnData"), "{ bob = \"010\"; }");
  EXPECT_EQ(BlockWide(printer, "DriverPreference"), L"<plist/>");
}

TEST(CommandJobs, TicketIsWrittenWhereTheNameCommandSaid) {
  CupsServer& server = CupsServer::Shared();
  Printer printer = SharedQueue("ticket");
  const std::string name = "/Library/Caches/KRT/Quill.temp7D1E2F30-4A5B-6C7D-8E9F-0A1B2C3D4E5F";
  const std::string xml = "<?xml version=\"1.0\"?>\n<plist><dict><key>900</key></dict></plist>\n";
  ASSERT_EQ(RunCommand(printer, name, "Command_PSTempFileName"), Printer::kJobCompleted);
  ASSERT_EQ(RunCommand(printer, xml, "Command_WritePSTemp"), Printer::kJobCompleted)
      << server.ErrorLogTail();
  const fs::path ticket = server.QuillRoot() / name.substr(1);
  EXPECT_EQ(ReadFile(ticket), xml);

  // The name is used once: a second ticket without a name is refused, not written over the first.
  EXPECT_EQ(RunCommand(printer, "<other/>", "Command_WritePSTemp"), 6 /* stopped */);
  EXPECT_EQ(ReadFile(ticket), xml);
}

TEST(CommandJobs, MailboxFolderIsCreatedInTheCache) {
  CupsServer& server = CupsServer::Shared();
  Printer printer = SharedQueue("ticket");
  ASSERT_EQ(RunCommand(printer, "/Library/Caches/KRT/Mailbox Anna", "Command_PSKRDestination"),
            Printer::kJobCompleted);
  EXPECT_TRUE(fs::is_directory(server.CacheDir() / "Mailbox Anna"));
}

TEST(CommandJobs, UpdateFilesAreDeleted) {
  CupsServer& server = CupsServer::Shared();
  Printer printer = SharedQueue("cmd");
  const fs::path cache = server.CacheDir();
  for (const char* name : {"TonerUpdate.txt", "TrayUpdate.txt", "Keep.txt"}) {
    std::ofstream(cache / name) << "x";
  }
  ASSERT_EQ(RunCommand(printer, "TonerUpdate.txt::DELIMIT::/Library/Caches/KRT/TrayUpdate.txt\n",
                       "Command_DeleteUpdateFiles"),
            Printer::kJobCompleted)
      << server.ErrorLogTail();
  EXPECT_FALSE(fs::exists(cache / "TonerUpdate.txt"));
  EXPECT_FALSE(fs::exists(cache / "TrayUpdate.txt"));
  EXPECT_TRUE(fs::exists(cache / "Keep.txt"));
  // Names of files that are not there are no fault.
  EXPECT_EQ(RunCommand(printer, "Gone.txt", "Command_DeleteUpdateFiles"), Printer::kJobCompleted);
}

// Names a command carries never reach outside the cache folder: the command is refused (its job
// stops with an error) and nothing outside is written, created or deleted.
TEST(CommandJobs, FileNamesOutsideTheCacheAreRefused) {
  CupsServer& server = CupsServer::Shared();
  Printer printer = SharedQueue("confine");
  const fs::path outside = server.QuillRoot() / "outside.txt";
  std::ofstream(outside) << "keep";
  chown(outside.c_str(), 7, 7);  // lp could delete it, were it asked to
  const std::string escapes[] = {
      "../../../outside.txt",
      "/Library/Caches/KRT/../../../outside.txt",
      server.QuillRoot().string() + "/outside.txt",
      "/etc/quill-escape",
      std::string("Quill.temp\0/../../../outside.txt", 32),
  };
  for (const std::string& name : escapes) {
    SCOPED_TRACE(name);
    EXPECT_EQ(RunCommand(printer, name, "Command_DeleteUpdateFiles"), 6);
    EXPECT_EQ(RunCommand(printer, name, "Command_PSKRDestination"), 6);
    EXPECT_EQ(RunCommand(printer, name, "Command_PSTempFileName"), 6);
    EXPECT_EQ(ReadFile(outside), "keep");
  }
  // A refused name is not remembered: the ticket that follows has nowhere to go.
  EXPECT_EQ(RunCommand(printer, "<ticket/>", "Command_WritePSTemp"), 6);
  EXPECT_EQ(ReadFile(outside), "keep");
  EXPECT_FALSE(fs::exists("/etc/quill-escape"));
}

TEST(CommandJobs, UnknownCommandIsRefused) {
  Printer printer = SharedQueue("cmd");
  EXPECT_EQ(RunCommand(printer, "x", "Command_NoSuchThing"), 6);
  // The queue goes on with the next command.
  EXPECT_EQ(RunCommand(printer, "en", "Command_LocaleCode"), Printer::kJobCompleted);
}

}  // namespace
}  // namespace quill::testing
