// The platform printer against the private cupsd, and `quill queue add/remove` as an
// administrator runs it.
#include <cups/cups.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <sstream>
#include <vector>

#include "SpoolerTestSupport.h"
#include "platform/BackendURI.h"
#include "server/QueueAdmin.h"

namespace quill::testing {
namespace {

namespace fs = std::filesystem;

struct QuillRun {
  int status;
  std::string output;
};

// Runs quill with `args` (split at blanks; a URI's "&" is quoted for the shell).
QuillRun Quill(const std::string& args, const std::string& env = "") {
  std::string quoted;
  std::istringstream words(args);
  std::string word;
  while (words >> word) quoted += " '" + word + "'";
  const std::string command = env + " " + CupsServer::QuillPath() + quoted + " 2>&1";
  QuillRun run{-1, ""};
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return run;
  char buffer[4096];
  size_t got;
  while ((got = fread(buffer, 1, sizeof(buffer), pipe)) > 0) run.output.append(buffer, got);
  const int status = pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

TEST(Printer, AnswersForAQueue) {
  CupsServer& server = CupsServer::Shared();
  Printer printer = SharedQueue("plain");
  EXPECT_TRUE(printer.Exists());
  EXPECT_EQ(printer.DeviceURI(), server.PrintServerURI());
  EXPECT_EQ(printer.State(), Printer::kStateIdle);

  std::string error;
  const std::string copy = printer.CopyPPD(&error);
  ASSERT_FALSE(copy.empty()) << error;
  struct stat info;
  ASSERT_EQ(lstat(copy.c_str(), &info), 0);
  EXPECT_TRUE(S_ISREG(info.st_mode));  // a private copy, never a link to the server's file
  EXPECT_NE(ReadFile(copy).find("*cupsFilter2: \"application/vnd.cups-command"), std::string::npos);
  unlink(copy.c_str());
}

// A class has no PPD of its own at /printers/NAME.ppd: its member's PPD comes the long way.
TEST(Printer, ClassGivesItsMembersPPD) {
  Printer member = SharedQueue("plain");
  ipp_t* request = ippNewRequest(IPP_OP_CUPS_ADD_MODIFY_CLASS);
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr,
               "ipp://localhost/classes/QuillClass");
  ippAddString(request, IPP_TAG_PRINTER, IPP_TAG_URI, "member-uris", nullptr,
               "ipp://localhost/printers/plain");
  ippDelete(cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/admin/"));
  ASSERT_LE(cupsLastError(), IPP_STATUS_OK_EVENTS_COMPLETE) << cupsLastErrorString();

  std::string error;
  const std::string copy = Printer("QuillClass").CopyPPD(&error);
  ASSERT_FALSE(copy.empty()) << error;
  const std::string own = member.CopyPPD(&error);
  ASSERT_FALSE(own.empty()) << error;
  EXPECT_EQ(ReadFile(copy), ReadFile(own));
  unlink(copy.c_str());
  unlink(own.c_str());

  request = ippNewRequest(IPP_OP_CUPS_DELETE_CLASS);
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr,
               "ipp://localhost/classes/QuillClass");
  ippDelete(cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/admin/"));
}

// A device URI the caller already had is given back without asking the spooler, even when it has
// gone; without one, the spooler is asked.
TEST(Printer, DeviceURIGivenAtConstructionIsNotAskedAgain) {
  CupsServer& server = CupsServer::Shared();
  SharedQueue("plain");
  const Printer told("plain", "ipp://192.0.2.7/ipp/print");
  const Printer asking("plain");
  EXPECT_EQ(asking.DeviceURI(), server.PrintServerURI());
  server.StopCups();
  EXPECT_EQ(told.DeviceURI(), "ipp://192.0.2.7/ipp/print");
  EXPECT_EQ(asking.DeviceURI(), "");
  server.StartCups();
}

TEST(Printer, UnknownQueueAndJobGiveClearFailures) {
  CupsServer::Shared();
  Printer printer("no-such-queue");
  EXPECT_FALSE(printer.Exists());
  EXPECT_EQ(printer.State(), 0);
  EXPECT_EQ(printer.DeviceURI(), "");
  std::string error;
  EXPECT_EQ(printer.CopyPPD(&error), "");
  EXPECT_NE(error.find("no-such-queue"), std::string::npos);
  const Printer::SendResult sent = printer.SendCommand("x", "Command_LocaleCode");
  EXPECT_FALSE(sent);
  EXPECT_FALSE(sent.error.empty());
  EXPECT_EQ(SharedQueue("plain").JobState(999999, &error), 0);
}

// A spooler that goes away: every question gets a clear failure, none hangs; back again, the
// queue is still there.
TEST(Printer, SpoolerThatStopsGivesFailuresNotHangs) {
  CupsServer& server = CupsServer::Shared();
  Printer printer = SharedQueue("plain");
  server.StopCups();
  EXPECT_EQ(printer.State(), 0);
  EXPECT_FALSE(printer.Exists());
  const Printer::SendResult sent = printer.SendCommand("en", "Command_LocaleCode");
  EXPECT_FALSE(sent);
  EXPECT_FALSE(sent.error.empty());
  std::string error;
  EXPECT_EQ(printer.JobState(1, &error), 0);
  EXPECT_FALSE(error.empty());
  server.StartCups();
  EXPECT_TRUE(printer.Exists());
  // cupsd leaves the kept PPD writable for the filter across a restart.
  struct stat info;
  ASSERT_EQ(stat(server.QueuePPDPath("plain").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0660u);
  EXPECT_EQ(RunCommand(printer, "{ a = b; }", "command_PopupJnData"), Printer::kJobCompleted)
      << server.ErrorLogTail();
}

TEST(QueueCommand, AddSetsUpWhatTheFilterNeeds) {
  CupsServer& server = CupsServer::Shared();
  const QuillRun run = Quill("queue add admin --ppd " + ExamplePath("QuillSample.ppd") + " --uri " +
                        server.PrintServerURI() + " --filter " + server.FilterPath());
  ASSERT_EQ(run.status, 0) << run.output;
  Printer printer("admin");
  EXPECT_TRUE(printer.Exists());
  EXPECT_EQ(printer.State(), Printer::kStateIdle);

  struct stat info;
  ASSERT_EQ(stat(server.QueuePPDPath("admin").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0660u);
  EXPECT_EQ(info.st_gid, 7u);  // lp
  for (const fs::path& folder : {server.CacheDir(), server.BidiDir()}) {
    ASSERT_EQ(stat(folder.c_str(), &info), 0) << folder;
    EXPECT_EQ(info.st_uid, 7u) << folder;
  }
  const std::string kept = ReadFile(server.QueuePPDPath("admin"));
  EXPECT_NE(kept.find("*cupsFilter2: \"application/vnd.cups-command application/vnd.cups-command 0 " +
                      server.FilterPath() + "\""),
            std::string::npos);

  const QuillRun removed = Quill("queue remove admin");
  EXPECT_EQ(removed.status, 0) << removed.output;
  EXPECT_FALSE(printer.Exists());
}

// The device URI as the spooler keeps it, unlike Printer::DeviceURI, which gives the inner one.
std::string SpoolerDeviceURI(const std::string& queue) {
  cups_dest_t* dest = cupsGetNamedDest(CUPS_HTTP_DEFAULT, queue.c_str(), nullptr);
  const char* uri = dest != nullptr ? cupsGetOption("device-uri", dest->num_options, dest->options) : nullptr;
  std::string result = uri != nullptr ? uri : "";
  cupsFreeDests(1, dest);
  return result;
}

// A network device goes behind the quill backend when the spooler has it; readers still see the
// server's URI. Without the backend, or for a device the backend does not serve, the queue keeps
// the URI as given.
TEST(QueueCommand, AddPutsTheQuillBackendInFrontOfNetworkDevices) {
  CupsServer& server = CupsServer::Shared();
  const std::string ppd = ExamplePath("QuillSample.ppd");
  const std::string lpd = "lpd://127.0.0.1/queue";
  const fs::path backend = server.BackendPath();
  const fs::path aside = backend.string() + ".aside";
  const struct {
    const char* what;
    std::string uri;
    bool backend_installed;
    std::string kept;
  } cases[] = {
      {"ipp", server.PrintServerURI(), true, "quill:" + server.PrintServerURI()},
      {"already wrapped", "quill:" + server.PrintServerURI(), true, "quill:" + server.PrintServerURI()},
      {"lpd", lpd, true, lpd},
      {"no quill backend", server.PrintServerURI(), false, server.PrintServerURI()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    if (!c.backend_installed) fs::rename(backend, aside);
    const QuillRun run = Quill("queue add wrapped --ppd " + ppd + " --uri " + c.uri);
    if (!c.backend_installed) fs::rename(aside, backend);
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(SpoolerDeviceURI("wrapped"), c.kept);
    EXPECT_EQ(Printer("wrapped").DeviceURI(), std::string(backend_uri::Inner(c.uri)));
    EXPECT_EQ(Quill("queue remove wrapped").status, 0);
  }
}

TEST(QueueCommand, BadArgumentsAndUnreachableSpoolerExitWithTwo) {
  CupsServer& server = CupsServer::Shared();
  const std::string ppd = ExamplePath("QuillSample.ppd");
  const std::string uri = server.PrintServerURI();
  const struct {
    std::string args;
    std::string env;
  } cases[] = {
      {"queue add bad/name --ppd " + ppd + " --uri " + uri, ""},
      {"queue add q --ppd /no/such.ppd --uri " + uri, ""},
      {"queue add q --ppd /etc/hostname --uri " + uri, ""},
      {"queue add q --ppd " + ppd + " --uri nowhere", ""},
      {"queue add q --ppd " + ppd, ""},
      {"queue remove no-such-queue", ""},
      {"queue add q --ppd " + ppd + " --uri " + uri, "CUPS_SERVER=127.0.0.1:1"},
      {"queue remove q", "CUPS_SERVER=127.0.0.1:1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args + " " + c.env);
    const QuillRun run = Quill(c.args, c.env);
    EXPECT_EQ(run.status, 2) << run.output;
    EXPECT_FALSE(run.output.empty());
  }
  EXPECT_FALSE(Printer("q").Exists());
}

// A PostScript job through a queue that `quill queue add` set up reaches the print server whole,
// and Ghostscript runs what arrived.
TEST(QueueCommand, PrintJobsReachTheServer) {
  CupsServer& server = CupsServer::Shared();
  Printer printer = SharedQueue("print");
  TempDir dir;
  const std::string ps = dir.Write("page.ps",
                                   "%!PS-Adobe-3.0\n%%Pages: 1\n%%EndComments\n%%Page: 1 1\n"
                                   "/Helvetica findfont 24 scalefont setfont 72 720 moveto "
                                   "(quill test page) show showpage\n%%EOF\n");
  const size_t before = server.ReceivedJobs().size();
  const int job = cupsPrintFile("print", ps.c_str(), "page", 0, nullptr);
  ASSERT_GT(job, 0) << cupsLastErrorString();
  EXPECT_EQ(WaitForJobEnd(printer, job), Printer::kJobCompleted);
  // CUPS reports completion even when the server refuses; judge by what the server kept.
  std::vector<fs::path> received;
  for (int i = 0; i < 500 && received.size() <= before; ++i) {
    received = server.ReceivedJobs();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ASSERT_GT(received.size(), before) << server.ErrorLogTail();
  const std::string kept = ReadFile(received.back());
  EXPECT_NE(kept.find("(quill test page) show"), std::string::npos);
  const std::string gs = "gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=nullpage '" +
                         received.back().string() + "' > /dev/null 2>&1";
  EXPECT_EQ(std::system(gs.c_str()), 0);
}

TEST(QueueAdmin, AddFilterLinesRoutesWhatThePPDLacks) {
  const std::string head = "*PPD-Adobe: \"4.3\"\n";
  const std::string command = "*cupsFilter2: \"application/vnd.cups-command application/vnd.cups-command 0 /f\"\n";
  const std::string print = "*cupsFilter2: \"application/vnd.cups-postscript application/postscript 0 /f\"\n";
  const struct {
    std::string in;
    std::string out;
  } cases[] = {
      // No filter at all: commands and PostScript.
      {head + "*ModelName: \"M\"\n", head + command + print + "*ModelName: \"M\"\n"},
      // Own print filter: only the command route.
      {head + "*cupsFilter2: \"application/pdf application/pdf 0 own\"\n",
       head + command + "*cupsFilter2: \"application/pdf application/pdf 0 own\"\n"},
      // Old-style lines: the command route in their form.
      {head + "*cupsFilter: \"application/vnd.cups-postscript 0 own\"\n",
       head + "*cupsFilter: \"application/vnd.cups-command 0 /f\"\n" +
           "*cupsFilter: \"application/vnd.cups-postscript 0 own\"\n"},
      // Already routed: unchanged.
      {head + command, head + command},
      // CR LF lines and no final line end.
      {"*PPD-Adobe: \"4.3\"\r\n*ModelName: \"M\"", "*PPD-Adobe: \"4.3\"\r\n" + command + print + "*ModelName: \"M\""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(QueueAdmin::AddFilterLines(c.in, "/f"), c.out) << c.in;
  }
}

}  // namespace
}  // namespace quill::testing
