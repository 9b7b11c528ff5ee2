#include "panel/QuillFeaturesPDEPlugIn.h"

bool QuillFeaturesPDEPlugIn::initWithBundle(quill::Bundle* /*bundle*/) { return true; }

std::optional<std::vector<std::unique_ptr<QuillFeaturesPDE>>>
QuillFeaturesPDEPlugIn::PDEPanelsForType(std::string_view type,
                                         quill::PrintDialogCallback* hostInfo,
                                         const QuillFeaturesPDEOptions& options) {
  std::vector<std::unique_ptr<QuillFeaturesPDE>> panels;
  if (type != QuillFeaturesPDE::kPanelType) return panels;
  std::unique_ptr<QuillFeaturesPDE> panel = QuillFeaturesPDE::initWithCallback(hostInfo, options);
  if (!panel) return std::nullopt;
  panels.push_back(std::move(panel));
  return panels;
}
