// The panel's Print on the private CUPS server: a queue that requires an account code asks for
// it; OK with a code submits a job whose ticket carries the code to the print server, Cancel
// submits nothing.
#include <cups/cups.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "foundation/ProcessGlobals.h"
#include "panel/PPDTree.h"
#include "panel/PopupJobNoteWindow.h"
#include "panel/QuillFeaturesPDE.h"
#include "platform/Alert.h"
#include "platform/PrintDialogCallback.h"
#include "platform/PrintSession.h"
#include "platform/Printer.h"
#include "support/CupsServer.h"
#include "support/TempDir.h"

namespace quill::testing {
namespace {

namespace fs = std::filesystem;

constexpr char kQueue[] = "panelprint";
constexpr char kPage[] =
    "%!PS-Adobe-3.0\n%%Pages: 1\n%%EndComments\n%%Page: 1 1\n"
    "/Helvetica findfont 20 scalefont setfont 72 700 moveto (panel print) show showpage\n%%EOF\n";

class PanelPrint : public ::testing::Test {
 protected:
  void SetUp() override {
    CupsServer& server = CupsServer::Shared();
    if (!Printer(kQueue).Exists()) {
      std::string error;
      ASSERT_TRUE(server.AddQueue(kQueue, ExamplePath("QuillSample.ppd"), &error)) << error;
    }
    ::setenv("XDG_CONFIG_HOME", (dir_.path() / "config").c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", dir_.path().c_str(), 1);
    ResetProcessGlobals();
    QuillFeaturesPDE::ResetProcessState();
    GetPPDTree().Clear();
    SetAlertPresenter(&alerts_);
    page_ = dir_.Write("page.ps", kPage);
    std::string error;
    ppdCopy_ = Printer(kQueue).CopyPPD(&error);
    ASSERT_FALSE(ppdCopy_.empty()) << error;
    dialog_ = std::make_unique<PrintDialogCallback>(kQueue, ppdCopy_, true);
  }
  void TearDown() override {
    SetAlertPresenter(nullptr);
    QuillFeaturesPDE::ResetProcessState();
    PrintSession::Reset();
    if (!ppdCopy_.empty()) fs::remove(ppdCopy_);
  }

  // The queue's print jobs (command jobs to the filter left out), every state.
  static std::vector<int> Jobs() {
    cups_job_t* jobs = nullptr;
    const int count = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, kQueue, 0, CUPS_WHICHJOBS_ALL);
    std::vector<int> ids;
    for (int i = 0; i < count; ++i) {
      if (std::string(jobs[i].format) != Printer::kCommandFormat) ids.push_back(jobs[i].id);
    }
    cupsFreeJobs(count, jobs);
    return ids;
  }

  std::unique_ptr<QuillFeaturesPDE> Open(PopupJobNotePresenter& presenter) {
    QuillFeaturesPDEOptions options;
    options.popupPresenter = &presenter;
    std::string why;
    auto panel = QuillFeaturesPDE::initWithCallback(dialog_.get(), options, &why);
    EXPECT_NE(panel, nullptr) << why;
    if (panel) panel->SetDocuments({page_});
    return panel;
  }

  TempDir dir_;
  std::string page_;
  std::string ppdCopy_;
  std::unique_ptr<PrintDialogCallback> dialog_;
  HeadlessAlertPresenter alerts_;
};

TEST_F(PanelPrint, OKWithTheCodePrintsAJobCarryingItAndCancelPrintsNothing) {
  // Cancel first: no job reaches the spooler.
  const std::vector<int> before = Jobs();
  {
    HeadlessPopupJobNotePresenter cancel(HeadlessPopupJobNotePresenter::Answer::kCancel, {"12345"});
    auto panel = Open(cancel);
    ASSERT_NE(panel, nullptr);
    EXPECT_FALSE(panel->shouldPrint());
    EXPECT_EQ(cancel.ShownWindows().size(), 1u);
    EXPECT_TRUE(panel->SubmittedJobs().empty());
  }
  EXPECT_EQ(Jobs(), before);
  EXPECT_TRUE(alerts_.Shown().empty());

  const std::size_t received = CupsServer::Shared().ReceivedJobs().size();
  HeadlessPopupJobNotePresenter ok(HeadlessPopupJobNotePresenter::Answer::kOK, {"12345"});
  auto panel = Open(ok);
  ASSERT_NE(panel, nullptr);
  ASSERT_TRUE(panel->shouldPrint()) << panel->LastPrintError();
  ASSERT_EQ(ok.ShownWindows().size(), 1u);
  EXPECT_EQ(ok.ShownWindows()[0].fields[0].keyword, "*KRAccount");
  ASSERT_EQ(panel->SubmittedJobs().size(), 1u);

  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (CupsServer::Shared().ReceivedJobs().size() == received &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  std::vector<fs::path> jobs = CupsServer::Shared().ReceivedJobs();
  ASSERT_GT(jobs.size(), received) << CupsServer::Shared().ErrorLogTail();
  std::sort(jobs.begin(), jobs.end(), [](const fs::path& a, const fs::path& b) {
    return fs::last_write_time(a) < fs::last_write_time(b);
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(200));  // the last bytes may be on the way
  std::ifstream in(jobs.back(), std::ios::binary);
  const std::string job((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(job.find("%%KRAccount: (12345)"), std::string::npos) << jobs.back();
  EXPECT_NE(job.find("panel print"), std::string::npos);
}

}  // namespace
}  // namespace quill::testing
