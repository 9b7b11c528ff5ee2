// PPDXProperty: a property page of the PPD tree (*%KRTPropPage). A page shows one scroll pane,
// which the parser's main group list owns, and says whether it appears in the print properties
// and in the application.
#pragma once

#include <cstdint>
#include <string>

#include "PPDX/PPDObjects/PPDXElement.h"

class PPDXScrollPane;

class PPDXProperty : public PPDXElement {
 public:
  // `keyword`: the page keyword (null or empty: none); `name`: the display name (UTF-8).
  PPDXProperty(char const* keyword, std::string name, bool const& visible,
               bool const& showInPrintProp, bool const& showInApp);
  ~PPDXProperty() override;

  [[nodiscard]] bool ShowInPrintProp() const { return showInPrintProp_ != 0; }
  [[nodiscard]] bool ShowInApp() const { return showInApp_ != 0; }
  // The page's scroll pane; null until one is set.
  [[nodiscard]] PPDXScrollPane* GetScrollDown() const { return scrollPane_; }
  // Sets (or, with null, clears) the page's scroll pane. The pane is not owned; its owner must
  // outlive the page's use of it.
  void SetScrollDown(PPDXScrollPane* pane) { scrollPane_ = pane; }

 private:
  PPDXScrollPane* scrollPane_ = nullptr;  // not owned
  int32_t showInPrintProp_;
  int32_t showInApp_;
};

// Flat functions over an untyped element; null, or an element that is no property page, gives
// false or null and changes nothing.
extern "C" {
bool ShowPropInPrintProp(void* property);
bool ShowPropInApp(void* property);
void* GetPropertyScrollDown(void* property);
// Needs a page and a scroll pane; anything else changes nothing.
void SetPropertyScrollDown(void* property, void* pane);
bool IsPropertyPage(void* element);
}
