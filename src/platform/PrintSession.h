// PrintSession: the process-wide print session of the panel, which knows the printer the user has
// chosen. The panel layer asks it for the current printer; tests set it and reset it.
#pragma once

#include <optional>

#include "platform/Printer.h"

namespace quill {

class PrintSession {
 public:
  // The one session of the process.
  static PrintSession& Current();

  // Makes `printer` the current one; nullopt clears it.
  void SetCurrentPrinter(std::optional<Printer> printer);
  // The current printer, or null when none is chosen. Valid until the next SetCurrentPrinter.
  [[nodiscard]] const Printer* CurrentPrinter() const;

  // Forgets the current printer (for tests).
  static void Reset();

 private:
  std::optional<Printer> printer_;
};

}  // namespace quill
