// The panel tree part of UI_Panel.
#include <cstring>

#include "PPDX/KRTPPD.h"
#include "PPDX/PPDObjects/Controls/PPDXControl.h"
#include "PPDX/PPDObjects/PPDXControls.h"
#include "PPDX/PPDObjects/PPDXGroup.h"
#include "PPDX/PPDObjects/PPDXGroups.h"
#include "PPDX/PPDObjects/PPDXShortcuts.h"
#include "panel/PDEData.h"
#include "panel/PPDTree.h"
#include "panel/UI_Panel.h"
#include "panel/UI_PanelReturnTimer.h"
#include "platform/Log.h"

UI_Panel::UI_Panel(PDEData* data) : pdeData_(data) {}

UI_Panel::~UI_Panel() = default;

void UI_Panel::PopulatePPDTreeStructure() { PopulatePPDTreeStructure(GetPPDTree()); }

void UI_Panel::PopulatePPDTreeStructure(PPDTree& tree) {
  tree.Clear();
  KRTPPD* ppd = pdeData_ != nullptr ? pdeData_->PPD() : nullptr;
  if (ppd == nullptr) return;

  if (PPDXShortcuts* shortcuts = ppd->GetShortcuts()) {
    for (PPDXControl* c = shortcuts->First(); c != nullptr; c = shortcuts->Next()) {
      if (!pdeData_->IsValidBasicPanelControl(c) || pdeData_->dmtHides(c->Keyword())) continue;
      if (!tree.AddShortcut(c->CFStringUserName(), c->Keyword())) break;
    }
  }
  pdeData_->GetPPDShortcuts(tree);

  if (PPDXGroups* groups = ppd->GetGroups()) {
    bool first = true;
    for (PPDXGroup* g = groups->First(); g != nullptr; g = groups->Next()) {
      if (first) {
        first = false;
        continue;
      }
      const char* keyword = g->Keyword();
      if (keyword == nullptr || std::strcmp(keyword, "KRPPInstallableOptions") == 0 ||
          std::strcmp(keyword, "KRScrollPane") == 0) {
        continue;
      }
      if (tree.groups.size() >= PPDTree::kMaxGroups) {
        quill::PanelLog("UI_Panel::PopulatePPDTreeStructure: more than %zu groups; the rest are left out",
                        PPDTree::kMaxGroups);
        break;
      }
      tree.groups.push_back({g->CFStringUserName(), keyword, {}});
    }
  }

  if (PPDXControls* controls = ppd->GetControls()) {
    CNTL_TYPE type = kBaseControl;
    bool first = true;
    for (PPDXControl* c = controls->First(type); c != nullptr; c = controls->Next(type)) {
      if (first) {
        first = false;
        continue;
      }
      if (type != kJobNoteControl && type != kBooleanControl && type != kPopupControl) continue;
      if (!pdeData_->IsValidBasicPanelControl(c)) continue;
      const PPDXElement* parent = c->GetParent();
      if (parent == nullptr || parent->Keyword() == nullptr) continue;
      for (std::size_t g = 0; g < tree.groups.size(); ++g) {
        PPDTreeGroup& node = tree.groups[g];
        if (node.keyword != parent->Keyword()) continue;
        if (node.controls.size() >= PPDTree::kMaxGroupControls) break;
        const std::size_t at = node.controls.size();
        node.controls.push_back({c->CFStringUserName(), c->Keyword()});
        if (PPDTreeShortcut* s = GetShortcutFromKeyword(tree, c->Keyword())) {
          s->position = static_cast<int32_t>(100 * (g + 1) + at);
        }
        break;
      }
    }
  }

  std::erase_if(tree.groups, [](const PPDTreeGroup& g) { return g.controls.empty(); });
}
