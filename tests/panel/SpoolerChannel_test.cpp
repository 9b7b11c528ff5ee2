#include "panel/SpoolerChannel.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/Alert.h"
#include "platform/Paths.h"
#include "platform/PrintSession.h"
#include "ppddata/BlockTestData.h"
#include "server/SpoolerCommands.h"
#include "support/TempDir.h"

namespace {

using quill::SpoolerChannel;
using quill::SpoolerWaits;
using ::testing::HasSubstr;
namespace fs = std::filesystem;

// Every test runs under its own root with the waits 100 times shorter, the headless alert
// presenter recording, and no printer chosen.
class SpoolerChannelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    quill::Paths::SetRoot(root_.path().string());
    fs::create_directories(quill::CacheFolder());
    SpoolerWaits::SetTimeScale(0.01);
    quill::SetAlertPresenter(&alerts_);
    quill::PrintSession::Reset();
  }
  void TearDown() override {
    quill::SetAlertPresenter(nullptr);
    SpoolerWaits::ResetTimeScale();
    quill::Paths::ResetRoot();
  }
  // Runs `action` after `delay` on another thread (joined at the end of the test).
  void Later(std::chrono::milliseconds delay, std::function<void()> action) {
    threads_.emplace_back([delay, action] {
      std::this_thread::sleep_for(delay);
      action();
    });
  }
  ~SpoolerChannelTest() override {
    for (auto& t : threads_) t.join();
  }
  static void Touch(const std::string& path, const std::string& text = "x") {
    std::ofstream(path, std::ios::binary) << text;
  }

  quill::testing::TempDir root_;
  quill::HeadlessAlertPresenter alerts_{quill::AlertButton::kAlternate};
  std::vector<std::thread> threads_;
  SpoolerChannel channel_;
};

TEST_F(SpoolerChannelTest, CacheFileNamesAreConfined) {
  const std::string folder = quill::CacheFolder();
  struct Case {
    std::string given;
    std::optional<std::string> path;
  } cases[] = {
      {"update.dat", folder + "update.dat"},
      {"/Library/Caches/KRT/ticket.xml", folder + "ticket.xml"},
      {folder + "ticket.xml", folder + "ticket.xml"},
      {"../etc/passwd", std::nullopt},
      {"/Library/Caches/KRT/../../etc/passwd", std::nullopt},
      {"/etc/passwd", std::nullopt},
      {"..", std::nullopt},
      {"", std::nullopt},
      {"sub/file", std::nullopt},
      {std::string("name\0.txt", 9), std::nullopt},
      {"line\nbreak", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(quill::ConfinedCachePath(c.given), c.path) << c.given;
  EXPECT_FALSE(quill::ConnectionErrorFilePath("../x"));
  EXPECT_EQ(quill::ConnectionErrorFilePath("ABC"), folder + "ConnectionErrorInfoFileABC.txt");
  std::string id = quill::NewCommandIdentifier();
  EXPECT_THAT(id, ::testing::MatchesRegex("[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}"));
  EXPECT_NE(id, quill::NewCommandIdentifier());
}

TEST_F(SpoolerChannelTest, CommandsThatCannotBeSentAreReported) {
  std::string error;
  EXPECT_FALSE(channel_.sendUpdateCommandToCQFWithCommand(quill::kCommandUpdateCommands, "", &error));
  EXPECT_EQ(error, "no printer chosen");
  quill::PrintSession::Current().SetCurrentPrinter(quill::Printer("no-such-queue"));
  channel_.SetPrinterAddress("10.0.0.1::DELIMIT::evil");
  EXPECT_FALSE(channel_.sendUpdateCommandToCQFWithCommand(quill::kCommandUpdateCommands, "", &error));
  EXPECT_THAT(error, HasSubstr("field separator"));
  for (const std::string& text : std::vector<std::string>{"../../etc/passwd", "ok.dat::DELIMIT::/etc/shadow", "ok\n/tmp/x",
                           std::string("a\0b", 3)}) {
    error.clear();
    EXPECT_FALSE(channel_.deleteFileCommandToCQF(text, &error)) << text;
    EXPECT_THAT(error, HasSubstr("refused")) << text;
  }
}

TEST_F(SpoolerChannelTest, WaitEndsWhenTheFileComesOrTheErrorFileExists) {
  const std::string expected = quill::CacheFolder() + "answer.txt";
  Later(std::chrono::milliseconds(30), [&] { Touch(expected); });
  EXPECT_EQ(channel_.WaitForFileToBeCreated("ID1", expected), SpoolerChannel::kFileCreated);

  Touch(*quill::ConnectionErrorFilePath("ID2"));
  EXPECT_EQ(channel_.WaitForFileToBeCreated("ID2", expected), SpoolerChannel::kNoFile)
      << "an error file present before the wait ends it at once";
  EXPECT_EQ(channel_.WaitForFileToBeCreated("../ID", expected), SpoolerChannel::kNoFile);
  EXPECT_TRUE(alerts_.Shown().empty());
}

TEST_F(SpoolerChannelTest, WaitTimesOutWithTheAlertUnlessOverridden) {
  const std::string expected = quill::CacheFolder() + "never.txt";
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(channel_.WaitForFileToBeCreated("ID3", expected), SpoolerChannel::kNoFile);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(300))
      << "35 s scaled by 0.01";
  ASSERT_EQ(alerts_.Shown().size(), 1u);
  EXPECT_EQ(alerts_.Shown()[0].message,
            "Two-Way Communication with the Quill controller cannot be established");
  EXPECT_EQ(channel_.printerInBusyState_ContinueBiDiOFF(), SpoolerChannel::kChoiceCancel);

  // With the override file the wait outlasts the limit, sleeping between checks.
  Touch(quill::CacheFolder() + quill::kTimeoutOverrideFile);
  const std::string late = quill::CacheFolder() + "late.txt";
  Later(std::chrono::milliseconds(800), [&] { Touch(late); });
  auto cpu_before = std::clock();
  EXPECT_EQ(channel_.WaitForFileToBeCreated("ID4", late), SpoolerChannel::kFileCreated);
  double cpu_seconds = static_cast<double>(std::clock() - cpu_before) / CLOCKS_PER_SEC;
  EXPECT_LT(cpu_seconds, 0.4) << "the checks sleep instead of spinning";
  EXPECT_EQ(alerts_.Shown().size(), 1u);
}

TEST_F(SpoolerChannelTest, ReadsTheTwoWayDataFileOnceTheWriterIsDone) {
  const std::string bundle_folder = root_.path().string() + "/Library/Printers/KRT/PDEs";
  fs::create_directories(bundle_folder);
  std::string ppd = root_.Write(
      "queue.ppd", quill::testing::PPDText(
                       {{"APDialogExtension", "/Library/Printers/KRT/PDEs/QuillFeatures.plugin"}}));
  std::string queue;
  EXPECT_TRUE(SpoolerChannel::getQueuePPDName("/etc/cups/ppd/office.ppd", queue));
  EXPECT_EQ(queue, "office");
  EXPECT_FALSE(SpoolerChannel::getQueuePPDName("/tmp/office", queue));
  channel_.SetQueueName("office");
  channel_.fillPDEInstallPath(ppd);
  EXPECT_EQ(channel_.PDEInstallPath(), bundle_folder + "/");
  channel_.fillBidiFilePaths();
  EXPECT_EQ(channel_.BidiDataFilePath(), bundle_folder + "/office.bididata");
  EXPECT_EQ(channel_.BidiMarkerFilePath(), bundle_folder + "/office.open");
  EXPECT_EQ(channel_.BonjourIPFilePath(), bundle_folder + "/office.bonjour");

  // The marker shows a write in progress; the data file is complete only when it goes.
  SpoolerWaits::SetTimeScale(0.2);  // the marker wait outlasts the writer
  Touch(channel_.BidiMarkerFilePath());
  Touch(channel_.BidiDataFilePath(), "half");
  Later(std::chrono::milliseconds(100), [&] {
    Touch(channel_.BidiDataFilePath(), "TonerInfo0000: a\r\nTrayInfo0000: b\rlast");
    fs::remove(channel_.BidiMarkerFilePath());
  });
  ASSERT_TRUE(channel_.readBidiData());
  EXPECT_EQ(channel_.getBidiDataCopy(), "TonerInfo0000: a\nTrayInfo0000: b\nlast\n");
  EXPECT_TRUE(canBiDiDataFileBeAccessed(channel_.BidiMarkerFilePath()));
  SpoolerWaits::SetTimeScale(0.01);
  Touch(channel_.BidiMarkerFilePath());
  EXPECT_FALSE(canBiDiDataFileBeAccessed(channel_.BidiMarkerFilePath()));
  fs::remove(channel_.BidiMarkerFilePath());

  // A data file that never comes: false after the wait, the loaded text kept.
  fs::remove(channel_.BidiDataFilePath());
  EXPECT_FALSE(channel_.readBidiData());
  EXPECT_EQ(channel_.getBidiDataCopy(), "TonerInfo0000: a\nTrayInfo0000: b\nlast\n");
}

TEST_F(SpoolerChannelTest, PanelBundleFolderNeedsTheKeywordAndTheFolder) {
  std::string without = root_.Write("a.ppd", quill::testing::PPDText({}));
  std::string missing = root_.Write(
      "b.ppd", quill::testing::PPDText({{"APDialogExtension", "/No/Such/Folder/X.plugin"}}));
  for (const std::string& ppd : {without, missing, std::string("/nonexistent.ppd")}) {
    channel_.SetPDEInstallPath("stale");
    channel_.fillPDEInstallPath(ppd);
    EXPECT_EQ(channel_.PDEInstallPath(), "") << ppd;
  }
}

TEST_F(SpoolerChannelTest, LaunchWithoutTwoWayDataOpensForAnInvalidAddress) {
  channel_.SetQueueName("office");
  channel_.SetSessionPPDPath(root_.Write("q.ppd", quill::testing::PPDText({})));
  SpoolerChannel::LaunchResult result = channel_.launchFullProperties();
  EXPECT_EQ(result.action, SpoolerChannel::kActionInvalidAddress);
  EXPECT_FALSE(result.handedOver);
  EXPECT_THAT(result.message, HasSubstr("not available"));
}

}  // namespace
