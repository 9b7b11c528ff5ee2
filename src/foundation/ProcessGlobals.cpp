#include "foundation/ProcessGlobals.h"

ProcessGlobals& Globals() {
  static ProcessGlobals globals;
  return globals;
}

void ResetProcessGlobals() { Globals() = ProcessGlobals{}; }
