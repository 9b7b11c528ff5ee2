// LoadedPPD: what every PPD-reading subcommand does first: checks that the file can be read,
// parses it, shows the whole tree (display options 3) and applies the --set choices in order.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "PPDX/KRTPPD.h"

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

  // Applies "KEY=VALUE" through the key/value interface. Throws UsageError for a text without
  // "=", an unknown key, or a value the control refuses.
  void Set(const std::string& assignment);

 private:
  std::string path_;
  KRTPPD* ppd_;  // reference counted: released by the destructor
  _DISPLAY_OPTIONS_ savedOptions_;
};

// Splits "KEY=VALUE" at its first "="; throws UsageError without one or with an empty key.
std::pair<std::string, std::string> SplitAssignment(const std::string& text);

}  // namespace quill::cli
