// Old-style property-list text and PPD text through the writers: whatever the reader accepts is
// written back and read again as the same value, and writing it again gives the same text; a
// block written into any PPD text is there exactly once afterwards, with nothing else of the text
// lost but the block's own old lines.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "ppddata/OpenStepPlist.h"
#include "ppddata/PPDDataBlockWriter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  if (auto first = quill::OpenStepPlist::Parse(text)) {
    std::string written = first->ToText();
    auto second = quill::OpenStepPlist::Parse(written);
    if (!second || !(*second == *first) || second->ToText() != written) std::abort();
  }

  const std::string lines = "*KRFuzz0000: \"eJwDAAAAAAE=\"\n*KRFuzz0001: \"\"\n";
  std::string once = quill::ReplaceDataBlockLines(text, "KRFuzz", lines);
  std::string twice = quill::ReplaceDataBlockLines(once, "KRFuzz", lines);
  std::size_t at = once.find(lines);
  if (at == std::string::npos || once.find(lines, at + 1) != std::string::npos) std::abort();
  if (twice != once) std::abort();
  return 0;
}
