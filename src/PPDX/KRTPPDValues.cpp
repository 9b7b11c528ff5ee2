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
#include "foundation/CStringSoup.h"
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

std::pair<long, long> KRTPPD::ConstraintIds(char const* key, char const* option) {
  if (key == nullptr) return {-1, -1};
  CStringSoup* strings = constraints_->GetConstraintStrings();
  KeyIds* ids = lastKeyIds_;
  if (ids == nullptr || std::strcmp(lastKey_.c_str(), key) != 0) {
    // The pane asks about every option of one key in a row: a new key is looked up once.
    auto found = keyIds_.find(std::string_view(key));
    if (found == keyIds_.end()) {
      const long key_id = strings->Find(key);
      if (key_id < 0) return {-1, -1};  // unknown now, perhaps not later
      found = keyIds_.emplace(key, KeyIds{key_id, {}}).first;
    }
    ids = lastKeyIds_ = &found->second;
    lastKey_ = key;
  }
  if (option == nullptr) return {ids->key, -1};
  const size_t count = ids->options.size();
  for (size_t n = 0, i = ids->next; n < count; ++n, i = i + 1 < count ? i + 1 : 0) {
    if (std::strcmp(ids->options[i].first.c_str(), option) == 0) {
      ids->next = i + 1 < count ? i + 1 : 0;
      return {ids->key, ids->options[i].second};
    }
  }
  const long option_id = strings->Find(option);
  if (option_id >= 0) {
    ids->options.emplace_back(option, option_id);
    ids->next = 0;
  }
  return {ids->key, option_id};
}

void KRTPPD::FindQuestionControls() {
  DisplayOptionsScope every_control(kDisplayOrphans | kDisplayHidden);
  CNTL_TYPE type;
  printSize_ = dynamic_cast<PPDXPopupControl*>(controls_->Find("*KRPrintSize", type, true));
  pageSize_ = dynamic_cast<PPDXPopupControl*>(controls_->Find("*PageSize", type, true));
}

PPDXPopupControl* KRTPPD::ShownPopup(PPDXPopupControl* cached, char const* keyword) const {
  // Without a control of that keyword at all there is nothing to look for; a hidden first one
  // may have a shown namesake behind it.
  if (cached == nullptr || cached->OkayToDisplay(Options())) return cached;
  CNTL_TYPE type;
  return dynamic_cast<PPDXPopupControl*>(controls_->Find(keyword, type, true));
}

bool KRTPPD::IsKVConstrained(char const* key, char const* option) {
  auto ask = [&](char const* asked_option) {
    const auto [key_id, option_id] = ConstraintIds(key, asked_option);
    if (key_id < 0) return false;  // the store knows nothing of the key
    return constraints_->IsKVConstrained(key_id, option_id);
  };
  PPDXPopupControl* print_size = ShownPopup(printSize_, "*KRPrintSize");
  if (print_size == nullptr) return ask(option);

  auto page = [&]() {
    std::optional<std::string> keyword = current_keyword(ShownPopup(pageSize_, "*PageSize"));
    if (keyword && keyword->size() > 49) keyword->resize(49);
    return keyword;
  };
  if (print_size->IsKeywordSelected("SameAsPageSize")) {
    // For the question, the print size is what "same as the page size" means now.
    const std::string stand_in =
        Globals().customPageSizeSelectedInPageSetup ? "CustomPrintSize" : page().value_or("");
    print_size->SetKeywordSelect(stand_in.c_str(), true);
    const bool constrained = ask(option);
    print_size->SetKeywordSelect("SameAsPageSize", true);
    return constrained;
  }
  if (option != nullptr && std::strcmp(option, "SameAsPageSize") == 0) {
    if (std::optional<std::string> keyword = page()) return ask(keyword->c_str());
  }
  return ask(option);
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
  FindQuestionControls();
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
