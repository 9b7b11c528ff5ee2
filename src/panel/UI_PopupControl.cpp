#include "panel/UI_PopupControl.h"

#include <algorithm>

#include "PPDX/KRTPPD.h"
#include "panel/CustomizePaneController.h"
#include "panel/PDEData.h"

void UI_PopupControl::checkPopupConstraints(std::vector<PaneEntry>& entries, std::size_t count) {
  count = std::min(count, entries.size());
  for (std::size_t i = 0; i < count; ++i) ValidateMenuItems(entries[i]);
}

void UI_PopupControl::ValidateMenuItems(PaneEntry& entry) {
  if (entry.kind != PaneEntryKind::kPopup || entry.control == nullptr) return;
  const char* key = entry.keyword.c_str();
  const bool locked = data_ != nullptr && data_->dmtLocks(key);
  for (std::size_t i = 0; i < entry.items.size(); ++i) {
    PaneItem& item = entry.items[i];
    if (item.keyword.empty()) {  // the custom paper of the dialog: not a PPD choice
      SetPopupItemEnabledAtIndex(entry, !locked, i);
      continue;
    }
    const bool allowed = !locked && !ppd_.IsKVConstrained(key, item.keyword.c_str());
    SetPopupItemEnabledAtIndex(entry, allowed, i);
  }
  if (locked) entry.enabled = false;
}

void UI_PopupControl::SetPopupItemEnabledAtIndex(PaneEntry& entry, bool enabled,
                                                 std::size_t index) {
  if (index < entry.items.size()) entry.items[index].enabled = enabled;
}
