// The pop-up job-note dictionary holds one entry per user. Each panel sends the whole dictionary as
// it read it with its own entry changed, so the filter merges what arrives into what is stored:
// two users who read before either stored must both keep their entries.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "SpoolerTestSupport.h"
#include "ppddata/OpenStepPlist.h"
#include "ppddata/PPDDataBlock.h"
#include "ppddata/PPDDataBlockUpdate.h"
#include "server/CPPDMsgHdlr.h"

namespace quill::testing {
namespace {

// The stored dictionary as the panel reads it from a fresh copy of the queue's PPD.
std::optional<OpenStepPlist> StoredDictionary(const Printer& printer) {
  std::string error;
  const std::string copy = printer.CopyPPD(&error);
  EXPECT_FALSE(copy.empty()) << error;
  std::string text = CPPDMsgHdlr("PopupJnData", copy).GetCStringData();
  unlink(copy.c_str());
  return OpenStepPlist::Parse(text);
}

std::string EntryOf(const OpenStepPlist& dictionary, const char* user) {
  const OpenStepPlist* entry = dictionary.Find(user);
  return entry != nullptr ? entry->String() : "<missing>";
}

TEST(PopupJnMerge, TwoUsersWhoReadTheSameDictionaryBothKeepTheirRecords) {
  Printer printer = SharedQueue("popupmerge");
  ASSERT_EQ(RunCommand(printer, "{ carol = \"100\"; }", "command_PopupJnData"),
            Printer::kJobCompleted)
      << CupsServer::Shared().ErrorLogTail();

  // Alice and Bob both read carol's dictionary, then send theirs at the same moment; Bob also
  // changes carol's entry (an incoming entry wins).
  const Printer::SendResult alice =
      printer.SendCommand("{ carol = \"100\"; alice = \"110\\nNote A\\n\"; }", "command_PopupJnData");
  const Printer::SendResult bob =
      printer.SendCommand("{ carol = \"101\"; bob = \"010\\nNote B\\n\"; }", "command_PopupJnData");
  ASSERT_TRUE(alice) << alice.error;
  ASSERT_TRUE(bob) << bob.error;
  EXPECT_EQ(WaitForJobEnd(printer, alice.jobId), Printer::kJobCompleted);
  EXPECT_EQ(WaitForJobEnd(printer, bob.jobId), Printer::kJobCompleted);

  std::optional<OpenStepPlist> stored = StoredDictionary(printer);
  ASSERT_TRUE(stored && stored->IsDictionary());
  EXPECT_EQ(EntryOf(*stored, "alice"), "110\nNote A\n");
  EXPECT_EQ(EntryOf(*stored, "bob"), "010\nNote B\n");
  EXPECT_EQ(EntryOf(*stored, "carol"), "101");
}

// The read and the write of an update happen under one lock: processes that update the same
// block at once each add their keys, and none is lost.
TEST(PopupJnMerge, UpdatesOfOneBlockFromSeveralProcessesAllLand) {
  TempDir dir;
  const std::string ppd = dir.Write("q.ppd",
                                    "*PPD-Adobe: \"4.3\"\n*FormatVersion: \"4.3\"\n"
                                    "*ModelName: \"Test\"\n*% End of q.ppd\n");
  constexpr int kProcesses = 4;
  constexpr int kUpdates = 25;
  pid_t children[kProcesses];
  for (int p = 0; p < kProcesses; ++p) {
    children[p] = fork();
    ASSERT_GE(children[p], 0);
    if (children[p] == 0) {
      int failures = 0;
      for (int u = 0; u < kUpdates; ++u) {
        const std::string key = "user" + std::to_string(p) + "x" + std::to_string(u);
        failures += ppdxUpdateData(ppd.c_str(), "KRPopupJnData", [&](std::string_view current) {
          std::optional<OpenStepPlist> dictionary = OpenStepPlist::Parse(current);
          if (!dictionary || !dictionary->IsDictionary()) dictionary = OpenStepPlist::MakeDictionary();
          dictionary->Set(key, OpenStepPlist("1"));
          return std::optional<std::string>(dictionary->ToText());
        }) != 0;
      }
      _exit(failures == 0 ? 0 : 1);
    }
  }
  for (pid_t child : children) {
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  std::optional<OpenStepPlist> stored = OpenStepPlist::Parse(ReadPPDDataBlock(ppd, "KRPopupJnData"));
  ASSERT_TRUE(stored && stored->IsDictionary());
  EXPECT_EQ(stored->Keys().size(), static_cast<std::size_t>(kProcesses * kUpdates));

  // An update that declines leaves the file as it is; bad arguments are refused.
  const std::string before = ReadFile(ppd);
  EXPECT_EQ(ppdxUpdateData(ppd.c_str(), "KRPopupJnData",
                           [](std::string_view) { return std::optional<std::string>(); }),
            0);
  EXPECT_EQ(ReadFile(ppd), before);
  EXPECT_EQ(ppdxUpdateData(ppd.c_str(), "bad name", [](std::string_view) {
              return std::optional<std::string>("x");
            }),
            -1);
  EXPECT_EQ(ppdxUpdateData((dir.path() / "none.ppd").c_str(), "KRPopupJnData",
                           [](std::string_view) { return std::optional<std::string>("x"); }),
            -2);
}

}  // namespace
}  // namespace quill::testing
