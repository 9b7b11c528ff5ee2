// Opening the panel on the parse benchmark's large generated vendor PPD (2,000 pop-ups, 400
// booleans, 30,000 constraint lines) with a stored quick-access list of 99 entries: the whole
// start-up of the controller (parse, session data, bridge and panel tree, quick-access pane
// drawn, restore and the sync that fills the print settings) and its tear-down; and, on an open
// panel, a save and a restore as the dialog asks for them. The system version is 10.6, where the
// quick-access list is kept in a file of the home folder.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "LargeVendorPPD.h"
#include "QuickAccessList.h"
#include "PPDX/KRTPPD.h"
#include "PPDX/PPDObjects/PPDXControls.h"
#include "foundation/ProcessGlobals.h"
#include "panel/CustomizePaneController.h"
#include "panel/PDEData.h"
#include "panel/PPDTree.h"
#include "panel/QuillFeaturesPDE.h"
#include "panel/UI_Panel.h"
#include "platform/Paths.h"
#include "platform/PrintDialogCallback.h"
#include "platform/SystemInfo.h"

namespace {

namespace fs = std::filesystem;

std::string& PPDPath() {
  static std::string path;
  return path;
}

// Stores a quick-access list of the first 80 pop-ups and 19 booleans for the queue.
bool StoreQuickAccessList() {
  Globals().endOfPPDLatch = false;
  KRTPPD ppd(PPDPath(), kParseOrphans | kParseHidden);
  PDEData data(&ppd, "Large");
  PPDTree tree;
  ppdbench::AddQuickAccessList(*ppd.GetControls(), tree);
  return tree.shortcuts.size() == 99 && data.SetPPDShortcuts(tree);
}

void BM_OpenPanel(benchmark::State& state) {
  quill::PrintDialogCallback dialog("Large", PPDPath(), false);
  std::size_t entries = 0;
  for (auto _ : state) {
    auto panel = QuillFeaturesPDE::initWithCallback(&dialog);
    if (!panel) {
      state.SkipWithError("no panel");
      return;
    }
    entries = panel->Pane()->Entries().size();
  }
  state.counters["entries"] = static_cast<double>(entries);
}

void BM_SaveAndRestore(benchmark::State& state) {
  quill::PrintDialogCallback dialog("Large", PPDPath(), false);
  auto panel = QuillFeaturesPDE::initWithCallback(&dialog);
  if (!panel) {
    state.SkipWithError("no panel");
    return;
  }
  for (auto _ : state) {
    panel->saveValuesAndReturnError();
    panel->restoreValuesAndReturnError();
  }
}

BENCHMARK(BM_OpenPanel)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveAndRestore)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  // Everything the panel writes goes under a private folder.
  char folder[] = "/tmp/quill-panel-bench-XXXXXX";
  if (::mkdtemp(folder) == nullptr) return 1;
  const fs::path root(folder);
  fs::create_directories(root / "root/tmp");
  fs::create_directories(root / "root/Library/Caches/KRT");
  fs::create_directories(root / "run");
  fs::create_directories(root / "Library/Preferences");
  ::setenv("HOME", folder, 1);
  ::setenv("XDG_RUNTIME_DIR", (root / "run").c_str(), 1);
  ::setenv("XDG_CONFIG_HOME", (root / "config").c_str(), 1);
  quill::Paths::SetRoot((root / "root").string());
  // The printer preference list is a file in the home folder before 10.7 (later it lives in the
  // queue's PPD on the spooler, which this benchmark has none of).
  quill::SystemInfo::SetVersion({10, 6});
  ResetProcessGlobals();
  KRTPPD::Options(kDisplayOrphans | kDisplayHidden);
  const ppdbench::VendorPPDShape shape{2000, 10, 400, 100, 100, 30000};
  PPDPath() = (root / "large.ppd").string();
  const std::string text = ppdbench::MakeVendorPPD(shape);
  std::ofstream(PPDPath(), std::ios::binary)
      .write(text.data(), static_cast<std::streamsize>(text.size()));
  if (!StoreQuickAccessList()) {
    std::fprintf(stderr, "the quick-access list could not be stored\n");
    return 1;
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  fs::remove_all(root);
  return 0;
}
