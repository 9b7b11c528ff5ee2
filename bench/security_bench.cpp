// Cost of the security primitives on the print path: the pass-phrase cipher (one key derivation
// per call) for job-note values in presets, and the AES form of an enciphered job note.
#include <benchmark/benchmark.h>

#include <string>

#include "security/JobNoteCipher.h"
#include "security/KRCFCrypto.h"

namespace {

void BM_PassPhraseEncrypt(benchmark::State& state) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(KRCFCreateEncryptedString("Accounting 4711", "phrase"));
  }
}
BENCHMARK(BM_PassPhraseEncrypt);

void BM_JobNoteAES(benchmark::State& state) {
  const unsigned char key[32] = {1, 2, 3};
  const unsigned char iv[16] = {4, 5, 6};
  const std::string note(static_cast<size_t>(state.range(0)), 'n');
  for (auto _ : state) benchmark::DoNotOptimize(quill::JobNoteCipher::AESHex(note, key, iv));
}
BENCHMARK(BM_JobNoteAES)->Arg(16)->Arg(255);

}  // namespace

BENCHMARK_MAIN();
