// Reading one section out of two-way data text: the cost should grow with the size of the text
// and stay flat per byte, whether the section is alone or follows many others.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "server/CFileHdlr.h"

namespace {

std::string RandomBytes(std::size_t size) {
  std::mt19937 gen(7);
  std::string out(size, '\0');
  for (char& c : out) c = static_cast<char>(gen() & 0xFF);
  return out;
}

// The writer's text for a section (its copy on standard error is sent nowhere).
std::string Section(const char* name, const std::string& payload) {
  std::string out;
  std::fflush(stderr);
  int saved = dup(2);
  int null = open("/dev/null", O_WRONLY);
  dup2(null, 2);
  CFileHdlr::fileWriteData(name, payload.data(), payload.size(), &out);
  std::fflush(stderr);
  dup2(saved, 2);
  close(null);
  close(saved);
  return out;
}

// One section of range(0) incompressible bytes.
void BM_ReadOneSection(benchmark::State& state) {
  std::string text = Section("PresetsData", RandomBytes(static_cast<std::size_t>(state.range(0))));
  for (auto _ : state) {
    unsigned long length = 0;
    char* data = CFileHdlr::stringReadData(text, "PresetsData", &length);
    benchmark::DoNotOptimize(data);
    std::free(data);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_ReadOneSection)->RangeMultiplier(4)->Range(16 << 10, 4 << 20);

// The last of range(0) sections of 16 KiB each.
void BM_ReadLastOfManySections(benchmark::State& state) {
  std::string text;
  const std::string payload = RandomBytes(16 << 10);
  for (int64_t i = 0; i < state.range(0); ++i) {
    text += Section(("Section" + std::to_string(i)).c_str(), payload);
  }
  std::string last = "Section" + std::to_string(state.range(0) - 1);
  for (auto _ : state) {
    unsigned long length = 0;
    char* data = CFileHdlr::stringReadData(text, last.c_str(), &length);
    benchmark::DoNotOptimize(data);
    std::free(data);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_ReadLastOfManySections)->RangeMultiplier(4)->Range(4, 256);


// The record reader against plain zlib on the same stream: range(0) MiB of incompressible bytes
// written as one section, read back by stringReadData (Base64 records, line lookup, inflation),
// and the same zlib stream inflated in one call into a buffer of the right size. Bytes processed
// are payload bytes, so the two rates compare directly; 1, 4 and 16 MiB show how time grows.
std::string ZlibStream(const std::string& payload) {
  uLongf size = compressBound(payload.size());
  std::string out(size, '\0');
  compress2(reinterpret_cast<Bytef*>(out.data()), &size,
            reinterpret_cast<const Bytef*>(payload.data()), payload.size(), 9);
  out.resize(size);
  return out;
}

void BM_RecordReaderMiB(benchmark::State& state) {
  const std::size_t size = static_cast<std::size_t>(state.range(0)) << 20;
  std::string text = Section("PresetsData", RandomBytes(size));
  for (auto _ : state) {
    unsigned long length = 0;
    char* data = CFileHdlr::stringReadData(text, "PresetsData", &length);
    if (length != size) state.SkipWithError("payload not read back whole");
    benchmark::DoNotOptimize(data);
    std::free(data);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(size));
}
BENCHMARK(BM_RecordReaderMiB)->Arg(1)->Arg(4)->Arg(16)->Unit(benchmark::kMillisecond);

void BM_ZlibInflateMiB(benchmark::State& state) {
  const std::size_t size = static_cast<std::size_t>(state.range(0)) << 20;
  const std::string stream = ZlibStream(RandomBytes(size));
  std::string out(size, '\0');
  for (auto _ : state) {
    uLongf out_size = out.size();
    if (uncompress(reinterpret_cast<Bytef*>(out.data()), &out_size,
                   reinterpret_cast<const Bytef*>(stream.data()), stream.size()) != Z_OK ||
        out_size != size) {
      state.SkipWithError("zlib failed");
    }
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(size));
}
BENCHMARK(BM_ZlibInflateMiB)->Arg(1)->Arg(4)->Arg(16)->Unit(benchmark::kMillisecond);

// The same pair on what the sections really hold: wide text (32-bit characters) of lines like a
// presets list, which deflates well, so zlib does real work and the stream has far fewer records.
std::string WideText(std::size_t size) {
  std::string out;
  out.reserve(size);
  std::mt19937 gen(11);
  while (out.size() < size) {
    std::string line = "Preset " + std::to_string(gen() % 100000) + "@Tray" +
                       std::to_string(gen() % 8) + "@" + std::to_string(gen() % 101) + "\n";
    for (char c : line) {
      char wide[4] = {c, 0, 0, 0};
      out.append(wide, 4);
    }
  }
  out.resize(size);
  return out;
}

void BM_RecordReaderWideTextMiB(benchmark::State& state) {
  const std::size_t size = static_cast<std::size_t>(state.range(0)) << 20;
  std::string text = Section("PresetsData", WideText(size));
  for (auto _ : state) {
    unsigned long length = 0;
    char* data = CFileHdlr::stringReadData(text, "PresetsData", &length);
    if (length != size) state.SkipWithError("payload not read back whole");
    benchmark::DoNotOptimize(data);
    std::free(data);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(size));
}
BENCHMARK(BM_RecordReaderWideTextMiB)->Arg(1)->Arg(4)->Arg(16)->Unit(benchmark::kMillisecond);

void BM_ZlibInflateWideTextMiB(benchmark::State& state) {
  const std::size_t size = static_cast<std::size_t>(state.range(0)) << 20;
  const std::string stream = ZlibStream(WideText(size));
  std::string out(size, '\0');
  for (auto _ : state) {
    uLongf out_size = out.size();
    if (uncompress(reinterpret_cast<Bytef*>(out.data()), &out_size,
                   reinterpret_cast<const Bytef*>(stream.data()), stream.size()) != Z_OK ||
        out_size != size) {
      state.SkipWithError("zlib failed");
    }
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(size));
}
BENCHMARK(BM_ZlibInflateWideTextMiB)->Arg(1)->Arg(4)->Arg(16)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
