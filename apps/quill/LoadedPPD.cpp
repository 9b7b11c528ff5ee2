#include "LoadedPPD.h"

#include <filesystem>
#include <fstream>

#include "PPDX/PPDObjects/Controls/PPDXControl.h"
#include "foundation/ProcessGlobals.h"

namespace quill::cli {

std::pair<std::string, std::string> SplitAssignment(const std::string& text) {
  const auto at = text.find('=');
  if (at == std::string::npos || at == 0) {
    throw UsageError{"expected KEY=VALUE, got \"" + text + "\""};
  }
  return {text.substr(0, at), text.substr(at + 1)};
}

LoadedPPD::LoadedPPD(const std::string& path, _PARSE_OPTIONS_ options)
    : path_(path), savedOptions_(KRTPPD::Options()) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error) || !std::ifstream(path).good()) {
    throw UsageError{"cannot read " + path};
  }
  Globals().currentPPDPath = path;
  ppd_ = new KRTPPD(path, options);
  ppd_->Retain();
  // Everything the file defines is shown and can be set, orphans and hidden elements included.
  KRTPPD::Options(kDisplayOrphans | kDisplayHidden);
}

LoadedPPD::~LoadedPPD() {
  ppd_->Release();
  KRTPPD::Options(savedOptions_);
}

PPDXControl& LoadedPPD::Control(const std::string& key) {
  PPDXControl* control = ppd_->GetPPDXControlForKey(key);
  // Main keywords carry their asterisk in the PPD; users type them as lp -o does, without it.
  if (control == nullptr && !key.empty() && key[0] != '*') {
    control = ppd_->GetPPDXControlForKey("*" + key);
  }
  if (control == nullptr) throw UsageError{"no key " + key + " in " + path_};
  return *control;
}

void LoadedPPD::CheckValue(const PPDXControl& control, const std::string& value) const {
  if (std::string why; !control.AcceptsValue(value, &why)) {
    throw UsageError{"value \"" + value + "\" for " + control.Keyword() + " " + why};
  }
}

void LoadedPPD::Set(const std::string& assignment) {
  auto [key, value] = SplitAssignment(assignment);
  PPDXControl& control = Control(key);
  CheckValue(control, value);
  // The value as typed: for a job note its plain text, not the enciphered form of presets.
  control.SetCurrentControlWithCFString(value);
}

}  // namespace quill::cli
