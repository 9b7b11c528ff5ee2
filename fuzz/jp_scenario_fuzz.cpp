// The stand-in module's scenario reader: any text gives a scenario and a list of unknown lines,
// without crashing; numbers stay within their bounds.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "../module/Scenario.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  quill::standin::Scenario scenario;
  const auto unknown =
      quill::standin::ParseScenario(std::string_view(reinterpret_cast<const char*>(data), size), scenario);
  if (scenario.answer < -100000 || scenario.answer > 100000 || scenario.readyAfter < -1) std::abort();
  (void)unknown;
  return 0;
}
