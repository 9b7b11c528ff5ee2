// Reading one section out of two-way data text: the cost should grow with the size of the text
// and stay flat per byte, whether the section is alone or follows many others.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

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

}  // namespace

BENCHMARK_MAIN();
