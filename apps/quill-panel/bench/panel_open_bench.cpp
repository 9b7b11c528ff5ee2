// The desktop dialog on the parse benchmark's large generated vendor PPD (2,000 pop-ups, 400
// booleans, 30,000 constraint lines), on the offscreen platform, opened through the panel
// controller as quill-panel opens it:
//  - opening the dialog: parse, session data, panel tree, the controller's restore and show, a
//    quick-access pane of 99 entries (80 pop-ups of 10 options and 19 check boxes) built as
//    widgets and drawn once;
//  - one change in the pane (a pop-up choice as the user makes it) with the re-check of every
//    drawn pop-up and check box and the widgets' updates (items greyed, tool tips, selections),
//    without and with painting the visible part of the pane;
//  - the tool tip of a greyed item, which names the choice that forbids it (asked on hover).
// Goal: the change with its re-check and updates within one frame (16 ms).
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <QApplication>
#include <QComboBox>
#include <QScrollArea>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "../../../bench/LargeVendorPPD.h"
#include "../../../bench/QuickAccessList.h"
#include "PPDX/KRTPPD.h"
#include "PPDX/PPDObjects/Controls/PPDXControl.h"
#include "PPDX/PPDObjects/PPDXControls.h"
#include "PanelWindow.h"
#include "QuickAccessPane.h"
#include "foundation/ProcessGlobals.h"
#include "panel/CustomizePaneController.h"
#include "panel/PPDTree.h"
#include "panel/QuillFeaturesPDE.h"
#include "platform/Paths.h"
#include "platform/PrintDialogCallback.h"

namespace {

namespace fs = std::filesystem;

fs::path& PPDPath()
{
  static fs::path path;
  return path;
}

// The dialog with the pane's 99 entries drawn, opened as the program opens it: the dialog's
// callback (here for the generated PPD without a spooler), the panel controller, the window.
struct Dialog {
  std::unique_ptr<quill::PrintDialogCallback> callback;  // outlives the controller
  std::unique_ptr<PanelWindow> window;  // declared last: goes first
  explicit operator bool() const { return window != nullptr; }
  PanelWindow* operator->() const { return window.get(); }
};

Dialog Open()
{
  Dialog dialog;
  dialog.callback = std::make_unique<quill::PrintDialogCallback>("Large", PPDPath().string(),
                                                                 /*online=*/false);
  std::string why;
  auto panel = QuillFeaturesPDE::initWithCallback(dialog.callback.get(), {}, &why);
  if (!panel) {
    std::fprintf(stderr, "cannot open: %s\n", why.c_str());
    return dialog;
  }
  PPDTree& tree = GetPPDTree();
  tree.shortcuts.clear();
  ppdbench::AddQuickAccessList(*panel->getPPDPtr()->GetControls(), tree);
  dialog.window = std::make_unique<PanelWindow>(std::move(panel), QStringList{});
  dialog.window->resize(900, 700);
  dialog.window->show();
  QCoreApplication::processEvents();
  return dialog;
}

void BM_OpenPanel(benchmark::State& state)
{
  std::size_t entries = 0;
  for (auto _ : state) {
    Dialog dialog = Open();
    if (!dialog) {
      state.SkipWithError("cannot open the dialog");
      return;
    }
    benchmark::DoNotOptimize(dialog->grab());  // drawn once
    entries = dialog->Panel().Pane()->Entries().size();
    state.PauseTiming();
    dialog.window.reset();
    state.ResumeTiming();
  }
  state.counters["entries"] = static_cast<double>(entries);
}

// One change: the first pop-up switches between two items (another one when an item is greyed),
// chosen on the widget as the user does, then every drawn control is re-checked and updated.
void ChangeLoop(benchmark::State& state, bool paint)
{
  Dialog window = Open();
  if (!window || window->Panel().Pane()->Entries().size() != 99) {
    state.SkipWithError("the pane does not have 99 entries");
    return;
  }
  const PaneEntry& first = window->Panel().Pane()->Entries().front();
  auto* combo = qobject_cast<QComboBox*>(window->Pane()->ControlForTag(first.tag));
  auto* scroll = window->findChild<QScrollArea*>();
  int pick = 0;
  for (auto _ : state) {
    pick = pick == 0 ? 1 : 0;
    for (int i = 0; i < combo->count(); ++i) {
      const int index = (pick + i) % combo->count();
      if (!window->Panel().Pane()->Entries().front().items[index].enabled) continue;
      combo->setCurrentIndex(index);
      emit combo->activated(index);
      break;
    }
    if (paint) benchmark::DoNotOptimize(scroll->viewport()->grab());
  }
  std::size_t greyed = 0;
  for (const PaneEntry& e : window->Panel().Pane()->Entries()) {
    for (const PaneItem& item : e.items) greyed += item.enabled ? 0 : 1;
  }
  state.counters["greyed_items"] = static_cast<double>(greyed);
}

void BM_ChangeAndRecheck(benchmark::State& state) { ChangeLoop(state, false); }
void BM_ChangeRecheckAndPaint(benchmark::State& state) { ChangeLoop(state, true); }

// Hovering a greyed item: its tool tip names the choice that forbids it (found on demand).
void BM_GreyedItemToolTip(benchmark::State& state)
{
  Dialog window = Open();
  if (!window) {
    state.SkipWithError("cannot open the dialog");
    return;
  }
  QComboBox* combo = nullptr;
  int item = -1;
  for (const PaneEntry& e : window->Panel().Pane()->Entries()) {
    for (std::size_t i = 0; i < e.items.size() && item < 0; ++i) {
      if (!e.items[i].enabled) {
        combo = qobject_cast<QComboBox*>(window->Pane()->ControlForTag(e.tag));
        item = static_cast<int>(i);
      }
    }
  }
  if (combo == nullptr) {
    state.SkipWithError("no greyed item");
    return;
  }
  for (auto _ : state) benchmark::DoNotOptimize(combo->itemData(item, Qt::ToolTipRole));
}

BENCHMARK(BM_OpenPanel)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ChangeAndRecheck)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ChangeRecheckAndPaint)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GreyedItemToolTip)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  ResetProcessGlobals();
  std::string pattern = (fs::temp_directory_path() / "panel-open-bench-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) return 1;
  const fs::path folder = pattern;
  // The session's preference files go to a home of the benchmark's own.
  fs::create_directories(folder / "home/Library/Preferences");
  fs::create_directories(folder / "run");
  ::setenv("HOME", (folder / "home").c_str(), 1);
  ::setenv("XDG_RUNTIME_DIR", (folder / "run").c_str(), 1);
  ::setenv("XDG_CONFIG_HOME", (folder / "config").c_str(), 1);
  // The panel's fixed folders (caches, temporary files) under a root of the benchmark's own.
  fs::create_directories(folder / "root/tmp");
  fs::create_directories(folder / "root/Library/Caches/KRT");
  quill::Paths::SetRoot((folder / "root").string());
  PPDPath() = folder / "large.ppd";
  const ppdbench::VendorPPDShape shape{2000, 10, 400, 100, 100, 30000};
  const std::string text = ppdbench::MakeVendorPPD(shape);
  std::ofstream(PPDPath(), std::ios::binary)
      .write(text.data(), static_cast<std::streamsize>(text.size()));

  QApplication app(argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::error_code ignored;
  fs::remove_all(folder, ignored);
  return 0;
}
