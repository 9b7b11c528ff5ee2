#include "PPDX/PPDObjects/PPDXProperty.h"

#include <utility>

#include "PPDX/PPDObjects/PPDXScrollPane.h"

PPDXProperty::PPDXProperty(char const* keyword, std::string name, bool const& visible,
                           bool const& showInPrintProp, bool const& showInApp)
    : PPDXElement(keyword, std::move(name), visible),
      showInPrintProp_(showInPrintProp ? 1 : 0),
      showInApp_(showInApp ? 1 : 0) {}

PPDXProperty::~PPDXProperty() = default;

namespace {

PPDXProperty* AsProperty(void* element) {
  return element ? dynamic_cast<PPDXProperty*>(static_cast<PPDXElement*>(element)) : nullptr;
}

}  // namespace

extern "C" {

bool ShowPropInPrintProp(void* property) {
  PPDXProperty* page = AsProperty(property);
  return page && page->ShowInPrintProp();
}

bool ShowPropInApp(void* property) {
  PPDXProperty* page = AsProperty(property);
  return page && page->ShowInApp();
}

void* GetPropertyScrollDown(void* property) {
  PPDXProperty* page = AsProperty(property);
  return page ? page->GetScrollDown() : nullptr;
}

void SetPropertyScrollDown(void* property, void* pane) {
  PPDXProperty* page = AsProperty(property);
  if (page == nullptr || pane == nullptr) return;
  auto* scroll_pane = dynamic_cast<PPDXScrollPane*>(static_cast<PPDXElement*>(pane));
  if (scroll_pane != nullptr) page->SetScrollDown(scroll_pane);
}

bool IsPropertyPage(void* element) { return AsProperty(element) != nullptr; }

}  // extern "C"
