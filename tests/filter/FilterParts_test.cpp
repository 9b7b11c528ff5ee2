// The filter's parts without a spooler: command texts, the server profile, the section texts made
// from a server's state, and two filter processes storing blocks in one PPD at the same moment.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "CommandDispatch.h"
#include "FilterJob.h"
#include "ServerProfile.h"
#include "ServerQuery.h"
#include "TwoWayData.h"
#include "platform/Paths.h"
#include "ppddata/PPDDataBlock.h"
#include "support/TempDir.h"

namespace quill::cqf {
namespace {

TEST(UpdateRequest, SplitsAtTheFirstTwoDelimiters) {
  const struct {
    std::string text;
    UpdateRequest want;
  } cases[] = {
      {"ID::DELIMIT::10.0.0.5::DELIMIT::/tmp/a.ppdinfo", {"ID", "10.0.0.5", "/tmp/a.ppdinfo"}},
      {"ID::DELIMIT::::DELIMIT::/tmp/a.ppd", {"ID", "", "/tmp/a.ppd"}},
      // A delimiter inside the last field stays in it.
      {"ID::DELIMIT::h::DELIMIT::/p.ppd::DELIMIT::x", {"ID", "h", "/p.ppd::DELIMIT::x"}},
      {"ID::DELIMIT::h", {"ID", "h", ""}},
      {"ID", {"ID", "", ""}},
      {"", {"", "", ""}},
  };
  for (const auto& c : cases) {
    const UpdateRequest got = ParseUpdateRequest(c.text);
    EXPECT_EQ(got.identifier, c.want.identifier) << c.text;
    EXPECT_EQ(got.address, c.want.address) << c.text;
    EXPECT_EQ(got.rest, c.want.rest) << c.text;
  }
  EXPECT_TRUE(IsSafeIdentifier("7D1E2F30-4A5B_6c"));
  for (const char* bad : {"", "../x", "a/b", "a b", "a.b"}) EXPECT_FALSE(IsSafeIdentifier(bad)) << bad;
}

// The options as cupsd hands them to the filter; the quick look for the option's name must not
// change the answer of the full parse.
TEST(FilterJob, EmptyCommandOnlyWhenTheOptionSaysSo) {
  const struct {
    const char* options;
    bool want;
  } cases[] = {
      {"job-uuid=urn:uuid:1 quill-empty-command=true time-at-creation=1", true},
      {"quill-empty-command", true},
      {"quill-empty-command=1", true},
      {"quill-empty-command= job-uuid=urn:uuid:1", true},
      {"quill-empty-command=false", false},
      {"noquill-empty-command=true", false},
      {"job-name='quill-empty-command=true'", false},
      {"job-uuid=urn:uuid:1 time-at-creation=1", false},
      {"", false},
  };
  for (const auto& c : cases) {
    FilterJob job;
    job.options = c.options;
    EXPECT_EQ(job.EmptyCommand(), c.want) << c.options;
  }
}

TEST(PrintServerURI, FromTheAddressOrTheDevice) {
  const struct {
    const char* address;
    const char* device;
    const char* want;
  } cases[] = {
      {"10.0.0.5", "", "ipp://10.0.0.5/ipp/print"},
      {"server.example:8631", "", "ipp://server.example:8631/ipp/print"},
      {"ipps://server/ipp/print", "", "ipps://server/ipp/print"},
      {"", "ipp://localhost:631/ipp/print?snmp=false", "ipp://localhost:631/ipp/print"},
      {"", "socket://10.1.1.1:9100", "ipp://10.1.1.1/ipp/print"},
      {" ", "", ""},
      {"", "", ""},
      {"a b", "", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PrintServerURI(c.address, c.device), c.want) << c.address << " | " << c.device;
  }
}

TEST(ServerProfile, SectionsAndServerItems) {
  const ServerProfile profile = ServerProfile::Parse(
      "# comment\n"
      "stray line\n"
      "[ServerInfo]\r\nDiskAvailable=120\r\nnot an item\r\n"
      "[ServerFeatureSupport]\n\nDuplex=yes\n# comment inside\nStaple=no\n\n\n"
      "[bad name]\nlost\n"
      "[PresetsList]\n1\nOffice\n"
      "[PresetsList]\n2\nA\nB");
  ASSERT_EQ(profile.ServerInfoItems().size(), 1u);
  EXPECT_EQ(profile.ServerInfoItems()[0], ServerProfile::Section("DiskAvailable", "120"));
  ASSERT_EQ(profile.Sections().size(), 2u);
  EXPECT_EQ(profile.Sections()[0], ServerProfile::Section("ServerFeatureSupport", "Duplex=yes\nStaple=no"));
  EXPECT_EQ(profile.Sections()[1], ServerProfile::Section("PresetsList", "2\nA\nB"));
  EXPECT_EQ(profile.Problems().size(), 3u);  // the stray line, the bad name and its line
  EXPECT_TRUE(ServerProfile::Load("/no/such/profile.conf").Sections().empty());
}

TEST(SectionTexts, FollowThePanelsFormats) {
  ServerState state;
  state.name = "Server: 7";  // separators inside values must not split them
  state.model = "Quill Press";
  state.formats = {"application/pdf", "application/postscript"};
  state.markers = {{"Black@Toner", "#000000", "toner", 40, 10, 100}, {"Waste", "", "waste-toner", -3, -1, -1}};
  TrayState tray;
  tray.name = "Tray:1";
  tray.media = "iso_a4_210x297mm";
  tray.level = 250;
  tray.capacity = 500;
  state.trays = {tray};

  EXPECT_EQ(ServerInfoText(state, ServerProfile::Parse("[ServerInfo]\nMemSize=4096\nServerName=x\n")),
            "Server  7:ServerName\nQuill Press:ProductFamily\nyes:PSSupport\nno:PCLSupport\n"
            "4096:MemSize\n");
  EXPECT_EQ(TonerInfoText(state), "2\nBlack Toner@40@100@#000000@10@100@1\nWaste@-3@100@NULL@-1@-1@3\n");
  EXPECT_EQ(TrayInfoText(state),
            "1:Tray 1@iso_a4_210x297mm@EMPTY@EMPTY@EMPTY@EMPTY@auto@ready@250@500:");
  EXPECT_EQ(TrayInfoText(ServerState{}), "0:");
  EXPECT_EQ(WideBytes("a\xC3\xA9"), std::string("a\0\0\0\xE9\0\0\0", 8));
}

// Two filter processes handling block commands for the same queue at the same moment: every
// write lands and neither block is lost.
TEST(BlockCommands, TwoProcessesWritingTogetherBothLand) {
  quill::testing::TempDir dir;
  const std::string ppd = dir.Write("q.ppd", "*PPD-Adobe: \"4.3\"\n*ModelName: \"M\"\n");
  Paths::SetRoot(dir.path().string());
  constexpr int kRounds = 20;
  std::vector<pid_t> children;
  for (const char* title : {"command_PopupJnData", "Command_PRINTERLOCALPRESETS"}) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      FilterJob job;
      job.title = title;
      job.ppdPath = ppd;
      job.queue = "q";
      int failures = 0;
      for (int i = 0; i < kRounds; ++i) {
        std::string error;
        const std::string text = std::string(title) + " round " + std::to_string(i);
        if (HandleCommand(job, text, &error) != CommandStatus::kDone) ++failures;
      }
      _exit(failures);
    }
    children.push_back(pid);
  }
  for (const pid_t pid : children) {
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  Paths::ResetRoot();
  const std::string last = " round " + std::to_string(kRounds - 1);
  EXPECT_EQ(ReadPPDDataBlock(ppd, "KRPopupJnData"), "command_PopupJnData" + last);
  EXPECT_EQ(ReadPPDDataBlock(ppd, "KRLocalJPPresets"), "Command_PRINTERLOCALPRESETS" + last);
}

}  // namespace
}  // namespace quill::cqf
