// Command jobs on the tests' private cupsd (needs root, like the cups tests): the round trip of a
// command (SendCommand, then its state until completed) beside `lp` of a one-byte file to the same
// queue waiting the same way; and isJobComple with 100 and with 10,000 completed jobs in the
// queue's history. Run: build/bench/spooler_cups_bench (setting up the 10,000 jobs takes a few
// minutes: cupsd runs one small process per job).
#include <benchmark/benchmark.h>
#include <cups/cups.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/Printer.h"
#include "server/SpoolerCommands.h"
#include "support/CupsServer.h"
#include "support/TempDir.h"

extern char** environ;

namespace {

using quill::Printer;
using quill::testing::CupsServer;

Printer Queue(const std::string& name) {
  Printer printer(name);
  if (!printer.Exists()) {
    std::string error;
    if (!CupsServer::Shared().AddQueue(name, std::string(QUILL_EXAMPLES_DIR) + "/QuillSample.ppd",
                                       &error)) {
      std::fprintf(stderr, "cannot add queue %s: %s\n", name.c_str(), error.c_str());
      std::exit(1);
    }
  }
  return printer;
}

// Polls the job every millisecond until it ends; its last state.
int WaitEnd(const Printer& printer, int job) {
  for (;;) {
    int state = printer.JobState(job);
    if (state >= 6 || state == 0) return state;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

// Runs `lp` and returns the job id it reports ("request id is QUEUE-N (1 file(s))").
int Lp(const std::vector<std::string>& args) {
  quill::testing::TempDir dir;
  std::string out = (dir.path() / "out").string();
  std::vector<std::string> all = {"/usr/bin/lp"};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  pid_t pid;
  int status = -1;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) waitpid(pid, &status, 0);
  posix_spawn_file_actions_destroy(&actions);
  std::ifstream in(out);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::size_t dash = text.rfind('-', text.find(" ("));
  return dash == std::string::npos ? 0 : std::atoi(text.c_str() + dash + 1);
}

void BM_CommandRoundTrip(benchmark::State& state) {
  Printer printer = Queue("bench");
  for (auto _ : state) {
    Printer::SendResult sent = printer.SendCommand("en", "Command_LocaleCode");
    if (!sent || WaitEnd(printer, sent.jobId) != Printer::kJobCompleted) {
      state.SkipWithError("command did not complete");
      break;
    }
  }
}
BENCHMARK(BM_CommandRoundTrip)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(5);

void BM_LpOneByteRoundTrip(benchmark::State& state) {
  Printer printer = Queue("bench");
  quill::testing::TempDir dir;
  std::string file = dir.Write("one", "x");
  for (auto _ : state) {
    // The same kind of job as a command, so that cupsd and the filter do the same work for both.
    int job = Lp({"-d", "bench", "-o", "document-format=application/vnd.cups-command", "-t",
                  "Command_LocaleCode", file});
    if (job <= 0 || WaitEnd(printer, job) != Printer::kJobCompleted) {
      state.SkipWithError("lp job did not complete");
      break;
    }
  }
}
BENCHMARK(BM_LpOneByteRoundTrip)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(5);

// Runs a program and waits for it; true when it exits with status 0.
bool Run(std::vector<std::string> args) {
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid;
  int status = -1;
  if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return false;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// A queue with `count` completed jobs in its history. The history is made cheaply: the queue's
// device is /dev/null, and one-byte raw jobs (no filter of ours, nothing sent to the print server)
// are submitted back to back over one connection with Print-Job; the last one is then awaited
// (cupsd runs a queue's jobs in order). The command job that isJobComple follows runs the filter
// as usual; its output goes to /dev/null.
Printer QueueWithHistory(int count) {
  std::string name = "history" + std::to_string(count);
  Printer printer = Queue(name);
  if (!Run({"/usr/sbin/lpadmin", "-p", name, "-v", "file:///dev/null"})) {
    std::fprintf(stderr, "cannot set the device of %s\n", name.c_str());
    std::exit(1);
  }
  quill::testing::TempDir dir;
  std::string file = dir.Write("one", "x");
  const std::string resource = "/printers/" + name;
  const std::string uri = "ipp://localhost" + resource;
  const auto start = std::chrono::steady_clock::now();
  int last = 0;
  for (int i = 0; i < count; ++i) {
    ipp_t* request = ippNewRequest(IPP_OP_PRINT_JOB);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri.c_str());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
                 cupsUser());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "job-name", nullptr, "history");
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_MIMETYPE, "document-format", nullptr,
                 "application/vnd.cups-raw");
    ipp_t* response = cupsDoFileRequest(CUPS_HTTP_DEFAULT, request, resource.c_str(), file.c_str());
    ipp_attribute_t* id = ippFindAttribute(response, "job-id", IPP_TAG_INTEGER);
    if (id == nullptr) {
      std::fprintf(stderr, "history job %d refused: %s\n", i, cupsLastErrorString());
      std::exit(1);
    }
    last = ippGetInteger(id, 0);
    ippDelete(response);
  }
  if (last <= 0 || WaitEnd(printer, last) != Printer::kJobCompleted) {
    std::fprintf(stderr, "history of %d jobs did not complete\n", count);
    std::exit(1);
  }
  std::fprintf(stderr, "history of %d jobs on %s made in %.1f s\n", count, name.c_str(),
               std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  return printer;
}

void BM_IsJobCompleWithHistory(benchmark::State& state) {
  Printer printer = QueueWithHistory(static_cast<int>(state.range(0)));
  quill::SpoolerWaits::SetTimeScale(0.001);  // the 700 ms settle sleep and the rounds' sleeps
  std::fflush(stderr);
  int saved = dup(2);
  int null = open("/dev/null", O_WRONLY);
  for (auto _ : state) {
    state.PauseTiming();
    Printer::SendResult sent = printer.SendCommand("en", "Command_LocaleCode");
    WaitEnd(printer, sent.jobId);
    dup2(null, 2);
    state.ResumeTiming();
    bool done = isJobComple(printer, sent.jobId, "Command_LocaleCode");
    state.PauseTiming();
    dup2(saved, 2);
    if (!done) state.SkipWithError("not completed");
    state.ResumeTiming();
  }
  close(null);
  close(saved);
}
BENCHMARK(BM_IsJobCompleWithHistory)->Arg(100)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  // The private cupsd keeps up with 10,000 jobs only when it does not rewrite its job cache after
  // every change of every job nor log each at debug level.
  setenv("QUILL_TEST_CUPSD_CONF", "LogLevel warn\nDirtyCleanInterval 30", 0);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
