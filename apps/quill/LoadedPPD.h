// LoadedPPD: what every PPD-reading subcommand does first: checks that the file can be read,
// parses it, shows the whole tree (display options 3) and applies the --set choices in order.
// Whether a value suits a control is the control's own answer (PPDXControl::CheckValue).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "PPDX/KRTPPD.h"

class PPDXControl;

namespace quill::cli {

// A failure that ends the command with exit status 2 and one line on standard error.
struct UsageError {
  std::string message;
};

class LoadedPPD {
 public:
  // Throws UsageError when the file cannot be read.
  LoadedPPD(const std::string& path, _PARSE_OPTIONS_ options);
  ~LoadedPPD();
  LoadedPPD(const LoadedPPD&) = delete;
  LoadedPPD& operator=(const LoadedPPD&) = delete;

  [[nodiscard]] KRTPPD& ppd() { return *ppd_; }
  [[nodiscard]] const std::string& path() const { return path_; }

  // The control of `key`, a main keyword with or without its leading "*" ("Duplex" finds
  // "*Duplex" when no control is named "Duplex"). Throws UsageError "no key KEY in FILE".
  [[nodiscard]] PPDXControl& Control(const std::string& key);
  // Throws UsageError "value "VALUE" for KEYWORD <why>" when the control refuses the value.
  void CheckValue(const PPDXControl& control, const std::string& value) const;
  // Sets "KEY=VALUE" as a user types it (Control, CheckValue, then the control's text setter).
  // Throws UsageError for a text without "=", an unknown key, or a value the control refuses.
  void Set(const std::string& assignment);

 private:
  std::string path_;
  KRTPPD* ppd_;  // reference counted: released by the destructor
  _DISPLAY_OPTIONS_ savedOptions_;
};

// Splits "KEY=VALUE" at its first "="; throws UsageError without one or with an empty key.
std::pair<std::string, std::string> SplitAssignment(const std::string& text);

}  // namespace quill::cli
