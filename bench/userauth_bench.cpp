// Cost of one user-authentication token: identifier (hardware address lookup), record, digest,
// two Twofish-256 passes and Base64.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "PPDX/PPDObjects/Controls/PPDXUserAuthLib.h"
#include "platform/Paths.h"
#include "security/KeyMaterial.h"

namespace {

void BM_UserAuthToken(benchmark::State& state) {
  // A key file of bench values under a temporary root.
  char pattern[] = "/tmp/quill-bench-XXXXXX";
  const std::string root = mkdtemp(pattern);
  std::filesystem::create_directories(root + "/etc/quill");
  std::ofstream(root + "/etc/quill/keys") << "token-master-key = " << std::string(64, '7') << "\n";
  quill::Paths::SetRoot(root);
  quill::KeyMaterial::Reload();
  for (auto _ : state) {
    char* token = nullptr;
    if (AUTH_packAndEncrypt("user.name", "password", "", kUALPanelDomainType, 0, &token) != 0) {
      state.SkipWithError("no token");
      break;
    }
    AUTH_freeBuffer(&token);
  }
  quill::Paths::ResetRoot();
  quill::KeyMaterial::Reload();
  std::filesystem::remove_all(root);
}
BENCHMARK(BM_UserAuthToken);

}  // namespace

BENCHMARK_MAIN();
