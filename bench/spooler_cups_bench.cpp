// Command jobs on the tests' private cupsd (needs root, like the cups tests): the round trip of a
// command (SendCommand, then its state until completed) beside `lp` of a one-byte file to the same
// queue waiting the same way; and isJobComple with 100 and with 10,000 completed jobs in the
// queue's history. Run: build/bench/spooler_cups_bench (setting up 10,000 jobs takes minutes).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
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

// A queue with `count` completed command jobs in its history (sent without waiting, then the last
// one awaited).
Printer QueueWithHistory(int count) {
  std::string name = "history" + std::to_string(count);
  Printer printer = Queue(name);
  int last = 0;
  for (int i = 0; i < count; ++i) last = printer.SendCommand("en", "Command_LocaleCode").jobId;
  if (last <= 0 || WaitEnd(printer, last) != Printer::kJobCompleted) {
    std::fprintf(stderr, "history of %d jobs did not complete\n", count);
    std::exit(1);
  }
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

BENCHMARK_MAIN();
