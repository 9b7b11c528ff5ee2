// The quick-access list the panel benchmarks share on the large generated PPD: its first 80
// pop-ups and 19 booleans, 99 entries, the most a pane holds.
#pragma once

#include "PPDX/PPDObjects/Controls/PPDXControl.h"
#include "PPDX/PPDObjects/PPDXControls.h"
#include "panel/PPDTree.h"

namespace ppdbench {

inline void AddQuickAccessList(PPDXControls& controls, PPDTree& tree) {
  int popups = 0;
  for (PPDXControl* c = controls.FirstPopupControl(); c != nullptr && popups < 80;
       c = controls.NextPopupControl(), ++popups) {
    tree.AddShortcut(c->CFStringUserName(), c->Keyword());
  }
  int booleans = 0;
  for (PPDXControl* c = controls.FirstBooleanControl(); c != nullptr && booleans < 19;
       c = controls.NextBooleanControl(), ++booleans) {
    tree.AddShortcut(c->CFStringUserName(), c->Keyword());
  }
}

}  // namespace ppdbench
