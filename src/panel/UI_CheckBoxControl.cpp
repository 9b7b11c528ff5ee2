#include "panel/UI_CheckBoxControl.h"

#include <algorithm>

#include "PPDX/KRTPPD.h"
#include "PPDX/PPDObjects/Controls/PPDXBooleanControl.h"
#include "panel/CustomizePaneController.h"

void UI_CheckBoxControl::checkCheckBoxConstraints(std::vector<PaneEntry>& entries,
                                                  std::size_t count) {
  count = std::min(count, entries.size());
  for (std::size_t i = 0; i < count; ++i) processBooleanCommand(entries[i]);
}

void UI_CheckBoxControl::processBooleanCommand(PaneEntry& entry) {
  if (entry.kind != PaneEntryKind::kCheckBox || entry.control == nullptr) return;
  auto* boolean = static_cast<PPDXBooleanControl*>(entry.control);
  if (boolean->IsTrue() != entry.on) boolean->SetValue(entry.on);
  const bool forbidden = ppd_.IsKVConstrained(entry.keyword.c_str(), entry.on ? "False" : "True");
  entry.enabled = !forbidden;
  entry.iconEnabled = !forbidden;
}
