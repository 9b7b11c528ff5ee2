// The quick-access pane on the parse benchmark's large generated vendor PPD (2,000 pop-ups, 400
// booleans, 30,000 constraint lines) with 99 entries (80 pop-ups of 10 options and 19 booleans,
// 838 items): building the pane's entries, the re-check of every pop-up item and check box, and
// one user change (a choice set into the option tree, then the whole re-check). Goal: the re-check
// after one change under 200 us. Also the search for the choice that forbids an item, which the
// front end asks only for a greyed item it shows a tool tip for.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "LargeVendorPPD.h"
#include "QuickAccessList.h"
#include "PPDX/KRTPPD.h"
#include "PPDX/PPDObjects/PPDXControls.h"
#include "foundation/ProcessGlobals.h"
#include "panel/CustomizePaneController.h"
#include "panel/PPDTree.h"

namespace {

namespace fs = std::filesystem;

struct Subject {
  KRTPPD* ppd = nullptr;
  PPDTree tree;
  CustomizePaneController* pane = nullptr;
};

Subject& TheSubject() {
  static Subject subject;
  return subject;
}

bool Setup(const fs::path& folder) {
  const ppdbench::VendorPPDShape shape{2000, 10, 400, 100, 100, 30000};
  const fs::path path = folder / "large.ppd";
  const std::string text = ppdbench::MakeVendorPPD(shape);
  std::ofstream(path, std::ios::binary).write(text.data(), static_cast<std::streamsize>(text.size()));
  Globals().endOfPPDLatch = false;
  Subject& s = TheSubject();
  s.ppd = new KRTPPD(path.string(), kParseOrphans | kParseHidden);
  s.ppd->Retain();
  KRTPPD::Options(kDisplayOrphans | kDisplayHidden);

  ppdbench::AddQuickAccessList(*s.ppd->GetControls(), s.tree);
  s.pane = new CustomizePaneController(*s.ppd, nullptr);
  s.pane->DrawControlsInTree(s.tree);
  std::size_t items = 0;
  for (const PaneEntry& e : s.pane->Entries()) items += e.kind == PaneEntryKind::kPopup ? e.items.size() : 2;
  if (s.pane->Entries().size() != 99 || items != 838) {
    std::fprintf(stderr, "the pane has %zu entries and %zu items, expected 99 and 838\n",
                 s.pane->Entries().size(), items);
    return false;
  }
  return true;
}

void BM_DrawPane(benchmark::State& state) {
  Subject& s = TheSubject();
  for (auto _ : state) s.pane->DrawControlsInTree(s.tree);
}

void BM_Recheck(benchmark::State& state) {
  Subject& s = TheSubject();
  for (auto _ : state) s.pane->RecheckConstraints();
  state.counters["entries"] = static_cast<double>(s.pane->Entries().size());
}

// One change from the user: the first pop-up switches between two items, then the re-check.
void BM_ChangeAndRecheck(benchmark::State& state) {
  Subject& s = TheSubject();
  const PaneEntry& first = s.pane->Entries().front();
  int pick = 0;
  long refused = 0;
  for (auto _ : state) {
    pick = pick == 0 ? 1 : 0;
    // A greyed item cannot be chosen; pick another one then.
    for (int i = 0; i < static_cast<int>(first.items.size()); ++i) {
      const int index = (pick + i) % static_cast<int>(first.items.size());
      if (s.pane->ChoosePopupItem(first.tag, index)) break;
      ++refused;
    }
  }
  benchmark::DoNotOptimize(refused);
}

void BM_ForbiddingChoice(benchmark::State& state) {
  Subject& s = TheSubject();
  const PaneEntry& first = s.pane->Entries().front();
  int index = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(s.pane->ForbiddingChoice(first.tag, index));
    index = (index + 1) % static_cast<int>(first.items.size());
  }
}

BENCHMARK(BM_DrawPane)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Recheck)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ChangeAndRecheck)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ForbiddingChoice)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  ResetProcessGlobals();
  std::string pattern = (fs::temp_directory_path() / "quickaccess-bench-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) return 1;
  const bool ready = Setup(pattern);
  std::error_code ignored;
  fs::remove_all(pattern, ignored);
  if (!ready) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  delete TheSubject().pane;
  TheSubject().ppd->Release();
  return 0;
}
