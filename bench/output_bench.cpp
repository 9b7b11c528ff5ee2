// Job output: KRTJobTicket::Save of 2,500 pieces of up to 1 KiB beside libplist writing an equal
// array by itself (the ticket's own cost is building its list and copying the XML out), and the
// job-note output of the 100 job notes of the large generated PPD, plain, DES and AES.
#include <benchmark/benchmark.h>
#include <plist/plist.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "LargeVendorPPD.h"
#include "PPDX/KRTPPD.h"
#include "PPDX/PPDObjects/Controls/PPDXJobNote.h"
#include "PPDX/PPDObjects/PPDXControls.h"
#include "foundation/ProcessGlobals.h"
#include "output/KRTJobNoteList.h"
#include "output/KRTJobTicket.h"
#include "platform/Paths.h"
#include "platform/PrintSettings.h"
#include "security/KeyMaterial.h"

namespace {

namespace fs = std::filesystem;

constexpr int kPieces = 2500;

// 2,500 pieces of 1 to 1,024 bytes of PostScript-like text, the same on every run.
const std::vector<KRTJobTicket::Piece>& Pieces() {
  static const std::vector<KRTJobTicket::Piece> pieces = [] {
    std::mt19937 rng(7);
    std::uniform_int_distribution<size_t> size(1, 1024);
    std::vector<KRTJobTicket::Piece> out;
    for (int i = 0; i < kPieces; ++i) {
      std::string text = "%%BeginFeature: *KRNote" + std::to_string(i) + " ";
      text.resize(size(rng), 'x');
      out.push_back({i % 2 == 0 ? kSiteFeature : kSiteJobNote, std::move(text)});
    }
    return out;
  }();
  return pieces;
}

size_t TotalBytes() {
  size_t bytes = 0;
  for (const auto& piece : Pieces()) bytes += piece.data.size();
  return bytes;
}

void BM_TicketSave(benchmark::State& state) {
  quill::PrintSettings settings;
  KRTJobTicket ticket(nullptr, &settings, CreatePostscriptDataFileKey());
  for (const auto& piece : Pieces()) ticket.Add(piece.site, piece.data);
  for (auto _ : state) {
    const std::string* xml = ticket.Save();
    benchmark::DoNotOptimize(xml);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * TotalBytes()));
  state.counters["xml_bytes"] = static_cast<double>(ticket.XMLData()->size());
}
BENCHMARK(BM_TicketSave)->Unit(benchmark::kMillisecond);

// The floor: libplist building the same array and writing it, nothing else.
void BM_LibplistAlone(benchmark::State& state) {
  for (auto _ : state) {
    plist_t root = plist_new_array();
    for (const auto& piece : Pieces()) {
      plist_array_append_item(root, plist_new_uint(static_cast<uint64_t>(piece.site)));
      plist_array_append_item(root, plist_new_data(piece.data.data(), piece.data.size()));
    }
    char* xml = nullptr;
    uint32_t length = 0;
    plist_to_xml(root, &xml, &length);
    benchmark::DoNotOptimize(xml);
    plist_to_xml_free(xml);
    plist_free(root);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * TotalBytes()));
}
BENCHMARK(BM_LibplistAlone)->Unit(benchmark::kMillisecond);


class Workspace {
 public:
  Workspace() {
    dir_ = fs::temp_directory_path() / ("quill-output-bench-" + std::to_string(getpid()));
    fs::create_directories(dir_ / "etc/quill");
    std::ofstream keys(dir_ / "etc/quill/keys");
    auto line = [&keys](const char* name, int count, int first) {
      keys << name << " = ";
      char digits[3];
      for (int i = 0; i < count; ++i) {
        std::snprintf(digits, sizeof digits, "%02x", (first + i) & 0xFF);
        keys << digits;
      }
      keys << "\n";
    };
    line("job-note-keys", 240, 0);
    line("job-note-vectors", 96, 0x80);
    line("token-master-key", 32, 0x40);
    keys.close();
    quill::Paths::SetRoot(dir_.string());
    quill::KeyMaterial::Reload();
  }
  ~Workspace() {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }

  KRTPPD* Load(const std::string& flag) {
    ppdbench::VendorPPDShape shape{2000, 10, 400, 100, 100, 30000};
    std::string text = ppdbench::MakeVendorPPD(shape);
    if (!flag.empty()) {
      const std::string from = "|Remembered\n";
      for (size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += from.size()) {
        text.replace(at, from.size(), "|Remembered|" + flag + "\n");
      }
    }
    const fs::path path = dir_ / ("large-" + (flag.empty() ? std::string("plain") : flag) + ".ppd");
    std::ofstream(path, std::ios::binary) << text;
    Globals().endOfPPDLatch = false;
    auto* ppd = new KRTPPD(path.string(), kParseOrphans | kParseHidden);
    PPDXControls* controls = ppd->GetControls();
    int n = 0;
    for (PPDXControl* c = controls->FirstJobNote(); c != nullptr; c = controls->NextJobNote()) {
      static_cast<PPDXJobNote*>(c)->SetNotes(("Job note text " + std::to_string(n++)).c_str());
    }
    return ppd;
  }

 private:
  fs::path dir_;
};

Workspace& Shared() {
  static Workspace workspace;
  return workspace;
}

void BM_JobNotes(benchmark::State& state, const std::string& flag) {
  std::unique_ptr<KRTPPD, void (*)(KRTPPD*)> ppd(Shared().Load(flag),
                                                 [](KRTPPD* p) { p->Release(); });
  quill::PrintSettings settings;
  size_t pieces = 0;
  for (auto _ : state) {
    KRTJobTicket ticket(nullptr, &settings, CreatePostscriptDataFileKey());
    KRTJobNoteList list(ppd.get(), false);
    if (list.outInjectionData(&ticket, &settings) != KRTJobNoteList::kStatusOk) {
      state.SkipWithError(list.LastError().c_str());
      break;
    }
    pieces = ticket.Count();
    benchmark::DoNotOptimize(pieces);
  }
  state.counters["pieces"] = static_cast<double>(pieces);
  state.counters["notes_per_s"] =
      benchmark::Counter(100.0 * static_cast<double>(state.iterations()),
                         benchmark::Counter::kIsRate);
}
BENCHMARK_CAPTURE(BM_JobNotes, plain, std::string())->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_JobNotes, des, std::string("Encrypt"))->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_JobNotes, aes, std::string("AESEncrypt"))->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
