// Feeds arbitrary text to the readers of stored data: the two-way record reader and the
// old-style property-list reader.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "ppddata/OpenStepPlist.h"
#include "server/CFileHdlr.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  unsigned long length = 0;
  if (char* payload = CFileHdlr::stringReadData(text, "*DMT_Injection", &length)) std::free(payload);
  (void)quill::OpenStepPlist::Parse(std::string_view(text));
  return 0;
}
