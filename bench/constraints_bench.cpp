// Constraint store queries on a store filled the way a large PPD fills it: keys of 10 options,
// 15 constraint lines per key (a third of them with an open option, which Resolve() expands), and
// a current option for every key. Measures one query and the re-check that the quick-access pane
// does after one change (99 pop-ups of 10 items, every item asked), at several key counts.
//
// Also measures what the parser spends on the store for the parse benchmark's generated vendor
// PPDs (the same constraint lines, read from the same generator): filling it (options of every
// control, constraint lines, Resolve()), the heap the filled store holds, and destroying it.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "LargeVendorPPD.h"
#include "constraints/UIConstraints.h"

namespace {

constexpr int kOptionsPerKey = 10;
constexpr int kLinesPerKey = 15;
constexpr int kPopups = 99;

struct BigStore {
  UIConstraints ui;
  std::vector<std::string> keys;
  std::vector<std::vector<std::string>> options;
  long pairs = 0;  // exclusion pairs stored after Resolve()
};

std::unique_ptr<BigStore> Build(int key_count) {
  auto store = std::make_unique<BigStore>();
  std::mt19937 rng(1234);
  auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
  char text[32];
  for (int k = 0; k < key_count; ++k) {
    std::snprintf(text, sizeof text, "*KRKey%05d", k);
    store->keys.emplace_back(text);
    std::vector<std::string> options;
    for (int o = 0; o < kOptionsPerKey; ++o) {
      if (o == 0 && k % 5 == 0) {
        options.emplace_back("None");
      } else if (o == 1 && k % 7 == 0) {
        options.emplace_back("False");
      } else {
        std::snprintf(text, sizeof text, "Option%d", o);
        options.emplace_back(text);
      }
    }
    for (const std::string& option : options)
      store->ui.KVSInsert(store->keys.back().c_str(), option.c_str());
    store->options.push_back(std::move(options));
  }
  const int lines = key_count * kLinesPerKey;
  for (int line = 0; line < lines; ++line) {
    const int k1 = pick(key_count);
    int k2 = pick(key_count);
    if (k2 == k1) k2 = (k2 + 1) % key_count;
    std::string o1 =
        store->options[static_cast<size_t>(k1)][static_cast<size_t>(pick(kOptionsPerKey))];
    std::string o2 =
        store->options[static_cast<size_t>(k2)][static_cast<size_t>(pick(kOptionsPerKey))];
    switch (line % 9) {  // a third of the lines leave an option open
      case 0:
        o1.clear();
        break;
      case 3:
        o2.clear();
        break;
      case 6:
        o1.clear();
        o2.clear();
        break;
      default:
        break;
    }
    store->ui.Add(store->keys[static_cast<size_t>(k1)].c_str(), o1.c_str(),
                  store->keys[static_cast<size_t>(k2)].c_str(), o2.c_str(), false);
  }
  store->ui.Resolve();
  CStringSoup* strings = store->ui.GetConstraintStrings();
  for (const std::string& key : store->keys) {
    auto all = store->ui.GetConstraintForest()->GetConstraintList(strings->Find(key.c_str()), -1);
    if (all) store->pairs += all->size();
  }
  for (int k = 0; k < key_count; ++k) {
    store->ui.UpdateKVCache(
        store->keys[static_cast<size_t>(k)].c_str(),
        store->options[static_cast<size_t>(k)][static_cast<size_t>(pick(kOptionsPerKey))].c_str());
  }
  return store;
}

BigStore& StoreFor(int key_count) {
  static std::map<int, std::unique_ptr<BigStore>> stores;
  std::unique_ptr<BigStore>& store = stores[key_count];
  if (!store) store = Build(key_count);
  return *store;
}

// The keys of the quick-access pane's 99 pop-ups.
std::vector<size_t> PaneKeys(const BigStore& store) {
  std::mt19937 rng(5);
  std::vector<size_t> keys;
  for (int p = 0; p < kPopups; ++p) keys.push_back(rng() % store.keys.size());
  return keys;
}

// Questions (key, option texts): the 10 items of one pop-up; every item of the pane's pop-ups; or,
// spread, random options of random keys of the whole PPD, so that successive queries touch
// different parts of the store (and, past a few hundred keys, miss the processor's caches).
using Questions = std::vector<std::pair<const char*, const char*>>;

Questions PopupQuestions(const BigStore& store) {
  const size_t key = PaneKeys(store).front();
  Questions out;
  for (const std::string& option : store.options[key]) {
    out.emplace_back(store.keys[key].c_str(), option.c_str());
  }
  return out;
}

Questions PaneQuestions(const BigStore& store) {
  Questions out;
  for (size_t key : PaneKeys(store)) {
    for (const std::string& option : store.options[key]) {
      out.emplace_back(store.keys[key].c_str(), option.c_str());
    }
  }
  return out;
}

Questions SpreadQuestions(const BigStore& store) {
  std::mt19937 rng(99);
  Questions out;
  for (size_t i = 0; i < 4096; ++i) {
    const size_t k = rng() % store.keys.size();
    const size_t o = rng() % kOptionsPerKey;
    out.emplace_back(store.keys[k].c_str(), store.options[k][o].c_str());
  }
  return out;
}

// One IsKVConstrained(key text, option text) query.
template <Questions (*Pick)(const BigStore&)>
void BM_IsKVConstrained(benchmark::State& state) {
  BigStore& store = StoreFor(static_cast<int>(state.range(0)));
  const Questions questions = Pick(store);
  size_t i = 0;
  for (auto _ : state) {
    const auto& [key, option] = questions[i];
    benchmark::DoNotOptimize(store.ui.IsKVConstrained(key, option));
    if (++i == questions.size()) i = 0;
  }
}

// One IsKVConstrained(key id, option id) query, spread over the whole PPD.
void BM_IsKVConstrainedById(benchmark::State& state) {
  BigStore& store = StoreFor(static_cast<int>(state.range(0)));
  CStringSoup* strings = store.ui.GetConstraintStrings();
  std::vector<std::pair<long, long>> questions;
  for (const auto& [key, option] : SpreadQuestions(store)) {
    questions.emplace_back(strings->Find(key), strings->Find(option));
  }
  size_t i = 0;
  for (auto _ : state) {
    const auto& [key, option] = questions[i];
    benchmark::DoNotOptimize(store.ui.IsKVConstrained(key, option));
    if (++i == questions.size()) i = 0;
  }
}

// The engine's full Test of a one-pair delta (conflicts and alternatives as lists), for
// comparison with the query above.
void BM_ValidateDelta(benchmark::State& state) {
  BigStore& store = StoreFor(static_cast<int>(state.range(0)));
  CStringSoup* strings = store.ui.GetConstraintStrings();
  std::vector<KVCache> deltas;
  for (const auto& [key, option] : SpreadQuestions(store)) {
    KVCache delta;
    delta.Insert(strings->Find(key), strings->Find(option));
    deltas.push_back(std::move(delta));
  }
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(store.ui.ValidateDelta(deltas[i]));
    if (++i == deltas.size()) i = 0;
  }
}

// One change of a pane control, then every item of the 99 pop-ups of 10 items asked, by text.
void BM_QuickAccessRecheck(benchmark::State& state) {
  BigStore& store = StoreFor(static_cast<int>(state.range(0)));
  const std::vector<size_t> popups = PaneKeys(store);
  size_t turn = 0;
  long constrained = 0;
  for (auto _ : state) {
    const size_t changed = popups[turn % kPopups];
    store.ui.UpdateKVCache(store.keys[changed].c_str(),
                           store.options[changed][turn % kOptionsPerKey].c_str());
    ++turn;
    for (size_t key : popups) {
      for (const std::string& option : store.options[key]) {
        constrained += store.ui.IsKVConstrained(store.keys[key].c_str(), option.c_str());
      }
    }
  }
  benchmark::DoNotOptimize(constrained);
  state.counters["items"] = kPopups * kOptionsPerKey;
  state.counters["pairs"] = static_cast<double>(store.pairs);
}

// What the parser hands the store for one generated vendor PPD, in the order it hands it over.
struct ParserInput {
  struct Control {
    std::string keyword;
    std::vector<std::string> options;
    std::string current;  // the default the control reports when it is built
  };
  struct Line {
    std::string key1, option1, key2, option2;
  };
  std::vector<Control> controls;  // pop-ups, then booleans, in file order
  std::vector<Line> lines;
};

// The controls of the shape, and the constraint lines of the generated text, split into words as
// the parser splits them (a second word with an asterisk is key2, the option left open).
ParserInput InputFor(const ppdbench::VendorPPDShape& shape) {
  ParserInput input;
  char text[32];
  for (int i = 0; i < shape.popups; ++i) {
    std::snprintf(text, sizeof text, "*KRPopup%04d", i);
    ParserInput::Control control{text, {"None"}, "None"};
    for (int o = 1; o < shape.optionsPerPopup; ++o) {
      control.options.push_back("Opt" + std::to_string(o));
    }
    input.controls.push_back(std::move(control));
  }
  for (int i = 0; i < shape.booleans; ++i) {
    std::snprintf(text, sizeof text, "*KRBool%04d", i);
    input.controls.push_back({text, {"True", "False"}, "False"});
  }
  const std::string ppd = ppdbench::MakeVendorPPD(shape);
  const std::string prefix = "*UIConstraints:";
  for (size_t at = ppd.find(prefix); at != std::string::npos; at = ppd.find(prefix, at + 1)) {
    const size_t end = ppd.find('\n', at);
    std::vector<std::string> words;
    size_t p = at + prefix.size();
    while (p < end) {
      while (p < end && (ppd[p] == ' ' || ppd[p] == '\t')) ++p;
      size_t q = p;
      while (q < end && ppd[q] != ' ' && ppd[q] != '\t') ++q;
      if (q > p) words.push_back(ppd.substr(p, q - p));
      p = q;
    }
    words.resize(4);
    ParserInput::Line line;
    line.key1 = words[0];
    if (!words[1].empty() && words[1][0] == '*') {
      line.key2 = words[1];
      line.option2 = words[2];
    } else {
      line.option1 = words[1];
      line.key2 = words[2];
      line.option2 = words[3];
    }
    input.lines.push_back(std::move(line));
  }
  return input;
}

const ParserInput& InputFor(int popups) {
  static std::map<int, ParserInput> inputs;
  auto found = inputs.find(popups);
  if (found != inputs.end()) return found->second;
  const ppdbench::VendorPPDShape shape =
      popups == 2000 ? ppdbench::VendorPPDShape{2000, 10, 400, 100, 100, 30000}
                     : ppdbench::VendorPPDShape{200, 10, 40, 10, 10, 3000};
  return inputs.emplace(popups, InputFor(shape)).first->second;
}

using Clock = std::chrono::steady_clock;

// Fills the store as the parser does: every control reports its default and its options while
// the file is read, the constraint lines follow, then Resolve(). Adds the time of each step.
void Fill(UIConstraints& ui, const ParserInput& input, Clock::duration* options,
          Clock::duration* lines, Clock::duration* resolve) {
  const auto t0 = Clock::now();
  for (const ParserInput::Control& control : input.controls) {
    ui.UpdateKVCache(control.keyword.c_str(), control.current.c_str());
    for (const std::string& option : control.options) {
      ui.KVSInsert(control.keyword.c_str(), option.c_str());
    }
  }
  const auto t1 = Clock::now();
  for (const ParserInput::Line& line : input.lines) {
    ui.Add(line.key1.c_str(), line.option1.c_str(), line.key2.c_str(), line.option2.c_str(), false);
  }
  const auto t2 = Clock::now();
  ui.Resolve();
  const auto t3 = Clock::now();
  *options += t1 - t0;
  *lines += t2 - t1;
  *resolve += t3 - t2;
}

size_t HeapInUse() {
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
}

double Ms(Clock::duration d, int64_t n) {
  return std::chrono::duration<double, std::milli>(d).count() / static_cast<double>(n);
}

// The store of the parse benchmark's "large" (2,000 pop-ups) or "small" (200) PPD: filled, then
// destroyed. Counters: the mean time of each fill step and of the destruction, and the heap the
// filled store holds.
void BM_ParserFill(benchmark::State& state) {
  const ParserInput& input = InputFor(static_cast<int>(state.range(0)));
  Clock::duration options{}, lines{}, resolve{}, destroy{};
  int64_t n = 0;
  size_t held = 0;
  for (auto _ : state) {
    const size_t before = HeapInUse();
    auto ui = std::make_unique<UIConstraints>();
    Fill(*ui, input, &options, &lines, &resolve);
    held = HeapInUse() - before;
    const auto t0 = Clock::now();
    ui.reset();
    destroy += Clock::now() - t0;
    ++n;
  }
  state.counters["KVSInsert_ms"] = Ms(options, n);
  state.counters["Add_ms"] = Ms(lines, n);
  state.counters["Resolve_ms"] = Ms(resolve, n);
  state.counters["fill_ms"] = Ms(options + lines + resolve, n);
  state.counters["destroy_ms"] = Ms(destroy, n);
  state.counters["MiB"] = static_cast<double>(held) / (1 << 20);
}

}  // namespace

BENCHMARK(BM_ParserFill)->Arg(200)->Arg(2000)->Unit(benchmark::kMillisecond);

// Key counts: 200, 2,000 (30,000 lines) and 20,000.
BENCHMARK(BM_IsKVConstrained<PopupQuestions>)
    ->Name("BM_IsKVConstrained/popup")
    ->Arg(200)
    ->Arg(2000)
    ->Arg(20000);
BENCHMARK(BM_IsKVConstrained<PaneQuestions>)
    ->Name("BM_IsKVConstrained/pane")
    ->Arg(200)
    ->Arg(2000)
    ->Arg(20000);
BENCHMARK(BM_IsKVConstrained<SpreadQuestions>)
    ->Name("BM_IsKVConstrained/spread")
    ->Arg(200)
    ->Arg(2000)
    ->Arg(20000);
BENCHMARK(BM_IsKVConstrainedById)->Arg(200)->Arg(2000)->Arg(20000);
BENCHMARK(BM_ValidateDelta)->Arg(200)->Arg(2000)->Arg(20000);
BENCHMARK(BM_QuickAccessRecheck)->Arg(200)->Arg(2000)->Arg(20000)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
