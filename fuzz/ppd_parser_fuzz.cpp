// Feeds arbitrary bytes to the PPD parser as a PPD file (the current queue's PPD, so that the parse
// reads the pop-up job-note preferences from the data blocks it collected), walks the tree it
// leaves and reads blocks from what it collected.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include <cstdlib>

#include "PPDX/KRTPPD.h"
#include "foundation/ProcessGlobals.h"
#include "ppddata/PPDDataBlock.h"
#include "ppddata/PPDDataBlocks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = "/tmp/quill-fuzz-" + std::to_string(getpid()) + ".ppd";
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return 0;
  std::fwrite(data, 1, size, file);
  std::fclose(file);

  ResetProcessGlobals();
  Globals().currentPPDPath = path;
  auto* ppd = new KRTPPD(path, kParseOrphans | kParseHidden);
  ppd->Retain();
  if (const quill::PPDDataBlocks* blocks = ppd->DataBlocks()) {
    for (const char* name : {"KRPopupJnData", "KRDriverPreference", "KRA", "KR"}) {
      size_t length = 0;
      std::free(ppdxReadData(*blocks, name, &length));
    }
  }
  for (const auto& [key, value] : ppd->CopyAllValues()) {
    ppd->IsKVConstrained(key.c_str(), value.c_str());
    ppd->SetValueForKey(key, value);
  }
  ppd->Release();
  return 0;
}
