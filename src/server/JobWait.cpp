// isJobComple: the wait for a command job (declared in SpoolerCommands.h). Kept apart from the
// rest of the channel because it is the one piece that asks the spooler.
#include <chrono>
#include <cstdio>
#include <filesystem>

#include "foundation/ProcessGlobals.h"
#include "platform/Printer.h"
#include "server/SpoolerCommands.h"

namespace quill {
namespace {

// The PPD copy that isJobComple fetched last; removed when a newer one replaces it and at exit.
class FetchedPPD {
 public:
  ~FetchedPPD() { Remove(); }
  void Replace(std::string path) {
    Remove();
    path_ = std::move(path);
  }

 private:
  void Remove() {
    if (path_.empty()) return;
    std::error_code ignored;
    std::filesystem::remove(path_, ignored);
    path_.clear();
  }
  std::string path_;
};

FetchedPPD& fetched_ppd() {
  static FetchedPPD fetched;
  return fetched;
}

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

constexpr int kJobRounds = 360;
constexpr double kJobRoundMs = 100;
constexpr double kSettleMs = 700;
constexpr int kJobStopped = 6;  // the filter refused the command
constexpr int kJobCanceled = 7;
constexpr int kJobAborted = 8;

}  // namespace
}  // namespace quill

bool isJobComple(const quill::Printer& printer, int jobId, const char* title) {
  using quill::SpoolerWaits;
  const auto start = std::chrono::steady_clock::now();
  const char* wanted = title != nullptr ? title : "";
  bool completed = false;
  for (int tries = quill::kJobRounds; jobId > 0 && tries > 0; --tries) {
    const auto asked = std::chrono::steady_clock::now();
    std::string error;
    int state = printer.JobState(jobId, &error);
    std::fprintf(stderr, "isJobComple: (%s) elapsed=%lf\n", "JobState", quill::SecondsSince(asked));
    std::fprintf(stderr, "isJobComple: try=%d id=%d, c=%s, j=%s, s=%d\n", tries, jobId, wanted,
                 wanted, state);
    if (state == quill::Printer::kJobCompleted) {
      std::fprintf(stderr, "isJobComple: try=%d, dest=%s\n", tries, printer.Name().c_str());
      completed = true;
      break;
    }
    if (state == quill::kJobStopped || state == quill::kJobCanceled ||
        state == quill::kJobAborted) {
      break;
    }
    if (state == 0 && !error.empty()) {
      std::fprintf(stderr, "isJobComple: %s\n", error.c_str());
    }
    if (tries > 1) SpoolerWaits::Sleep(quill::kJobRoundMs);
  }
  std::fprintf(stderr, "isJobComple: (%s) elapsed=%lf\n", "JobStatusCheck", quill::SecondsSince(start));

  if (completed) {
    std::fprintf(stderr, "isJobComple: numdests=%d\n", printer.Exists() ? 1 : 0);
    std::string error;
    std::string ppd = printer.CopyPPD(&error);
    if (!ppd.empty()) {
      std::fprintf(stderr, "isJobComple: new PPD=%s\n", ppd.c_str());
      Globals().currentPPDPath = ppd;
      quill::fetched_ppd().Replace(ppd);
    } else {
      std::fprintf(stderr, "isJobComple: no PPD: %s\n", error.c_str());
    }
    SpoolerWaits::Sleep(quill::kSettleMs);
  }
  std::fprintf(stderr, "isJobComple: (%s) elapsed=%lf\n", "isJobComple", quill::SecondsSince(start));
  return completed;
}
