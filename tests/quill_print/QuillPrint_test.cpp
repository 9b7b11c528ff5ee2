// quill print on the private CUPS server: where the choices come from, what a job carries, and
// the refusals that leave nothing behind.
#include <cups/cups.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/Printer.h"
#include "support/CupsServer.h"
#include "support/Run.h"
#include "support/TempDir.h"

namespace quill::testing {
namespace {

namespace fs = std::filesystem;

constexpr char kQueue[] = "printcli";
constexpr char kPage[] =
    "%!PS-Adobe-3.0\n%%Pages: 1\n%%EndComments\n%%Page: 1 1\n"
    "/Helvetica findfont 20 scalefont setfont 72 700 moveto (quill print) show showpage\n%%EOF\n";

// Sets an environment variable for the life of the object.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (old_) {
      setenv(name_, old_->c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

class QuillPrint : public ::testing::Test {
 protected:
  void SetUp() override {
    CupsServer& server = CupsServer::Shared();
    if (!Printer(kQueue).Exists()) {
      std::string error;
      ASSERT_TRUE(server.AddQueue(kQueue, ExamplePath("QuillSample.ppd"), &error)) << error;
    }
    page_ = dir_.Write("page.ps", kPage);
    // The user's saved settings and lpoptions live in folders of the test's own.
    config_ = std::make_unique<ScopedEnv>("XDG_CONFIG_HOME", (dir_.path() / "config").string());
    home_ = std::make_unique<ScopedEnv>("HOME", dir_.path().string());
  }

  // Job ids of the queue, every state.
  static std::vector<int> Jobs() {
    cups_job_t* jobs = nullptr;
    const int count = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, kQueue, 0, CUPS_WHICHJOBS_ALL);
    std::vector<int> ids;
    for (int i = 0; i < count; ++i) ids.push_back(jobs[i].id);
    cupsFreeJobs(count, jobs);
    return ids;
  }

  // The job options that a dry run lists, as KEY=VALUE lines.
  static std::vector<std::string> DryRunOptions(const RunResult& run) {
    std::vector<std::string> lines;
    const std::size_t at = run.out.find("-- job options\n");
    if (at == std::string::npos) return lines;
    std::istringstream in(run.out.substr(at + 15));
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

  static bool Has(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  }

  TempDir dir_;
  std::string page_;
  std::unique_ptr<ScopedEnv> config_;
  std::unique_ptr<ScopedEnv> home_;
};

TEST_F(QuillPrint, ChoicesComeFromLpoptionsThenSavedSettingsThenTheCommandLine) {
  const std::vector<int> before = Jobs();
  // The user's lpoptions defaults for the queue.
  fs::create_directories(dir_.path() / ".cups");
  std::ofstream(dir_.path() / ".cups/lpoptions")
      << "Dest " << kQueue << " Duplex=DuplexNoTumble KRColorMode=Gray\n";
  RunResult run = RunQuill({"print", "-d", kQueue, "--dry-run", "--note", "KRAccount=4711", page_});
  ASSERT_EQ(run.status, 0) << run.err;
  std::vector<std::string> options = DryRunOptions(run);
  EXPECT_TRUE(Has(options, "Duplex=DuplexNoTumble"));
  EXPECT_TRUE(Has(options, "KRColorMode=Gray"));
  EXPECT_NE(run.out.find("<plist"), std::string::npos);
  // The ticket's key names a ticket under the cache folder; job notes never become job options.
  EXPECT_TRUE(std::any_of(options.begin(), options.end(), [](const std::string& line) {
    return line.rfind("KRT.PSData.", 0) == 0 &&
           line.find("=/Library/Caches/KRT/Quill.temp") != std::string::npos;
  }));
  for (const std::string& line : options) EXPECT_EQ(line.find("4711"), std::string::npos) << line;
  // A dry run sends nothing at all.
  EXPECT_EQ(Jobs(), before);

  // The settings saved for the queue (the last choices of the dialog) come next.
  RunResult saved = RunQuill({"settings", kQueue, "--set", "Duplex=DuplexTumble", "--save"});
  ASSERT_EQ(saved.status, 0) << saved.err;
  const std::vector<int> saved_jobs = Jobs();
  run = RunQuill({"print", "-d", kQueue, "--dry-run", "--note", "KRAccount=4711", page_});
  ASSERT_EQ(run.status, 0) << run.err;
  options = DryRunOptions(run);
  EXPECT_TRUE(Has(options, "Duplex=DuplexTumble"));
  EXPECT_TRUE(Has(options, "KRColorMode=Color"));

  // Then the command line, several options in one -o as lp takes them.
  run = RunQuill({"print", "-d", kQueue, "--dry-run", "-o", "Duplex=None KRColorMode=Gray",
                  "--note", "KRAccount=4711", page_});
  ASSERT_EQ(run.status, 0) << run.err;
  options = DryRunOptions(run);
  EXPECT_TRUE(Has(options, "Duplex=None"));
  EXPECT_TRUE(Has(options, "KRColorMode=Gray"));
  EXPECT_EQ(Jobs(), saved_jobs);
}

TEST_F(QuillPrint, SubmitsTheJobWithItsOptionsAndTicket) {
  const std::size_t received = CupsServer::Shared().ReceivedJobs().size();
  RunResult run = RunQuill({"print", "-d", kQueue, "-o", "*Duplex=DuplexTumble", "--note",
                            "KRAccount=4711", "-t", "Quarterly", "-n", "2", page_});
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string prefix = std::string("request id is ") + kQueue + "-";
  ASSERT_EQ(run.out.rfind(prefix, 0), 0u) << run.out;
  EXPECT_NE(run.out.find(" (1 file(s))\n"), std::string::npos);
  const int job = std::atoi(run.out.c_str() + prefix.size());
  ASSERT_GT(job, 0);

  // The job carries its title, copies, the option values and the ticket's key as its attributes.
  ipp_t* request = ippNewRequest(IPP_OP_GET_JOB_ATTRIBUTES);
  const std::string uri = "ipp://localhost/jobs/" + std::to_string(job);
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "job-uri", nullptr, uri.c_str());
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
               cupsUser());
  ipp_t* response = cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/");
  ASSERT_NE(response, nullptr) << cupsLastErrorString();
  ipp_attribute_t* name = ippFindAttribute(response, "job-name", IPP_TAG_NAME);
  ASSERT_NE(name, nullptr);
  EXPECT_STREQ(ippGetString(name, 0, nullptr), "Quarterly");
  ipp_attribute_t* copies = ippFindAttribute(response, "copies", IPP_TAG_INTEGER);
  ASSERT_NE(copies, nullptr);
  EXPECT_EQ(ippGetInteger(copies, 0), 2);
  ipp_attribute_t* owner = ippFindAttribute(response, "job-originating-user-name", IPP_TAG_NAME);
  ASSERT_NE(owner, nullptr);
  EXPECT_STREQ(ippGetString(owner, 0, nullptr), cupsUser());
  ipp_attribute_t* duplex = ippFindAttribute(response, "Duplex", IPP_TAG_ZERO);
  ASSERT_NE(duplex, nullptr);
  EXPECT_STREQ(ippGetString(duplex, 0, nullptr), "DuplexTumble");
  bool has_ticket_key = false;
  for (ipp_attribute_t* a = ippFirstAttribute(response); a != nullptr; a = ippNextAttribute(response)) {
    const char* name = ippGetName(a);
    if (name != nullptr && std::string(name).rfind("KRT.PSData.", 0) == 0) has_ticket_key = true;
    EXPECT_FALSE(name != nullptr && std::string(name) == "KRAccount");
  }
  EXPECT_TRUE(has_ticket_key);
  ippDelete(response);

  // The print server gets the document.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (CupsServer::Shared().ReceivedJobs().size() == received &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  EXPECT_GT(CupsServer::Shared().ReceivedJobs().size(), received);
}

// Several files go out as jobs of their own, each with its own ticket, and each arrives with the
// ticket's pieces in place.
TEST_F(QuillPrint, EachFileIsAJobWithItsOwnTicket) {
  const std::string second = dir_.Write("second.ps", kPage);
  const std::size_t received = CupsServer::Shared().ReceivedJobs().size();
  RunResult run =
      RunQuill({"print", "-d", kQueue, "--note", "KRAccount=4711", page_, second});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 2) << run.out;

  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
  while (CupsServer::Shared().ReceivedJobs().size() < received + 2 &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  std::vector<fs::path> jobs = CupsServer::Shared().ReceivedJobs();
  ASSERT_EQ(jobs.size(), received + 2);
  std::sort(jobs.begin(), jobs.end(), [](const fs::path& a, const fs::path& b) {
    return fs::last_write_time(a) < fs::last_write_time(b);
  });
  for (std::size_t i = received; i < jobs.size(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));  // the last bytes may be on the way
    std::ifstream in(jobs[i], std::ios::binary);
    const std::string job((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::size_t count = 0;
    for (std::size_t at = job.find("%%KRTDriver\n"); at != std::string::npos;
         at = job.find("%%KRTDriver\n", at + 1)) {
      ++count;
    }
    EXPECT_EQ(count, 1u) << jobs[i];
    EXPECT_NE(job.find("%%KRAccount: (4711)"), std::string::npos) << jobs[i];
  }
}

TEST_F(QuillPrint, RefusesBadInputWithOneLineAndSubmitsNothing) {
  const std::string empty = dir_.Write("empty.ps", "");
  const std::string text = dir_.Write("notes.txt", "just some text\n");
  struct Case {
    const char* what;
    std::vector<std::string> args;
    const char* message;  // part of the one line on standard error
  };
  const std::vector<Case> cases = {
      {"options in conflict",
       {"-o", "Duplex=DuplexTumble", "-o", "PageSize=SRA3"},
       "*PageSize=SRA3 is not allowed with *Duplex=DuplexTumble"},
      {"no finisher, yet stapling",
       {"-o", "KRFinisher=None", "-o", "KRStaple=TopLeft"},
       "*KRFinisher=None is not allowed with *KRStaple=TopLeft"},
      {"an unknown option", {"-o", "Stapling=Yes"}, "no key Stapling"},
      {"a choice the option lacks", {"-o", "Duplex=Sideways"}, "\"Sideways\" for *Duplex"},
      {"a line end in a value", {"-o", "Duplex=None\nKRPunch=4Hole"}, "control character"},
      {"a job note given as an option", {"-o", "KRAccount=4711"}, "is a job note"},
      {"a line end in a job note", {"--note", "KRJobName=a\nb"}, "control character"},
      {"a watermark the queue lacks", {"--watermark", "19"}, "no watermark 19"},
  };
  const std::vector<int> before = Jobs();
  for (const Case& c : cases) {
    std::vector<std::string> args = {"print", "-d", kQueue, "--note", "KRAccount=4711"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    args.push_back(page_);
    RunResult run = RunQuill(args);
    EXPECT_EQ(run.status, 2) << c.what;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << c.what << ": " << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << c.what << ": " << run.err;
  }
  // Files and queues.
  const std::vector<std::pair<std::vector<std::string>, const char*>> targets = {
      {{"print", "-d", kQueue, "--note", "KRAccount=4711", empty}, "is empty"},
      {{"print", "-d", kQueue, "--note", "KRAccount=4711", text}, "neither PostScript nor PDF"},
      {{"print", "-d", kQueue, "--note", "KRAccount=4711", (dir_.path() / "none.ps").string()},
       "cannot read"},
      {{"print", "-d", "noqueue", "--note", "KRAccount=4711", page_}, "no queue named noqueue"},
      // The account number is required and no terminal is there to ask for it.
      {{"print", "-d", kQueue, page_}, "--note KRAccount=TEXT"},
  };
  for (const auto& [args, message] : targets) {
    RunResult run = RunQuill(args);
    EXPECT_EQ(run.status, 2) << message;
    EXPECT_NE(run.err.find(message), std::string::npos) << run.err;
  }
  EXPECT_EQ(Jobs(), before);
}

TEST_F(QuillPrint, SaysSoWhenTheSpoolerIsNotRunning) {
  // A loopback port where no spooler listens.
  ScopedEnv server("CUPS_SERVER", "127.0.0.1:9");
  RunResult run = RunQuill({"print", "-d", kQueue, "--note", "KRAccount=4711", page_});
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("cannot reach the spooler"), std::string::npos) << run.err;
}

}  // namespace
}  // namespace quill::testing
