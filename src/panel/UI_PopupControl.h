// UI_PopupControl: re-checks the items of the quick-access pane's pop-ups against the option
// constraints and the device-management locks after a change.
#pragma once

#include <cstddef>
#include <vector>

class KRTPPD;
class PDEData;
struct PaneEntry;

class UI_PopupControl {
 public:
  // Both must outlive the checker; `data` may be null (then nothing is locked).
  UI_PopupControl(KRTPPD& ppd, const PDEData* data) : ppd_(ppd), data_(data) {}

  // Validates the menu of every pop-up among the first `count` entries.
  void checkPopupConstraints(std::vector<PaneEntry>& entries, std::size_t count);
  // Every item, the selected one included, is enabled exactly when its choice is not
  // constrained and the option is not locked; a locked option disables the whole pop-up.
  // Entries that are not pop-ups are left alone.
  void ValidateMenuItems(PaneEntry& entry);
  // Sets the state of item `index`; an index out of range changes nothing.
  static void SetPopupItemEnabledAtIndex(PaneEntry& entry, bool enabled, std::size_t index);

 private:
  KRTPPD& ppd_;
  const PDEData* data_;
};
