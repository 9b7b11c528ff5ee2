// Feeds arbitrary text to the quick-access pane's icon lookup reader and checks what it keeps:
// at most 999 rows, each with a keyword and a png path, none with a line end or a comma in it.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "panel/CustomizePaneController.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto rows = CustomizePaneController::ParseIconLookup(text);
  if (rows.size() > CustomizePaneController::kMaxIconRows) std::abort();
  for (const IconRow& row : rows) {
    if (row.keyword.empty() || row.path.find("png") == std::string::npos) std::abort();
    for (const auto* field : {&row.keyword, &row.choice, &row.path}) {
      if (field->find_first_of(",\n") != std::string::npos) std::abort();
      if (field->size() > CustomizePaneController::kMaxIconLine) std::abort();
    }
  }
  return 0;
}
