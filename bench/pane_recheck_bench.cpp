// The constraint question as the front ends ask it, through KRTPPD on the parse benchmark's large
// generated vendor PPD (2,000 pop-ups, 400 booleans, 30,000 constraint lines): the re-check that
// the quick-access pane does after one change (99 controls: 80 pop-ups of 10 options and 19
// booleans, 838 items, every item asked by its key and option texts), the same re-check by the
// store's ids, and single questions on keys spread over the whole PPD. Goal: the re-check under
// 200 us, the text form close to the id form.
//
// (The store-only benchmarks are in constraints_bench, which links the constraint store alone.)
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "LargeVendorPPD.h"
#include "PPDX/KRTPPD.h"
#include "PPDX/PPDObjects/Controls/PPDXPopupControl.h"
#include "PPDX/PPDObjects/PPDXControls.h"
#include "constraints/UIConstraints.h"
#include "foundation/CStringSoup.h"
#include "foundation/ProcessGlobals.h"

namespace {

namespace fs = std::filesystem;

struct Question {
  std::string key;
  std::string option;
  long keyId;
  long optionId;
};

struct Subject {
  KRTPPD* ppd = nullptr;
  std::vector<Question> pane;    // the pane's 838 items
  std::vector<Question> spread;  // items of keys across the whole PPD
};

Subject& TheSubject() {
  static Subject subject;
  return subject;
}

Question Ask(KRTPPD& ppd, const char* key, const char* option) {
  CStringSoup* strings = ppd.GetUIConstraints()->GetConstraintStrings();
  return {key, option, strings->Find(key), strings->Find(option)};
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

  PPDXControls& controls = *s.ppd->GetControls();
  int popups = 0;
  for (PPDXControl* c = controls.FirstPopupControl(); c != nullptr && popups < 80;
       c = controls.NextPopupControl(), ++popups) {
    auto* popup = static_cast<PPDXPopupControl*>(c);
    for (_PopupItem* item = popup->FirstItem(); item != nullptr; item = popup->NextItem()) {
      s.pane.push_back(Ask(*s.ppd, c->Keyword(), item->Keyword()));
    }
  }
  int booleans = 0;
  for (PPDXControl* c = controls.FirstBooleanControl(); c != nullptr && booleans < 19;
       c = controls.NextBooleanControl(), ++booleans) {
    for (const char* option : {"True", "False"}) s.pane.push_back(Ask(*s.ppd, c->Keyword(), option));
  }
  std::mt19937 rng(7);
  char key[32], option[16];
  for (int i = 0; i < 4096; ++i) {
    std::snprintf(key, sizeof key, "*KRPopup%04u", static_cast<unsigned>(rng() % 2000));
    std::snprintf(option, sizeof option, "Opt%u", 1 + static_cast<unsigned>(rng() % 9));
    s.spread.push_back(Ask(*s.ppd, key, option));
  }
  if (s.pane.size() != 838) {
    std::fprintf(stderr, "the pane has %zu items, expected 838\n", s.pane.size());
    return false;
  }
  return true;
}

void BM_PaneRecheckByText(benchmark::State& state) {
  Subject& s = TheSubject();
  long constrained = 0;
  for (auto _ : state) {
    for (const Question& q : s.pane) constrained += s.ppd->IsKVConstrained(q.key.c_str(), q.option.c_str());
  }
  benchmark::DoNotOptimize(constrained);
  state.counters["items"] = static_cast<double>(s.pane.size());
}

void BM_PaneRecheckByIds(benchmark::State& state) {
  Subject& s = TheSubject();
  long constrained = 0;
  for (auto _ : state) {
    for (const Question& q : s.pane) constrained += s.ppd->IsKVConstrained(q.keyId, q.optionId);
  }
  benchmark::DoNotOptimize(constrained);
}

void BM_SpreadQuestionByText(benchmark::State& state) {
  Subject& s = TheSubject();
  size_t i = 0;
  for (auto _ : state) {
    const Question& q = s.spread[i++ & 4095];
    benchmark::DoNotOptimize(s.ppd->IsKVConstrained(q.key.c_str(), q.option.c_str()));
  }
}

void BM_SpreadQuestionByIds(benchmark::State& state) {
  Subject& s = TheSubject();
  size_t i = 0;
  for (auto _ : state) {
    const Question& q = s.spread[i++ & 4095];
    benchmark::DoNotOptimize(s.ppd->IsKVConstrained(q.keyId, q.optionId));
  }
}

BENCHMARK(BM_PaneRecheckByText)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PaneRecheckByIds)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SpreadQuestionByText);
BENCHMARK(BM_SpreadQuestionByIds);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  ResetProcessGlobals();
  std::string pattern = (fs::temp_directory_path() / "pane-bench-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) return 1;
  const bool ready = Setup(pattern);
  std::error_code ignored;
  fs::remove_all(pattern, ignored);
  if (!ready) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  TheSubject().ppd->Release();
  return 0;
}
