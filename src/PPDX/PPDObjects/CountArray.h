// CountArray: how many elements a container holds, split by the state each had when it was added
// (orphan, hidden), so that the number shown under any display options is known without a walk.
#pragma once

#include <cstdint>

#include "PPDX/PPDObjects/PPDXElement.h"

class CountArray {
 public:
  CountArray() = default;

  // Counts one element by its orphan and visibility state at this moment; later changes to the
  // element do not reach the counters.
  void Add(PPDXElement const& element);

  [[nodiscard]] int64_t Total() const { return total_; }
  [[nodiscard]] int64_t Orphans() const { return orphans_; }
  [[nodiscard]] int64_t Hidden() const { return hidden_; }
  [[nodiscard]] int64_t HiddenOrphans() const { return hiddenOrphans_; }

 private:
  int64_t total_ = 0;
  int64_t orphans_ = 0;        // no parent
  int64_t hidden_ = 0;         // not visible
  int64_t hiddenOrphans_ = 0;  // no parent and not visible
};

// The number of counted elements shown under `options`: 0 the visible ones with a parent, 1 the
// visible ones, 2 the ones with a parent, 3 all; any other value gives 0.
int64_t Count(CountArray const& counts, _DISPLAY_OPTIONS_ options);
