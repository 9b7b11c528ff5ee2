// Feeds arbitrary bytes to the PPD parser as a PPD file and walks the tree it leaves.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "PPDX/KRTPPD.h"
#include "foundation/ProcessGlobals.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = "/tmp/quill-fuzz-" + std::to_string(getpid()) + ".ppd";
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return 0;
  std::fwrite(data, 1, size, file);
  std::fclose(file);

  ResetProcessGlobals();
  auto* ppd = new KRTPPD(path, kParseOrphans | kParseHidden);
  ppd->Retain();
  for (const auto& [key, value] : ppd->CopyAllValues()) {
    ppd->IsKVConstrained(key.c_str(), value.c_str());
    ppd->SetValueForKey(key, value);
  }
  ppd->Release();
  return 0;
}
