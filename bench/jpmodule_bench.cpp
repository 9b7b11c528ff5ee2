// The job-properties module's side of the host: the callbacks answering from a large two-way data
// file, against one full read of that file, and the current settings of a large PPD taken through
// the shared list and back (the hand-over before and after a module run).
//
// BM_FullRead reads the 4 MiB data file the way the panel loads it and decodes every section
// once. BM_Callbacks1000 loads the text and makes 1,000 callback calls of the mix the module makes
// while its window opens; the sections are decoded on first use only. BM_OldFormCallbacks20
// makes 20 calls the way each call once re-read its section from the whole text (for scale).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "LargeVendorPPD.h"
#include "PPDX/KRTPPD.h"
#include "foundation/ProcessGlobals.h"
#include "panel/PDEData.h"
#include "panel/UI_Panel.h"
#include "platform/PrintSettings.h"
#include "server/BidiSections.h"
#include "server/CFileHdlr.h"
#include "server/SDMAllocator.h"
#include "server/SDMCallbacks.h"
#include "server/SDMText.h"
#include "server/SharedMemoryList.h"

namespace {

namespace fs = std::filesystem;

std::string WideSection(const char* name, const std::string& body) {
  const std::wstring wide = quill::WideFromUTF8(body);
  std::string out;
  CFileHdlr::fileWriteData(name, wide.data(), wide.size() * sizeof(wchar_t), &out);
  return out;
}

// A data file of about 4 MiB: a large server document (random text, so it hardly compresses)
// first, then the small sections the callbacks read.
struct DataFile {
  DataFile() {
    std::fflush(stderr);
    const int saved = dup(2);
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, 2);
    std::mt19937 gen(11);
    std::string body;
    while (body.size() < 3'100'000) body += static_cast<char>('!' + gen() % 90);
    text = WideSection("BidiData", body);
    text += WideSection("TonerInfo", "4\nCyan@80@100@#00FFFF@10@90@1\nMagenta@10@100@#FF00FF@10@90@1\n"
                                     "Yellow@55@100@#FFFF00@10@90@1\nBlack@3@100@NULL@10@90@1\n");
    text += WideSection("TrayInfo", "2:Tray 1@A4@plain@white@@80@auto@ready@250@500:Tray 2@Letter@@@@@@@10@500:");
    text += WideSection("ServerInfo", "Quill 9000:ServerName\n7.2:ServerVersion\n120000:DiskAvailable\n");
    text += WideSection("ServerFeatureSupport", "DuplexMode=no\nDuplex=yes\nStapling=yes\n");
    text += WideSection("PresetsList", "2\nOffice\nPhoto\n");
    text += WideSection("ServerValFrmDict", "MaxCopies\n9999\n");
    std::fflush(stderr);
    dup2(saved, 2);
    close(saved);
    close(null);
    path = fs::temp_directory_path() / "jpmodule_bench.bididata";
    std::ofstream(path, std::ios::binary) << text;
  }
  ~DataFile() { fs::remove(path); }
  std::string text;
  fs::path path;
};

DataFile& Data() {
  static DataFile data;
  return data;
}

std::string LoadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::string text;
  for (std::string line; !CFileHdlr::safeGetline_(in, line).eof();) text += line + "\n";
  return text;
}

void UseHostMemory() {
  quill::SDMCallbackContext& c = quill::CallbackContext();
  c = quill::SDMCallbackContext{};
  c.twoWay = false;  // host allocator; the two-way-only answers are called directly below
}

// One call of the mix; every answer is released again.
void OneCall(int i) {
  switch (i % 6) {
    case 0: {
      SDMTonerInfoArray* toners = nullptr;
      if (sdmFuncPtrGetTonerInfo(nullptr, 0, &toners) == 0) {
        for (int k = 0; k < toners->count; ++k) {
          std::free(toners->entries[k].name);
          std::free(toners->entries[k].color);
        }
        std::free(toners->entries);
        std::free(toners);
      }
      break;
    }
    case 1: {
      SDMTrayInfoArray* trays = nullptr;
      if (sdmFuncPtrGetTrayInfo(nullptr, 0, &trays) == 0) {
        for (int k = 0; k < trays->count; ++k) {
          for (wchar_t* t : trays->entries[k].texts) std::free(t);
        }
        std::free(trays->entries);
        std::free(trays);
      }
      break;
    }
    case 2:
      benchmark::DoNotOptimize(sdmFuncPtrIsServerFeatureSupported(nullptr, L"Duplex"));
      break;
    case 3: {
      wchar_t* value = nullptr;
      if (sdmFuncPtrGetServerInfo(nullptr, 0, &value) != 0) std::free(value);
      break;
    }
    case 4: {
      SDMKeyValueList* list = nullptr;
      if (sdmFuncPtrGetServerInfoAll(nullptr, &list) == 0) quill::SDMFreeKeyValueList(quill::SDMAllocator::Host(), list);
      break;
    }
    default: {
      wchar_t* value = nullptr;
      if (sdmFuncPtrGetServerValueFromDict(nullptr, 0, &value, L"MaxCopies") == 0) std::free(value);
      break;
    }
  }
}

void BM_FullRead(benchmark::State& state) {
  const fs::path& path = Data().path;
  static const char* const kNames[] = {"BidiData", "TonerInfo", "TrayInfo", "ServerInfo",
                                       "ServerFeatureSupport", "PresetsList", "ServerValFrmDict"};
  for (auto _ : state) {
    std::string text = LoadFile(path);
    for (const char* name : kNames) {
      unsigned long length = 0;
      char* payload = CFileHdlr::stringReadData(text, name, &length);
      benchmark::DoNotOptimize(length);
      std::free(payload);
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(Data().text.size()));
}
BENCHMARK(BM_FullRead)->Unit(benchmark::kMillisecond);

void BM_Callbacks1000(benchmark::State& state) {
  UseHostMemory();
  const std::string& text = Data().text;
  for (auto _ : state) {
    quill::BidiSections::Current().Load(text);
    for (int i = 0; i < 1000; ++i) OneCall(i);
  }
  quill::BidiSections::Current().Clear();
}
BENCHMARK(BM_Callbacks1000)->Unit(benchmark::kMillisecond);

// What a call cost when it re-read its section from the whole text.
void BM_OldFormCallbacks20(benchmark::State& state) {
  std::string text = Data().text;
  for (auto _ : state) {
    for (int i = 0; i < 20; ++i) {
      unsigned long length = 0;
      char* payload = CFileHdlr::stringReadData(text, i % 2 ? "TonerInfo" : "ServerInfo", &length);
      benchmark::DoNotOptimize(length);
      std::free(payload);
    }
  }
}
BENCHMARK(BM_OldFormCallbacks20)->Unit(benchmark::kMillisecond);

// The current settings of a large PPD into the shared list and back, as a module run does.
void BM_GetDefaultSettingsRoundTrip(benchmark::State& state) {
  const fs::path dir = fs::temp_directory_path() / "jpmodule_bench";
  fs::create_directories(dir / "run");
  setenv("XDG_RUNTIME_DIR", (dir / "run").c_str(), 1);
  const fs::path path = dir / "large.ppd";
  std::ofstream(path, std::ios::binary) << ppdbench::MakeVendorPPD({2000, 10, 400, 100, 100, 30000});
  Globals().endOfPPDLatch = false;
  KRTPPD::Options(kDisplayOrphans | kDisplayHidden);
  auto* ppd = new KRTPPD(path.string(), kParseOrphans | kParseHidden);
  {
    PDEData data(ppd, "");
    quill::PrintSettings settings;
    data.SetPrintSettings(&settings);
    UI_Panel panel(&data);
    std::size_t pairs = 0;
    for (auto _ : state) {
      SDMKeyValueList* list = panel.GetDefaultSettings();
      quill::Create_SharedMemoryList_From_SDMList(list, panel.Shared());
      UI_Panel::FreeSDMList(list);
      SDMKeyValueList* back = quill::Create_SDMList_From_SharedMemoryList(panel.Shared(), quill::SDMAllocator::Host());
      panel.SetUpdatedSettings(back);
      pairs = back->count;
      UI_Panel::FreeSDMList(back);
    }
    state.counters["pairs"] = static_cast<double>(pairs);
  }
  ppd->Release();
  KRTPPD::Options(0);
  fs::remove_all(dir);
}
BENCHMARK(BM_GetDefaultSettingsRoundTrip)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
