#include "PPDX/PPDObjects/PPDXRollDown.h"

#include <utility>

#include "PPDX/PPDObjects/PPDXControls.h"

PPDXRollDown::PPDXRollDown(char const* keyword, std::string name, bool const& visible)
    : PPDXGroup(keyword, std::move(name), visible),
      controls_(std::make_unique<PPDXControls>(/*ownsControls=*/false)) {}

PPDXRollDown::~PPDXRollDown() = default;

namespace {

PPDXRollDown* AsRollDown(void* element) {
  return element ? dynamic_cast<PPDXRollDown*>(static_cast<PPDXElement*>(element)) : nullptr;
}

}  // namespace

extern "C" {

void* GetRollDownControlList(void* group) {
  PPDXRollDown* roll_down = AsRollDown(group);
  return roll_down ? roll_down->Controls() : nullptr;
}

bool IsRollDown(void* element) { return AsRollDown(element) != nullptr; }

}  // extern "C"
