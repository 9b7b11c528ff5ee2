// KRTPPD: the key/value interface over the controls, the constraint question with the print-size
// rule, and the popups that the panel makes or rebuilds at run time.
#include <cstring>
#include <map>
#include <optional>
#include <string>

#include "PPDX/KRTPPD.h"
#include "PPDX/PPDObjects/Controls/PPDXControl.h"
#include "PPDX/PPDObjects/Controls/PPDXPopupControl.h"
#include "PPDX/PPDObjects/GroupName.h"
#include "PPDX/PPDObjects/PPDXControls.h"
#include "PPDX/PPDObjects/PPDXGroup.h"
#include "PPDX/PPDObjects/PPDXGroups.h"
#include "constraints/UIConstraints.h"
#include "foundation/PointerList.h"
#include "foundation/ProcessGlobals.h"

namespace {

constexpr size_t kMaxKeyLength = 40;

// Sets the display options for the life of the object and puts the old ones back after.
class DisplayOptionsScope {
 public:
  explicit DisplayOptionsScope(_DISPLAY_OPTIONS_ options) : saved_(KRTPPD::Options()) {
    KRTPPD::Options(options);
  }
  ~DisplayOptionsScope() { KRTPPD::Options(saved_); }
  DisplayOptionsScope(const DisplayOptionsScope&) = delete;
  DisplayOptionsScope& operator=(const DisplayOptionsScope&) = delete;

 private:
  _DISPLAY_OPTIONS_ saved_;
};

// The keyword of the popup's current item, or nullopt.
std::optional<std::string> current_keyword(PPDXPopupControl* popup) {
  return popup ? popup->CopyCurrentControlValueStringUTF8() : std::nullopt;
}

}  // namespace

PPDXControl* KRTPPD::GetPPDXControlForKey(const std::string& key) const {
  const std::string ascii = key.substr(0, kMaxKeyLength);
  CNTL_TYPE type;
  return controls_ ? controls_->Find(ascii.c_str(), type, true) : nullptr;
}

std::optional<std::string> KRTPPD::CopyValueForKey(const std::string& key) const {
  PPDXControl* control = GetPPDXControlForKey(key);
  return control ? control->CopyPresetValueString() : std::nullopt;
}

bool KRTPPD::SetValueForKey(const std::string& key, const std::string& value) {
  PPDXControl* control = GetPPDXControlForKey(key);
  if (control == nullptr) return false;
  control->SetPresetValueString(value);
  return true;
}

std::map<std::string, std::string> KRTPPD::CopyAllValues() const {
  std::map<std::string, std::string> values;
  if (!controls_) return values;
  DisplayOptionsScope every_control(kDisplayOrphans | kDisplayHidden);
  CNTL_TYPE type;
  for (PPDXControl* c = controls_->First(type); c != nullptr; c = controls_->Next(type)) {
    if (c->Keyword() == nullptr) continue;
    if (auto value = c->CopyPresetValueString()) values.emplace(c->Keyword(), std::move(*value));
  }
  return values;
}

void KRTPPD::SetAllValues(const std::map<std::string, std::string>& values) {
  if (!controls_) return;
  DisplayOptionsScope every_control(kDisplayOrphans | kDisplayHidden);
  CNTL_TYPE type;
  for (PPDXControl* c = controls_->First(type); c != nullptr; c = controls_->Next(type)) {
    if (c->Keyword() == nullptr || c->IsInstallableOption()) continue;
    if (auto it = values.find(c->Keyword()); it != values.end()) c->SetPresetValueString(it->second);
  }
}

bool KRTPPD::IsKVConstrained(long key, long option) {
  return constraints_->IsKVConstrained(key, option);
}

bool KRTPPD::IsKVConstrained(char const* key, char const* option) {
  CNTL_TYPE type;
  auto* print_size = dynamic_cast<PPDXPopupControl*>(controls_->Find("*KRPrintSize", type, true));
  if (print_size == nullptr) return constraints_->IsKVConstrained(key, option);

  auto* page_size = dynamic_cast<PPDXPopupControl*>(controls_->Find("*PageSize", type, true));
  std::optional<std::string> page = current_keyword(page_size);
  if (page && page->size() > 49) page->resize(49);

  if (print_size->IsKeywordSelected("SameAsPageSize")) {
    // For the question, the print size is what "same as the page size" means now.
    const std::string stand_in =
        Globals().customPageSizeSelectedInPageSetup ? "CustomPrintSize" : page.value_or("");
    print_size->SetKeywordSelect(stand_in.c_str(), true);
    const bool constrained = constraints_->IsKVConstrained(key, option);
    print_size->SetKeywordSelect("SameAsPageSize", true);
    return constrained;
  }
  if (option != nullptr && std::strcmp(option, "SameAsPageSize") == 0 && page) {
    return constraints_->IsKVConstrained(key, page->c_str());
  }
  return constraints_->IsKVConstrained(key, option);
}

PPDXPopupControl* KRTPPD::PPDCreatePopupMenu(char const* groupKeyword, char const* controlKeyword,
                                             char const* name, PointerList& items,
                                             CString* defaultKeyword) {
  if (groupKeyword == nullptr || name == nullptr || GetTextConverter() == nullptr) {
    for (void* item : items) delete static_cast<_PopupItem*>(item);
    items.MakeEmpty();
    delete defaultKeyword;
    return nullptr;
  }
  if (FindGroupName(groupKeyword) == nullptr) {
    groupNames_.push_back(
        std::make_unique<GroupName>(groupKeyword, DisplayName(groupKeyword, groupKeyword), true));
  }
  PPDXGroup* group = FindAndCreateParent(groupKeyword);
  PointerList no_flags;
  auto* popup = new PPDXPopupControl(controlKeyword, DisplayName(name, name), no_flags, true,
                                     false, false, items, defaultKeyword, constraints_.get());
  SetupControl(group, popup, true);
  return popup;
}

bool KRTPPD::PPDReconcilePopupMenu(char const* controlKeyword, char const* name,
                                   PointerList& items, CString* defaultKeyword) {
  CNTL_TYPE type;
  auto* popup = dynamic_cast<PPDXPopupControl*>(
      controlKeyword ? controls_->Find(controlKeyword, type, true) : nullptr);
  if (popup == nullptr) {
    for (void* item : items) delete static_cast<_PopupItem*>(item);
    items.MakeEmpty();
    delete defaultKeyword;
    return false;
  }
  return popup->Rebuild(name, items, defaultKeyword);
}
