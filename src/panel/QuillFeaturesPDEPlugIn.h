// QuillFeaturesPDEPlugIn: the panel's entry point, which the print dialog asks for its panels.
#pragma once

#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "panel/QuillFeaturesPDE.h"

class QuillFeaturesPDEPlugIn {
 public:
  // Always true; the bundle is not kept.
  bool initWithBundle(quill::Bundle* bundle);
  // One controller for the print-dialog panel type, made by QuillFeaturesPDE::initWithCallback;
  // nullopt when start-up refused the queue (no panel), an empty list for any other type.
  // `hostInfo` is the dialog's callback object.
  [[nodiscard]] std::optional<std::vector<std::unique_ptr<QuillFeaturesPDE>>> PDEPanelsForType(
      std::string_view type, quill::PrintDialogCallback* hostInfo,
      const QuillFeaturesPDEOptions& options = {});
};
