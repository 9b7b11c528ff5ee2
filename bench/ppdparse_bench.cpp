// The PPD parser (KRTPPD construction) against libcups' ppdOpenFile on the same generated vendor
// PPDs, side by side in one run: each iteration parses the file with both, in alternating order,
// and frees both results. Reported per file: the mean time of each parse and of each release,
// the ratio of the parses, and the heap each parsed file holds (glibc's in-use bytes before and
// after, mapped blocks included, measured the same way for both).
//
// The files are made at start in a temporary folder: "large" (2,000 pop-ups of 10 options, 400
// booleans, 100 ranges, 100 job notes, 30,000 constraint lines, a third with an open option) and
// "small", a tenth of it. Before measuring, both parsers must read the expected number of
// controls (libcups: options and constraints) from each file, and the parser must report no
// error; otherwise the program stops with a message.
//
// The process-wide end-of-PPD latch is cleared before each parse (each file ends with the end
// marker). The file is the queue's PPD, as in the panel: the parse then reads the pop-up job-note
// preferences block too, from the blocks it collected on its way through the file.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "LargeVendorPPD.h"
#include "PPDX/KRTPPD.h"
#include "PPDX/PPDObjects/PPDXControls.h"
#include "PPDX/PPDXErrorObj.h"
#include "PPDX/PPDXErrors.h"
#include "foundation/ProcessGlobals.h"

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <cups/ppd.h>
#pragma GCC diagnostic pop

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct Subject {
  std::string name;
  ppdbench::VendorPPDShape shape;
  fs::path path;
  size_t bytes = 0;       // file size
  size_t krtHeap = 0;     // heap held by a parsed KRTPPD
  size_t cupsHeap = 0;    // heap held by an open ppd_file_t
  double krtParseMs = 0;  // means of the last measured run
  double krtFreeMs = 0;
  double cupsParseMs = 0;
  double cupsFreeMs = 0;
};

KRTPPD* ParseWithKRTPPD(const fs::path& path) {
  Globals().endOfPPDLatch = false;
  Globals().currentPPDPath = path.string();
  auto* ppd = new KRTPPD(path.string(), kParseOrphans | kParseHidden);
  ppd->Retain();
  return ppd;
}

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
ppd_file_t* ParseWithLibcups(const fs::path& path) { return ppdOpenFile(path.c_str()); }
void CloseLibcups(ppd_file_t* ppd) { ppdClose(ppd); }

// Options of every group and sub-group.
int LibcupsOptionCount(const ppd_file_t* ppd) {
  int count = 0;
  for (int g = 0; g < ppd->num_groups; ++g) {
    count += ppd->groups[g].num_options;
    for (int s = 0; s < ppd->groups[g].num_subgroups; ++s) {
      count += ppd->groups[g].subgroups[s].num_options;
    }
  }
  return count;
}

std::string LibcupsError() {
  int line = 0;
  const ppd_status_t status = ppdLastError(&line);
  return std::string(ppdErrorString(status)) + " at line " + std::to_string(line);
}
#pragma GCC diagnostic pop

// Bytes in use on the heap: glibc's in-use bytes of its arenas plus its separately mapped
// blocks (large arrays go there, depending on the allocator's moving threshold).
size_t HeapInUse() {
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
}

// Checks what both parsers read from the file and measures the heap each result holds; an
// empty string when all is as expected.
std::string VerifyAndMeasure(Subject& subject) {
  const ppdbench::VendorPPDShape& shape = subject.shape;
  // One parse of each first, so that one-off allocations (caches, converters) are not counted.
  ParseWithKRTPPD(subject.path)->Release();
  if (ppd_file_t* ppd = ParseWithLibcups(subject.path)) CloseLibcups(ppd);

  size_t before = HeapInUse();
  KRTPPD* krt = ParseWithKRTPPD(subject.path);
  subject.krtHeap = HeapInUse() - before;
  std::string problem;
  PPDXErrors* errors = krt->GetErrors();
  for (size_t i = 0; i < errors->Count(); ++i) {
    const char* name = PPDErrName(errors->At(i)->Code());
    const char* keyword = errors->At(i)->Keyword();
    problem += std::string("KRTPPD error ") + (name ? name : "?") + " at " +
               (keyword ? keyword : "(none)") + "\n";
  }
  const _DISPLAY_OPTIONS_ saved = KRTPPD::Options();
  KRTPPD::Options(kDisplayOrphans | kDisplayHidden);
  const PPDXControls& controls = *krt->GetControls();
  const struct {
    const char* what;
    long got, want;
  } counts[] = {{"pop-ups", controls.PopupCount(), shape.popups},
                {"booleans", controls.BooleanCount(), shape.booleans},
                {"ranges", controls.RangeCount(), shape.ranges},
                {"job notes", controls.JobNoteCount(), shape.jobNotes}};
  KRTPPD::Options(saved);
  for (const auto& count : counts) {
    if (count.got != count.want) {
      problem += "KRTPPD read " + std::to_string(count.got) + " " + count.what + ", expected " +
                 std::to_string(count.want) + "\n";
    }
  }
  krt->Release();

  before = HeapInUse();
  ppd_file_t* cups = ParseWithLibcups(subject.path);
  subject.cupsHeap = HeapInUse() - before;
  if (cups == nullptr) return problem + "libcups refuses the file: " + LibcupsError() + "\n";
  if (LibcupsOptionCount(cups) != shape.UIOptions()) {
    problem += "libcups read " + std::to_string(LibcupsOptionCount(cups)) + " options, expected " +
               std::to_string(shape.UIOptions()) + "\n";
  }
  if (cups->num_consts != shape.constraints) {
    problem += "libcups read " + std::to_string(cups->num_consts) + " constraints, expected " +
               std::to_string(shape.constraints) + "\n";
  }
  CloseLibcups(cups);
  return problem;
}

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// Both parsers on one file, alternating which goes first. The iteration time is the sum of both
// parses and both releases.
void BM_ParseSideBySide(benchmark::State& state, Subject* subject) {
  Clock::duration krt_parse{}, krt_free{}, cups_parse{}, cups_free{};
  int64_t n = 0;
  for (auto _ : state) {
    Clock::duration spent{};
    const bool krt_first = (n++ % 2) == 0;
    for (int turn = 0; turn < 2; ++turn) {
      if ((turn == 0) == krt_first) {
        const auto t0 = Clock::now();
        KRTPPD* ppd = ParseWithKRTPPD(subject->path);
        const auto t1 = Clock::now();
        ppd->Release();
        const auto t2 = Clock::now();
        krt_parse += t1 - t0;
        krt_free += t2 - t1;
        spent += t2 - t0;
      } else {
        const auto t0 = Clock::now();
        ppd_file_t* ppd = ParseWithLibcups(subject->path);
        const auto t1 = Clock::now();
        benchmark::DoNotOptimize(ppd);
        CloseLibcups(ppd);
        const auto t2 = Clock::now();
        cups_parse += t1 - t0;
        cups_free += t2 - t1;
        spent += t2 - t0;
      }
    }
    state.SetIterationTime(std::chrono::duration<double>(spent).count());
  }
  const double count = static_cast<double>(n);
  subject->krtParseMs = Ms(krt_parse) / count;
  subject->krtFreeMs = Ms(krt_free) / count;
  subject->cupsParseMs = Ms(cups_parse) / count;
  subject->cupsFreeMs = Ms(cups_free) / count;
  state.counters["KRTPPD_ms"] = subject->krtParseMs;
  state.counters["libcups_ms"] = subject->cupsParseMs;
  state.counters["ratio"] = subject->krtParseMs / subject->cupsParseMs;
  state.counters["KRTPPD_free_ms"] = subject->krtFreeMs;
  state.counters["libcups_free_ms"] = subject->cupsFreeMs;
  state.counters["KRTPPD_MiB"] = static_cast<double>(subject->krtHeap) / (1 << 20);
  state.counters["libcups_MiB"] = static_cast<double>(subject->cupsHeap) / (1 << 20);
}

// A temporary folder, removed with its files at the end.
struct TempFolder {
  fs::path path;
  TempFolder() {
    std::string pattern = (fs::temp_directory_path() / "ppdparse-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) path = pattern;
  }
  ~TempFolder() {
    std::error_code ignored;
    if (!path.empty()) fs::remove_all(path, ignored);
  }
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  ResetProcessGlobals();

  TempFolder folder;
  if (folder.path.empty()) {
    std::fprintf(stderr, "cannot make a temporary folder\n");
    return 1;
  }
  std::vector<Subject> subjects(2);
  subjects[0].name = "large";
  subjects[0].shape = {2000, 10, 400, 100, 100, 30000};
  subjects[1].name = "small";
  subjects[1].shape = {200, 10, 40, 10, 10, 3000};
  for (Subject& subject : subjects) {
    const std::string text = ppdbench::MakeVendorPPD(subject.shape);
    subject.path = folder.path / (subject.name + ".ppd");
    subject.bytes = text.size();
    std::ofstream(subject.path, std::ios::binary)
        .write(text.data(), static_cast<std::streamsize>(text.size()));
    if (const std::string problem = VerifyAndMeasure(subject); !problem.empty()) {
      std::fprintf(stderr, "%s.ppd is not read as expected:\n%s", subject.name.c_str(),
                   problem.c_str());
      return 1;
    }
  }

  for (Subject& subject : subjects) {
    benchmark::RegisterBenchmark(("BM_ParseSideBySide/" + subject.name).c_str(), BM_ParseSideBySide,
                                 &subject)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->MinTime(subject.name == "large" ? 3.0 : 1.0);
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();

  std::printf(
      "\nKRTPPD construction against libcups ppdOpenFile (goal: ratio <= 0.50, memory "
      "no more than libcups')\n");
  for (const Subject& s : subjects) {
    if (s.cupsParseMs <= 0) continue;  // filtered out
    std::printf(
        "%-5s %5.2f MB: KRTPPD %8.2f ms (+%.2f ms release), libcups %8.2f ms (+%.2f ms close), "
        "ratio %.2f; heap held: KRTPPD %.2f MiB, libcups %.2f MiB\n",
        s.name.c_str(), static_cast<double>(s.bytes) / 1e6, s.krtParseMs, s.krtFreeMs,
        s.cupsParseMs, s.cupsFreeMs, s.krtParseMs / s.cupsParseMs,
        static_cast<double>(s.krtHeap) / (1 << 20), static_cast<double>(s.cupsHeap) / (1 << 20));
  }
  return 0;
}
