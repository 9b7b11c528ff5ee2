// UI_CheckBoxControl: re-checks the check boxes of the quick-access pane against the option
// constraints after a change: a box whose other state is forbidden is disabled with its icon.
#pragma once

#include <cstddef>
#include <vector>

class KRTPPD;
struct PaneEntry;

class UI_CheckBoxControl {
 public:
  explicit UI_CheckBoxControl(KRTPPD& ppd) : ppd_(ppd) {}

  // Checks every check box among the first `count` entries.
  void checkCheckBoxConstraints(std::vector<PaneEntry>& entries, std::size_t count);
  // Sets the option from the box (on is "True"); when the opposite value is constrained the box
  // and its icon are disabled, else both are enabled. Other entries are left alone.
  void processBooleanCommand(PaneEntry& entry);

 private:
  KRTPPD& ppd_;
};
