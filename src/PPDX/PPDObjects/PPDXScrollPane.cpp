#include "PPDX/PPDObjects/PPDXScrollPane.h"

#include <utility>

#include "PPDX/PPDObjects/PPDXGroups.h"

PPDXScrollPane::PPDXScrollPane(char const* keyword, std::string name, bool const& visible)
    : PPDXGroup(keyword, std::move(name), visible),
      rollDowns_(std::make_unique<PPDXGroups>(/*ownsGroups=*/false)) {}

PPDXScrollPane::~PPDXScrollPane() = default;

namespace {

PPDXScrollPane* AsScrollPane(void* element) {
  return element ? dynamic_cast<PPDXScrollPane*>(static_cast<PPDXElement*>(element)) : nullptr;
}

}  // namespace

extern "C" {

void* GetScrollPaneRollDowns(void* group) {
  PPDXScrollPane* pane = AsScrollPane(group);
  return pane ? pane->RollDowns() : nullptr;
}

bool IsScrollPane(void* element) { return AsScrollPane(element) != nullptr; }

}  // extern "C"
