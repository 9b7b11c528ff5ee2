// The job's feature code for the large generated PPD (2,000 pop-ups of 10 options, 400 booleans,
// 100 ranges, 100 job notes), every option chosen away from its default: the session data's
// OutPostscriptData filling a job ticket, beside libcups marking the same choices on the same file
// (ppdMarkOption) and writing their feature code (ppdEmitString for the AnySetup section, where
// every option of the file sits). Both are timed with the choices made in the loop (libcups both
// with ppdMarkOption per choice and with cupsMarkOptions for the job's options at once), and again
// with the output alone.
#include <benchmark/benchmark.h>
#include <cups/cups.h>
#include <cups/ppd.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "LargeVendorPPD.h"
#include "PPDX/KRTPPD.h"
#include "PPDX/PPDObjects/Controls/PPDXJobNote.h"
#include "PPDX/PPDObjects/PPDXControls.h"
#include "foundation/ProcessGlobals.h"
#include "output/KRTJobTicket.h"
#include "panel/PDEData.h"
#include "platform/Paths.h"
#include "platform/PrintSession.h"
#include "platform/PrintSettings.h"
#include "platform/SystemInfo.h"
#include "security/KeyMaterial.h"

#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

namespace {

namespace fs = std::filesystem;

const ppdbench::VendorPPDShape kShape{2000, 10, 400, 100, 100, 30000};

// The generated file, a private home for the session data, the choices as key/value pairs.
class Workspace {
 public:
  Workspace() {
    dir_ = fs::temp_directory_path() / ("quill-outps-bench-" + std::to_string(getpid()));
    fs::create_directories(dir_ / "home/Library/Preferences");
    fs::create_directories(dir_ / "run");
    ::setenv("HOME", (dir_ / "home").c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", (dir_ / "run").c_str(), 1);
    quill::SystemInfo::SetVersion({10, 6});
    quill::Paths::SetRoot(dir_.string());
    quill::KeyMaterial::Reload();
    path_ = (dir_ / "large.ppd").string();
    std::ofstream(path_, std::ios::binary) << ppdbench::MakeVendorPPD(kShape);

    char key[32];
    for (int i = 0; i < kShape.popups; ++i) {
      std::snprintf(key, sizeof key, "KRPopup%04d", i);
      choices_.emplace_back(key, "Opt" + std::to_string(1 + i % (kShape.optionsPerPopup - 1)));
    }
    for (int i = 0; i < kShape.booleans; ++i) {
      std::snprintf(key, sizeof key, "KRBool%04d", i);
      choices_.emplace_back(key, "True");
    }
  }
  ~Workspace() {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }

  [[nodiscard]] const std::string& Path() const { return path_; }
  // Pop-up and boolean choices, keywords without their asterisk.
  [[nodiscard]] const std::vector<std::pair<std::string, std::string>>& Choices() const {
    return choices_;
  }

 private:
  fs::path dir_;
  std::string path_;
  std::vector<std::pair<std::string, std::string>> choices_;
};

Workspace& Shared() {
  static Workspace workspace;
  return workspace;
}

// The session on the large PPD with its controls found once, as the dialog holds them.
struct QuillSide {
  std::unique_ptr<KRTPPD, void (*)(KRTPPD*)> ppd{nullptr, [](KRTPPD* p) { p->Release(); }};
  std::unique_ptr<PDEData> data;
  std::vector<std::pair<PPDXControl*, std::string>> choices;
  std::vector<PPDXControl*> ranges;
  quill::PrintSettings settings;

  QuillSide() {
    Globals().endOfPPDLatch = false;
    ppd.reset(new KRTPPD(Shared().Path(), kParseOrphans | kParseHidden));
    KRTPPD::Options(kDisplayOrphans | kDisplayHidden);
    data = std::make_unique<PDEData>(ppd.get(), "");
    data->SetPrintSettings(&settings);
    PPDXControls* controls = ppd->GetControls();
    for (const auto& [key, value] : Shared().Choices()) {
      CNTL_TYPE type;
      choices.emplace_back(controls->Find(("*" + key).c_str(), type, true), value);
    }
    for (PPDXControl* c = controls->FirstRangeControl(); c != nullptr;
         c = controls->NextRangeControl()) {
      ranges.push_back(c);
    }
    int n = 0;
    for (PPDXControl* c = controls->FirstJobNote(); c != nullptr; c = controls->NextJobNote()) {
      static_cast<PPDXJobNote*>(c)->SetNotes(("Job note " + std::to_string(n++)).c_str());
    }
    Mark();
  }
  void Mark() {
    for (auto& [control, value] : choices) control->SetCurrentControlWithCFString(value);
    for (PPDXControl* range : ranges) range->SetCurrentControlWithCFString("5");
  }
  size_t Output() {
    KRTJobTicket ticket(nullptr, &settings, CreatePostscriptDataFileKey());
    quill::PrintSession no_printer;
    if (data->OutPostscriptData(ticket, &no_printer) != PDEData::kOutputOk) return 0;
    size_t bytes = 0;
    for (const auto& piece : *ticket.Pieces()) bytes += piece.data.size();
    return bytes;
  }
};

struct CupsSide {
  ppd_file_t* ppd = ppdOpenFile(Shared().Path().c_str());
  cups_option_t* options = nullptr;
  int numOptions = 0;
  CupsSide() {
    for (const auto& [key, value] : Shared().Choices()) {
      numOptions = cupsAddOption(key.c_str(), value.c_str(), numOptions, &options);
    }
  }
  ~CupsSide() {
    cupsFreeOptions(numOptions, options);
    ppdClose(ppd);
  }
  // One ppdMarkOption per choice: each call also counts the conflicts of the whole file.
  void Mark() {
    for (const auto& [key, value] : Shared().Choices()) {
      ppdMarkOption(ppd, key.c_str(), value.c_str());
    }
  }
  // The job's options marked at once, as CUPS' filters mark them (conflicts counted once).
  void MarkOptions() { cupsMarkOptions(ppd, numOptions, options); }
  size_t Output() {
    char* text = ppdEmitString(ppd, PPD_ORDER_ANY, 0.0);
    const size_t bytes = text != nullptr ? std::strlen(text) : 0;
    std::free(text);
    return bytes;
  }
};

void BM_Quill(benchmark::State& state, bool mark) {
  QuillSide side;
  size_t bytes = 0;
  for (auto _ : state) {
    if (mark) side.Mark();
    bytes = side.Output();
    benchmark::DoNotOptimize(bytes);
  }
  if (bytes == 0) state.SkipWithError("OutPostscriptData failed");
  state.counters["bytes"] = static_cast<double>(bytes);
}

enum class CupsMark { kNone, kEachOption, kJobOptions };

void BM_Cups(benchmark::State& state, CupsMark mark) {
  CupsSide side;
  if (side.ppd == nullptr) {
    state.SkipWithError("libcups cannot open the PPD");
    return;
  }
  ppdMarkDefaults(side.ppd);
  side.MarkOptions();
  size_t bytes = 0;
  for (auto _ : state) {
    if (mark == CupsMark::kEachOption) side.Mark();
    if (mark == CupsMark::kJobOptions) side.MarkOptions();
    bytes = side.Output();
    benchmark::DoNotOptimize(bytes);
  }
  state.counters["bytes"] = static_cast<double>(bytes);
}

BENCHMARK_CAPTURE(BM_Quill, mark_and_output, true)->Unit(benchmark::kMillisecond);
// ppdMarkOption per choice takes about a minute for the 2,400 choices: one run is enough.
BENCHMARK_CAPTURE(BM_Cups, mark_each_and_emit, CupsMark::kEachOption)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK_CAPTURE(BM_Cups, mark_job_options_and_emit, CupsMark::kJobOptions)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Quill, output_only, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Cups, emit_only, CupsMark::kNone)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
