// The panel's side of the spooler channel against the real parts: a private cupsd whose queues
// were set up by `quill queue add`, the filter that cupsd runs as lp, and ippeveprinter as the
// print server. The preference list, the pop-up job-note record, the command-job wait and the
// quill commands server-data, blocks and address.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "connection/KRTMeridiaPrinterPList.h"
#include "foundation/ProcessGlobals.h"
#include "panel/SpoolerChannel.h"
#include "platform/Alert.h"
#include "platform/PrintSession.h"
#include "platform/Printer.h"
#include "platform/SystemInfo.h"
#include "ppddata/KRPDEData.h"
#include "ppddata/OpenStepPlist.h"
#include "server/CPPDMsgHdlr.h"
#include "server/SpoolerCommands.h"
#include "support/CupsServer.h"

#ifndef QUILL_CLI_PATH
#define QUILL_CLI_PATH quill::testing::CupsServer::QuillPath()
#endif
#include "support/Run.h"

namespace quill::testing {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

// A queue of the shared private cupsd with the sample PPD, set up through `quill queue add`.
Printer Queue(const std::string& name, const std::string& uri = "") {
  CupsServer& server = CupsServer::Shared();
  Printer printer(name);
  if (!printer.Exists()) {
    std::string error;
    EXPECT_TRUE(server.AddQueue(name, ExamplePath("QuillSample.ppd"), &error, uri)) << error;
  }
  return printer;
}

// Block `name` (without "KR") in a fresh copy of the queue's PPD.
std::string Block(const Printer& printer, const std::string& name) {
  const std::string copy = printer.CopyPPD();
  std::string data = CPPDMsgHdlr(name, copy).GetCStringData();
  unlink(copy.c_str());
  return data;
}

int WaitForJob(const Printer& printer, int jobId) {
  for (int i = 0; i < 3000; ++i) {
    int state = printer.JobState(jobId);
    if (state >= 6) return state;
    usleep(20000);
  }
  return 0;
}

class ChannelOnCups : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetProcessGlobals();
    SystemInfo::Reset();
    PrintSession::Reset();
    SpoolerWaits::SetTimeScale(0.05);
    SetAlertPresenter(&alerts_);
  }
  void TearDown() override {
    SetAlertPresenter(nullptr);
    SpoolerWaits::ResetTimeScale();
    PrintSession::Reset();
    SystemInfo::Reset();
    ResetProcessGlobals();
    if (!server_.CupsRunning()) server_.StartCups();
  }
  CupsServer& server_ = CupsServer::Shared();
  HeadlessAlertPresenter alerts_{AlertButton::kDefault};
};

TEST_F(ChannelOnCups, PreferenceListSurvivesSaveAndLoadThroughItsBlock) {
  Printer printer = Queue("prefs");
  PrintSession::Current().SetCurrentPrinter(printer);
  SystemInfo::SetVersion({10, 14});  // the save waits for its command job before 10.15
  {
    KRTMeridiaPrinterPList list;
    ASSERT_TRUE(list.SourceReadable()) << list.ErrorText();
    list.Add("prefs", "10.1.2.3", true);
    list.Add("other", "server.example", false);
    ASSERT_TRUE(list.AddDataBlob("prefs", 1, {"watermark \xC3\xA9", "prefs"}));
    ASSERT_TRUE(list.Save()) << list.ErrorText();
    EXPECT_GT(list.LastJobId(), 0);
  }
  {
    KRTMeridiaPrinterPList list;
    EXPECT_EQ(list.Find("PREFS"), "10.1.2.3");
    EXPECT_TRUE(list.getIPEnabled("prefs"));
    EXPECT_EQ(list.Find("other"), "server.example");
    std::vector<std::string> lines;
    ASSERT_TRUE(list.GetDataBlob("prefs", 1, lines));
    EXPECT_THAT(lines, ::testing::ElementsAre("watermark \xC3\xA9", "prefs"));
    // Unchanged: nothing is sent.
    EXPECT_TRUE(list.Save());
    EXPECT_EQ(list.LastJobId(), 0);
  }
}

TEST_F(ChannelOnCups, AnUnreadableStoredListIsNotReplaced) {
  Printer printer = Queue("badprefs");
  ASSERT_EQ(WaitForJob(printer, printer.SendCommand("not a plist", "Command_KRTPrefsX").jobId),
            Printer::kJobCompleted);
  PrintSession::Current().SetCurrentPrinter(printer);
  KRTMeridiaPrinterPList list;
  EXPECT_FALSE(list.SourceReadable());
  list.Add("badprefs", "10.0.0.1", true);
  EXPECT_FALSE(list.Save());
  EXPECT_EQ(list.LastJobId(), 0);
}

TEST_F(ChannelOnCups, IsJobCompleFollowsItsOwnJob) {
  Printer printer = Queue("jobs");
  const Printer::SendResult first = printer.SendCommand("en", "Command_LocaleCode");
  const Printer::SendResult second = printer.SendCommand("ja", "Command_LocaleCode");
  ASSERT_TRUE(first && second);
  ::testing::internal::CaptureStderr();
  EXPECT_TRUE(isJobComple(printer, second.jobId, "Command_LocaleCode"));
  std::string diagnostics = ::testing::internal::GetCapturedStderr();
  EXPECT_THAT(diagnostics, HasSubstr("id=" + std::to_string(second.jobId)));
  EXPECT_THAT(diagnostics, HasSubstr("isJobComple: try="));
  const std::string fetched = Globals().currentPPDPath;
  EXPECT_TRUE(fs::exists(fetched));

  // The next wait fetches a newer copy and removes the one before.
  const Printer::SendResult third = printer.SendCommand("fr", "Command_LocaleCode");
  EXPECT_TRUE(isJobComple(printer, third.jobId, "Command_LocaleCode"));
  EXPECT_NE(Globals().currentPPDPath, fetched);
  EXPECT_FALSE(fs::exists(fetched));

  // A job that does not exist, or ends otherwise, is no success.
  EXPECT_FALSE(isJobComple(printer, 0, "x"));
  const Printer::SendResult refused = printer.SendCommand("x", "Command_NoSuchThing");
  EXPECT_FALSE(isJobComple(printer, refused.jobId, "Command_NoSuchThing"));
}

TEST_F(ChannelOnCups, TwoUsersPopupRecordsBothStay) {
  Printer printer = Queue("popup");
  PrintSession::Current().SetCurrentPrinter(printer);
  for (const char* user : {"alice", "bob"}) {
    // Each user's panel starts from a fresh copy of the queue's PPD.
    const std::string copy = printer.CopyPPD();
    Globals().currentPPDPath = copy;
    SystemInfo::SetUserName(user);
    EXPECT_EQ(KRPDEDataWrite(nullptr, (std::string("110") + user + "\n").c_str()), 0);
    unlink(copy.c_str());
    for (int i = 0; i < 500 && Block(printer, "PopupJnData").find(user) == std::string::npos; ++i) {
      usleep(20000);
    }
  }
  auto dictionary = OpenStepPlist::Parse(Block(printer, "PopupJnData"));
  ASSERT_TRUE(dictionary && dictionary->IsDictionary());
  ASSERT_TRUE(dictionary->Find("alice") && dictionary->Find("bob"));
  EXPECT_EQ(dictionary->Find("alice")->String(), "110alice\n");

  Globals().currentPPDPath = printer.CopyPPD();
  char out[kKRPDERecordBufferSize];
  int length = 0;
  EXPECT_EQ(KRPDEDataRead(nullptr, out, &length), 0);
  EXPECT_STREQ(out, "110bob\n");
  unlink(Globals().currentPPDPath.c_str());
}

TEST_F(ChannelOnCups, RefreshLoadsTheServersSectionsOrTheConnectionError) {
  Printer printer = Queue("refresh", server_.PrintServerURI());
  PrintSession::Current().SetCurrentPrinter(printer);
  SpoolerChannel channel;
  channel.SetQueueName("refresh");
  const std::string ppd = printer.CopyPPD();
  channel.SetSessionPPDPath(ppd);
  channel.fillPDEInstallPath(ppd);
  EXPECT_EQ(channel.PDEInstallPath(), server_.BidiDir().string() + "/");
  channel.fillBidiFilePaths();
  std::string error;
  ASSERT_EQ(channel.RefreshBidiData(&error), SpoolerChannel::Refresh::kLoaded) << error;
  EXPECT_THAT(channel.getBidiDataCopy(), HasSubstr("TonerInfo0000: "));

  // An address where no print server listens: the filter's error file ends the wait.
  channel.SetPrinterAddress(server_.UnreachableURI().substr(std::string("ipp://").size(),
                                                            server_.UnreachableURI().find("/ipp") - 6));
  EXPECT_EQ(channel.RefreshBidiData(&error), SpoolerChannel::Refresh::kConnectionError) << error;
  EXPECT_THAT(error, HasSubstr("cannot be reached"));
  unlink(ppd.c_str());
}

TEST_F(ChannelOnCups, ASpoolerThatStopsGivesAClearResultInTime) {
  Printer printer = Queue("stopping");
  PrintSession::Current().SetCurrentPrinter(printer);
  EXPECT_EQ(SpoolerChannel().isPrinterBusyWithPrinting(), 0) << "an idle queue";
  const Printer::SendResult sent = printer.SendCommand("en", "Command_LocaleCode");
  ASSERT_TRUE(sent);
  server_.StopCups();
  auto start = std::chrono::steady_clock::now();
  ::testing::internal::CaptureStderr();
  // The job may have completed before cupsd went; either way the wait answers within its limit.
  (void)isJobComple(printer, sent.jobId, "Command_LocaleCode");
  ::testing::internal::GetCapturedStderr();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(36));

  SpoolerChannel channel;
  channel.SetQueueName("stopping");
  std::string error;
  EXPECT_EQ(channel.RefreshBidiData(&error), SpoolerChannel::Refresh::kSendFailed);
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(channel.isPrinterBusyWithPrinting(), 1) << "a spooler that cannot be asked";
  EXPECT_EQ(channel.WaitForFileToBeCreated(SpoolerChannel::RequestIdentifier(),
                                           server_.CacheDir().string() + "/never"),
            SpoolerChannel::kNoFile);
  EXPECT_EQ(alerts_.Shown().size(), 1u);

  RunResult address = RunQuill({"address", "stopping", "--set", "10.0.0.1"});
  EXPECT_EQ(address.status, 2);
  server_.StartCups();
}

TEST_F(ChannelOnCups, CommandsWorkOnAQueueSetUpByQuill) {
  Queue("cli", server_.PrintServerURI());
  setenv(SpoolerWaits::kScaleVariable, "0.05", 1);

  RunResult data = RunQuill({"server-data", "cli", "--json"});
  ASSERT_EQ(data.status, 0) << data.err;
  auto sections = nlohmann::json::parse(data.out);
  std::map<std::string, std::string> by_name;
  for (const auto& s : sections) by_name[s["name"]] = s["text"];
  ASSERT_TRUE(by_name.count("TonerInfo") && by_name.count("TrayInfo")) << data.out;
  for (std::size_t i = 0; i < std::size(CupsServer::kMarkerNames); ++i) {
    EXPECT_THAT(by_name["TonerInfo"], HasSubstr(CupsServer::kMarkerNames[i]));
    EXPECT_THAT(by_name["TonerInfo"], HasSubstr("@" + std::to_string(CupsServer::kMarkerLevels[i])));
  }
  for (const char* media : CupsServer::kMediaReady) EXPECT_THAT(by_name["TrayInfo"], HasSubstr(media));

  RunResult toner = RunQuill({"server-data", "cli", "--section", "TonerInfo"});
  EXPECT_EQ(toner.status, 0) << toner.err;
  EXPECT_THAT(toner.out, HasSubstr("section TonerInfo ("));
  EXPECT_EQ(RunQuill({"server-data", "cli", "--section", "NoSuch"}).status, 1);
  const std::string file = (server_.BidiDir() / "cli.bididata").string();
  EXPECT_EQ(RunQuill({"server-data", file, "--section", "TrayInfo"}).status, 0);

  RunResult set = RunQuill({"address", "cli", "--set", "127.0.0.1:0", "--two-way", "off"});
  EXPECT_EQ(set.status, 0) << set.err;
  RunResult shown = RunQuill({"address", "cli", "--json"});
  ASSERT_EQ(shown.status, 0) << shown.err;
  auto record = nlohmann::json::parse(shown.out);
  EXPECT_EQ(record["address"], "127.0.0.1:0");
  EXPECT_EQ(record["two_way"], false);
  EXPECT_EQ(RunQuill({"address", "cli", "--two-way", "on", "--set", "bad address"}).status, 2);

  RunResult blocks = RunQuill({"blocks", "cli"});
  ASSERT_EQ(blocks.status, 0) << blocks.err;
  EXPECT_THAT(blocks.out, HasSubstr("KRDriverPreference"));
  RunResult one = RunQuill({"blocks", "cli", "--name", "DriverPreference"});
  EXPECT_EQ(one.status, 0);
  EXPECT_THAT(one.out, HasSubstr("<string>127.0.0.1:0</string>"));
  EXPECT_EQ(RunQuill({"blocks", "cli", "--name", "NoSuchBlock"}).status, 1);

  for (const char* command : {"server-data", "blocks", "address"}) {
    RunResult unknown = RunQuill({command, "no-such-queue"});
    EXPECT_EQ(unknown.status, 2) << command;
    EXPECT_THAT(unknown.err, HasSubstr("no queue named no-such-queue")) << command;
  }
  unsetenv(SpoolerWaits::kScaleVariable);
}

TEST_F(ChannelOnCups, ServerDataOfAnUnreachablePrintServer) {
  Queue("noserver", server_.UnreachableURI());
  setenv(SpoolerWaits::kScaleVariable, "0.05", 1);
  RunResult data = RunQuill({"server-data", "noserver"});
  EXPECT_EQ(data.status, 1);
  EXPECT_THAT(data.err, HasSubstr("cannot be reached"));
  unsetenv(SpoolerWaits::kScaleVariable);
}

}  // namespace
}  // namespace quill::testing
