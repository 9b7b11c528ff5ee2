#include "PPDX/PPDObjects/Controls/PPDXPopupControl.h"

#include <cstring>

#include "foundation/PointerList.h"
#include "foundation/ProcessGlobals.h"
#include "platform/TextEncoding.h"

namespace {

// Popups whose values are colour profiles: the job-properties module may hand them a profile
// that the PPD does not list, which then becomes an item of its own.
constexpr const char* kColourProfileKeywords[] = {
    "*KRSimulation",   "*KROutProfile",   "*KRRGBOverride",   "*KRCurveAdjust",    "*KRControlBar",
    "*KRSpotPriority", "*KRGrayOverride", "*KRTUProfileBody", "*KRTUProfileCover",
};

char ascii_lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Equality ignoring the case of ASCII letters.
bool equals_ignoring_case(std::string const& a, std::string const& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (ascii_lower(a[i]) != ascii_lower(b[i])) return false;
  }
  return true;
}

void take_items(PointerList& from, std::vector<std::unique_ptr<_PopupItem>>& into) {
  for (void* item : from) {
    if (item != nullptr) into.emplace_back(static_cast<_PopupItem*>(item));
  }
}

}  // namespace

PPDXPopupControl::PPDXPopupControl(char const* keyword, std::string name, PointerList& flags,
                                   bool visible, bool multipleChoice, bool installable,
                                   PointerList& items, CString* defaultKeyword,
                                   UIConstraints* constraints)
    : PPDXControl(keyword, std::move(name), flags, nullptr, 0, visible, constraints),
      multipleChoice_(multipleChoice),
      installable_(installable),
      defaultKeyword_(defaultKeyword) {
  SetType(kPopupControl);
  take_items(items, items_);
  if (defaultKeyword_) SetKeywordSelect(*defaultKeyword_, true);
}

PPDXPopupControl::PPDXPopupControl(char const* keyword, std::string name, PointerList& flags,
                                   bool visible, bool multipleChoice, bool installable,
                                   std::vector<std::unique_ptr<_PopupItem>> items,
                                   PopupItemBlock itemBlock, CString* defaultKeyword,
                                   UIConstraints* constraints)
    : PPDXControl(keyword, std::move(name), flags, nullptr, 0, visible, constraints),
      multipleChoice_(multipleChoice),
      installable_(installable),
      defaultKeyword_(defaultKeyword),
      itemBlock_(std::move(itemBlock)),
      items_(std::move(items)) {
  SetType(kPopupControl);
  std::erase(items_, nullptr);
  if (defaultKeyword_) SetKeywordSelect(*defaultKeyword_, true);
}

PPDXPopupControl::~PPDXPopupControl() = default;

_PopupItem* PPDXPopupControl::FirstItem() {
  itemCursor_ = 0;
  return items_.empty() ? nullptr : items_[0].get();
}

_PopupItem* PPDXPopupControl::NextItem() {
  if (itemCursor_ < items_.size()) ++itemCursor_;
  return itemCursor_ < items_.size() ? items_[itemCursor_].get() : nullptr;
}

void PPDXPopupControl::AppendPopupItem(_PopupItem* item) {
  if (item != nullptr) items_.emplace_back(item);
}

bool PPDXPopupControl::SetKeywordSelect(char const* keyword, bool select) {
  if (keyword == nullptr || items_.empty()) return false;
  bool matched = false;
  for (auto& item : items_) {
    if (item->HasKeyword(keyword)) {
      item->SetSelected(select);
      current_ = item.get();
      matched = true;
      if (multipleChoice_) break;
    } else if (!multipleChoice_) {
      item->SetSelected(false);
    }
  }
  UpdateKVCache(Keyword(), keyword);
  return matched;
}

bool PPDXPopupControl::IsKeywordSelected(char const* keyword) const {
  for (const auto& item : items_) {
    if (item->IsSelected() && item->HasKeyword(keyword)) return true;
  }
  return false;
}

long PPDXPopupControl::GetValue() const {
  for (size_t i = 0; i < items_.size(); ++i) {
    if (items_[i]->IsSelected()) return static_cast<long>(i) + 1;
  }
  return 0;
}

void PPDXPopupControl::SetValue(long n) {
  for (size_t i = 0; i < items_.size(); ++i) {
    const bool chosen = static_cast<long>(i) + 1 == n;
    items_[i]->SetSelected(chosen);
    if (chosen) {
      current_ = items_[i].get();
      UpdateKVCache(Keyword(), current_->Keyword());
    }
  }
}

long PPDXPopupControl::DefaultValue() const {
  long index = 0;
  if (defaultKeyword_ && !defaultKeyword_->Empty()) {
    for (size_t i = 0; i < items_.size(); ++i) {
      if (items_[i]->HasKeyword(*defaultKeyword_)) {
        index = static_cast<long>(i) + 1;
        break;
      }
    }
  }
  // A default chosen by the pop-up job-note set-up does not count once that set-up has found
  // no pop-up job note.
  const ProcessGlobals& globals = Globals();
  const bool jobNotesAbsent =
      globals.popupJobNotesDoneInitializing && !globals.popupJobNotesFoundOne;
  if (defaultOverride_ != 0 && !jobNotesAbsent) return defaultOverride_;
  return index;
}

void PPDXPopupControl::ResetToDefaultValue() { SetValue(DefaultValue()); }

char const* PPDXPopupControl::GetDefaultKeyword() const {
  return defaultKeyword_ ? static_cast<char const*>(*defaultKeyword_) : nullptr;
}

long PPDXPopupControl::GetKeywordPSData(char const* keyword, unsigned char* out) {
  if (Keyword() == nullptr || keyword == nullptr) return 0;
  for (const auto& item : items_) {
    if (item->HasKeyword(keyword)) {
      return GeneratePSOutputData(out, item->Code(), item->CodeLength(), keyword, true);
    }
  }
  return 0;
}

long PPDXPopupControl::PostScript(unsigned char* out) {
  return current_ != nullptr ? GetKeywordPSData(current_->Keyword(), out) : 0;
}

char const* PPDXPopupControl::GetKeywordLocalName(char const* keyword) {
  _PopupItem* found = nullptr;
  for (auto& item : items_) {
    if (item->HasKeyword(keyword)) found = item.get();
  }
  return found != nullptr ? found->displayName() : nullptr;
}

std::optional<std::string> PPDXPopupControl::GetKeywordCFLocalName(char const* keyword) const {
  const _PopupItem* found = nullptr;
  for (const auto& item : items_) {
    if (item->HasKeyword(keyword)) found = item.get();
  }
  return found != nullptr ? found->LocalizedName() : std::nullopt;
}

std::optional<std::string> PPDXPopupControl::GetKeywordLocalNameAtIndex(long i) {
  if (i >= 0 && i < ItemCount()) return items_[static_cast<size_t>(i)]->LocalizedName();
  ResetToDefaultValue();
  return CopyCurrentControlValueString();
}

std::optional<std::string> PPDXPopupControl::CopyCurrentControlValueString() {
  return CopyCurrentControlValueStringUTF8();
}

std::optional<std::string> PPDXPopupControl::CopyCurrentControlValueStringUTF8() const {
  if (current_ == nullptr || current_->Keyword() == nullptr) return std::nullopt;
  std::string keyword = current_->Keyword();
  // ASCII keywords are UTF-8 as they stand; a keyword added from a UTF-8 value keeps its text.
  if (!quill::TextEncoding::IsValidUTF8(keyword)) return std::nullopt;
  return keyword;
}

void PPDXPopupControl::SetCurrentControlWithCFString(std::string const& value) {
  const bool colourProfile = IsColourProfileControl();
  for (size_t i = 0; i < items_.size(); ++i) {
    const _PopupItem& item = *items_[i];
    const bool nameMatches =
        colourProfile && item.LocalizedName() && equals_ignoring_case(*item.LocalizedName(), value);
    if (nameMatches || item.HasKeyword(value.c_str())) {
      SetValue(static_cast<long>(i) + 1);
      return;
    }
  }
  if (!colourProfile) return;
  AppendPopupItem(new _PopupItem(value.c_str(), value, nullptr, 0));
  if (!SetKeywordSelect(value.c_str(), true)) ResetToDefaultValue();
}

ValueRefusal PPDXPopupControl::CheckValue(std::string const& value, std::string* why) const {
  // The whole value names the option: "Legal" followed by a NUL byte and more is not "Legal".
  if (value.find('\0') == std::string::npos) {
    for (const auto& item : items_) {
      if (item->HasKeyword(value.c_str())) return kValueAccepted;
    }
  }
  if (IsColourProfileControl()) {
    // A name that no item has becomes an item of its own; an empty one could not be chosen.
    if (value.empty()) return RefuseValue(kValueNotAnOption, why, "is empty");
    if (!quill::TextEncoding::IsValidUTF8(value) || value.find('\0') != std::string::npos) {
      return RefuseValue(kValueNotText, why, "is not UTF-8 text");
    }
    return kValueAccepted;
  }
  if (why == nullptr) return kValueNotAnOption;
  // The first few options tell a user what was meant; a long list would drown the message.
  constexpr size_t kListed = 8;
  std::string options;
  size_t listed = 0;
  for (const auto& item : items_) {
    if (item->Keyword() == nullptr) continue;
    if (listed == kListed) {
      options += ", ...";
      break;
    }
    options += (listed++ == 0 ? "" : ", ");
    options += item->Keyword();
  }
  return RefuseValue(kValueNotAnOption, why,
                     "is not one of its options" + (options.empty() ? "" : " (" + options + ")"));
}

std::string PPDXPopupControl::OptionForValue(std::string const& value) const {
  if (!IsColourProfileControl()) return value;
  for (const auto& item : items_) {
    const bool nameMatches =
        item->LocalizedName() && equals_ignoring_case(*item->LocalizedName(), value);
    if ((nameMatches || item->HasKeyword(value.c_str())) && item->Keyword() != nullptr) {
      return item->Keyword();
    }
  }
  return value;
}

bool PPDXPopupControl::Rebuild(char const* name, PointerList& items, CString* defaultKeyword) {
  std::vector<std::unique_ptr<_PopupItem>> newItems;
  take_items(items, newItems);
  std::unique_ptr<CString> newDefault(defaultKeyword);
  if (current_ == nullptr) return false;

  // The keyword outlives the old items it came from.
  const std::optional<std::string> previous =
      current_->Keyword() ? std::optional<std::string>(current_->Keyword()) : std::nullopt;

  if (name != nullptr && std::strcmp(name, UserName()) != 0) {
    const quill::TextEncodingId system = quill::TextEncoding::SystemEncoding();
    auto utf8 = quill::TextEncoding::Convert(name, system, quill::kEncodingUTF8);
    SetLocalizedName(utf8 ? *utf8 : std::string(name));
  }
  current_ = nullptr;
  itemCursor_ = 0;
  items_ = std::move(newItems);
  defaultKeyword_ = std::move(newDefault);

  if (defaultKeyword_) SetKeywordSelect(*defaultKeyword_, true);
  // Choosing a keyword the new list lacks would deselect every item of a single-choice list and
  // report an option that no longer exists, so the default stays in that case.
  if (previous) {
    for (const auto& item : items_) {
      if (item->HasKeyword(previous->c_str())) {
        SetKeywordSelect(previous->c_str(), true);
        break;
      }
    }
  }
  return true;
}

bool PPDXPopupControl::IsColourProfileControl() const {
  for (const char* keyword : kColourProfileKeywords) {
    if (*this == keyword) return true;
  }
  return false;
}

namespace {

PPDXPopupControl* as_popup(void* control) {
  auto* base = static_cast<PPDXControl*>(control);
  return base != nullptr && base->Type() == kPopupControl ? static_cast<PPDXPopupControl*>(base)
                                                          : nullptr;
}

bool fill_item(_PopupItem* from, PopupItemInfo* item) {
  item->keyword = nullptr;
  item->localizedName = nullptr;
  if (from == nullptr) return false;
  item->keyword = from->Keyword();
  if (from->LocalizedName()) item->localizedName = from->LocalizedName()->c_str();
  return true;
}

}  // namespace

extern "C" {

long PopupItemCount(void* control) {
  auto* popup = as_popup(control);
  return popup ? popup->ItemCount() : 0;
}
bool FirstItem(void* control, PopupItemInfo* item) {
  auto* popup = as_popup(control);
  if (item == nullptr) return false;
  return fill_item(popup ? popup->FirstItem() : nullptr, item);
}
bool NextItem(void* control, PopupItemInfo* item) {
  auto* popup = as_popup(control);
  if (item == nullptr) return false;
  return fill_item(popup ? popup->NextItem() : nullptr, item);
}
char const* GetKeywordLocalName(void* control, char const* keyword) {
  auto* popup = as_popup(control);
  return popup ? popup->GetKeywordLocalName(keyword) : nullptr;
}
long GetKeywordPSData(void* control, char const* keyword, unsigned char* out) {
  auto* popup = as_popup(control);
  return popup ? popup->GetKeywordPSData(keyword, out) : 0;
}
bool IsKeywordSelected(void* control, char const* keyword) {
  auto* popup = as_popup(control);
  return popup && popup->IsKeywordSelected(keyword);
}
bool SetKeywordSelect(void* control, char const* keyword, bool select) {
  auto* popup = as_popup(control);
  return popup && popup->SetKeywordSelect(keyword, select);
}
long PopupPostScript(void* control, unsigned char* out) {
  auto* popup = as_popup(control);
  return popup ? popup->PostScript(out) : 0;
}
long GetPopupValue(void* control) {
  auto* popup = as_popup(control);
  return popup ? popup->GetValue() : 0;
}
void SetPopupValue(void* control, long n) {
  if (auto* popup = as_popup(control)) popup->SetValue(n);
}
long GetPopupDefaultValue(void* control) {
  auto* popup = as_popup(control);
  return popup ? popup->DefaultValue() : 0;
}
bool CanSelectMultipleItems(void* control) {
  auto* popup = as_popup(control);
  return popup && popup->CanSelectMultipleItems();
}
char const* GetDefaultKeyword(void* control) {
  auto* popup = as_popup(control);
  return popup ? popup->GetDefaultKeyword() : nullptr;
}

}  // extern "C"
