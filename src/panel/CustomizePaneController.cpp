#include "panel/CustomizePaneController.h"

#include <algorithm>
#include <fstream>
#include <sstream>

#include "PPDX/KRTPPD.h"
#include "PPDX/PPDObjects/Controls/JobNoteCharacterRule.h"
#include "PPDX/PPDObjects/Controls/PPDXBooleanControl.h"
#include "PPDX/PPDObjects/Controls/PPDXControl.h"
#include "PPDX/PPDObjects/Controls/PPDXJobNote.h"
#include "PPDX/PPDObjects/Controls/PPDXPopupControl.h"
#include "PPDX/PPDObjects/PPDXControls.h"
#include "foundation/UTF8.h"
#include "panel/PPDTree.h"
#include "panel/UI_CheckBoxControl.h"
#include "panel/UI_PopupControl.h"
#include "platform/Bundle.h"

namespace {

constexpr char32_t kReplacement = 0xFFFD;

std::size_t CharacterCount(std::string_view text) {
  std::size_t count = 0;
  for (unsigned char c : text) count += (c & 0xC0) != 0x80 ? 1 : 0;
  return count;
}

// The first `count` characters of UTF-8 text (never a part of one).
std::string FirstCharacters(std::string_view text, std::size_t count) {
  std::size_t seen = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
      if (seen == count) return std::string(text.substr(0, i));
      ++seen;
    }
  }
  return std::string(text);
}

std::vector<std::string_view> SplitFields(std::string_view line) {
  std::vector<std::string_view> fields;
  std::size_t start = 0;
  while (true) {
    const std::size_t comma = line.find(',', start);
    fields.push_back(line.substr(start, comma == std::string_view::npos ? std::string_view::npos
                                                                         : comma - start));
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  return fields;
}

// The choices a pop-up or boolean can take.
std::vector<std::string> ChoicesOf(PPDXControl* control) {
  std::vector<std::string> choices;
  if (control->Type() == kBooleanControl) return {"True", "False"};
  if (control->Type() != kPopupControl) return choices;
  auto* popup = static_cast<PPDXPopupControl*>(control);
  for (_PopupItem* item = popup->FirstItem(); item != nullptr; item = popup->NextItem()) {
    choices.emplace_back(item->Keyword() != nullptr ? item->Keyword() : "");
  }
  return choices;
}

}  // namespace

CustomizePaneController::CustomizePaneController(KRTPPD& ppd, PDEData* data)
    : ppd_(ppd), data_(data) {}

// --- icons -------------------------------------------------------------------------------------

std::vector<IconRow> CustomizePaneController::ParseIconLookup(std::string_view text) {
  std::vector<IconRow> rows;
  std::size_t start = 0;
  while (start < text.size() && rows.size() < kMaxIconRows) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    if (line.size() > kMaxIconLine) continue;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const std::vector<std::string_view> fields = SplitFields(line);
    if (fields.size() < 3) continue;
    IconRow row;
    row.keyword = std::string(fields[1]);
    if (fields[2].find("icons") != std::string_view::npos) {
      row.path = std::string(fields[2]);
    } else {
      if (fields.size() < 4) continue;
      row.choice = std::string(fields[2]);
      row.path = std::string(fields[3]);
    }
    if (row.keyword.empty() || row.path.find("png") == std::string::npos) continue;
    rows.push_back(std::move(row));
  }
  return rows;
}

bool CustomizePaneController::LoadIconTable(const quill::Bundle& bundle) {
  if (!icons_.empty()) return true;
  const std::optional<std::string> path = bundle.ResourcePath("icons/lookup.csv");
  if (!path) return false;
  std::ifstream in(*path, std::ios::binary);
  if (!in) return false;
  std::ostringstream text;
  text << in.rdbuf();
  icons_ = ParseIconLookup(text.str());
  resourceFolder_ = bundle.Folder();
  if (!resourceFolder_.empty() && resourceFolder_.back() != '/') resourceFolder_ += '/';
  return true;
}

void CustomizePaneController::SetIconTable(std::vector<IconRow> rows, std::string resourceFolder) {
  icons_ = std::move(rows);
  resourceFolder_ = std::move(resourceFolder);
  if (!resourceFolder_.empty() && resourceFolder_.back() != '/') resourceFolder_ += '/';
}

std::string CustomizePaneController::GetIconPath(std::string_view keyword,
                                                 std::string_view choice) const {
  for (const IconRow& row : icons_) {
    if (row.keyword == keyword && row.choice == choice) return row.path;
  }
  return {};
}

void CustomizePaneController::UpdateIcon(PaneEntry& entry) {
  std::string choice;
  if (entry.kind == PaneEntryKind::kPopup) {
    if (entry.selected >= 0 && static_cast<std::size_t>(entry.selected) < entry.items.size()) {
      choice = entry.items[static_cast<std::size_t>(entry.selected)].keyword;
    }
  } else if (entry.kind == PaneEntryKind::kCheckBox) {
    choice = entry.on ? "True" : "False";
  }
  std::string_view bare = entry.keyword;
  if (!bare.empty() && bare.front() == '*') bare.remove_prefix(1);
  const std::string path = GetIconPath(bare, choice);
  const bool png = path.size() >= 3 && path.compare(path.size() - 3, 3, "png") == 0;
  entry.iconPath = png ? resourceFolder_ + path : std::string();
}

// --- the pane ------------------------------------------------------------------------------------

int CustomizePaneController::PaneHeightFor(std::size_t entryCount) {
  return static_cast<int>(150 * ((entryCount + 3) / 4));
}

int CustomizePaneController::AllControlsPaneHeight(std::size_t controlCount) {
  const long height = static_cast<long>(controlCount / 4) * 150 - 300;
  return height < 0 ? 0 : static_cast<int>(height);
}

void CustomizePaneController::MakeCaption(std::string_view displayName, bool japanese,
                                          std::string& caption, std::string& toolTip) {
  std::string full = std::string(displayName) + ":";
  const std::size_t limit = japanese ? 15 : 28;
  const std::size_t kept = japanese ? 11 : 24;
  if (CharacterCount(full) >= limit) {
    caption = FirstCharacters(full, kept) + "...";
    toolTip = std::move(full);
  } else {
    caption = std::move(full);
    toolTip.clear();
  }
}

void CustomizePaneController::DrawControlsInTree(const PPDTree& tree) {
  entries_.clear();
  editingTag_ = -1;
  lastAccepted_.clear();
  const std::size_t n = tree.shortcuts.size();
  paneHeight_ = PaneHeightFor(n);
  int y = paneHeight_;
  int slot = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const PPDTreeShortcut& shortcut = tree.shortcuts[i];
    PPDXControl* control = ppd_.GetPPDXControlForKey(shortcut.keyword);
    if (control == nullptr) continue;
    const CNTL_TYPE type = control->Type();
    if (type != kPopupControl && type != kBooleanControl && type != kJobNoteControl) continue;

    PaneEntry entry;
    entry.tag = static_cast<int>(i);
    entry.keyword = shortcut.keyword;
    entry.control = control;
    const int x = slot % 2 == 0 ? 10 : 260;
    MakeCaption(control->CFStringUserName(), japanese_, entry.caption, entry.toolTip);
    entry.captionFrame = {x + 40, y - 30, 175, 20};
    entry.iconFrame = {x, y - 60, 30, 30};
    if (type == kJobNoteControl) {
      auto* note = static_cast<PPDXJobNote*>(control);
      entry.kind = note->IsPassword() ? PaneEntryKind::kSecureTextField : PaneEntryKind::kTextField;
      entry.controlFrame = {x + 40, y - 60, 160, 25};
      entry.text = note->CopyNotes().value_or("");
      entry.maxLength = note->MaxLength();
    } else if (type == kPopupControl) {
      auto* popup = static_cast<PPDXPopupControl*>(control);
      entry.kind = PaneEntryKind::kPopup;
      entry.controlFrame = {x + 40, y - 60, 150, 30};
      for (_PopupItem* item = popup->FirstItem(); item != nullptr; item = popup->NextItem()) {
        PaneItem pi;
        pi.keyword = item->Keyword() != nullptr ? item->Keyword() : "";
        pi.text = item->LocalizedName().value_or(pi.keyword);
        entry.items.push_back(std::move(pi));
      }
      entry.selected = static_cast<int>(popup->GetValue()) - 1;
      if (entry.keyword == "*PageSize" && !customPaper_.empty()) {
        auto it = std::find_if(entry.items.begin(), entry.items.end(),
                               [&](const PaneItem& item) { return item.text == customPaper_; });
        if (it == entry.items.end()) {
          entry.items.push_back(PaneItem{"", customPaper_, true});
          it = entry.items.end() - 1;
        }
        entry.selected = static_cast<int>(it - entry.items.begin());
        entry.enabled = false;
      }
    } else {
      entry.kind = PaneEntryKind::kCheckBox;
      entry.controlFrame = {x + 40, y - 70, 200, 40};
      entry.on = static_cast<PPDXBooleanControl*>(control)->IsTrue();
    }
    UpdateIcon(entry);
    entries_.push_back(std::move(entry));
    if (slot % 2 == 1) y -= kRowHeight;
    ++slot;
  }
  RecheckConstraints();
}

const PaneEntry* CustomizePaneController::EntryForTag(int tag) const {
  for (const PaneEntry& entry : entries_) {
    if (entry.tag == tag) return &entry;
  }
  return nullptr;
}

PaneEntry* CustomizePaneController::MutableEntry(int tag) {
  return const_cast<PaneEntry*>(EntryForTag(tag));
}

// --- the user's actions --------------------------------------------------------------------------

bool CustomizePaneController::ChoosePopupItem(int tag, int index) {
  PaneEntry* entry = MutableEntry(tag);
  if (entry == nullptr || entry->kind != PaneEntryKind::kPopup || !entry->enabled || index < 0 ||
      static_cast<std::size_t>(index) >= entry->items.size() ||
      !entry->items[static_cast<std::size_t>(index)].enabled ||
      entry->items[static_cast<std::size_t>(index)].keyword.empty()) {
    return false;
  }
  static_cast<PPDXPopupControl*>(entry->control)->SetValue(index + 1);
  entry->selected = index;
  UpdateIcon(*entry);
  AfterChange();
  return true;
}

bool CustomizePaneController::SetCheckBox(int tag, bool on) {
  PaneEntry* entry = MutableEntry(tag);
  if (entry == nullptr || entry->kind != PaneEntryKind::kCheckBox || !entry->enabled) return false;
  static_cast<PPDXBooleanControl*>(entry->control)->SetValue(on);
  entry->on = on;
  UpdateIcon(*entry);
  AfterChange();
  return true;
}

void CustomizePaneController::BeginEditing(int tag) {
  const PaneEntry* entry = EntryForTag(tag);
  if (entry == nullptr) return;
  editingTag_ = tag;
  lastAccepted_ = entry->text;
}

CustomizePaneController::TextResult CustomizePaneController::TextDidChange(int tag,
                                                                           std::string_view typed) {
  PaneEntry* entry = MutableEntry(tag);
  if (entry == nullptr || (entry->kind != PaneEntryKind::kTextField &&
                           entry->kind != PaneEntryKind::kSecureTextField)) {
    return {std::string(typed), false};
  }
  auto* note = static_cast<PPDXJobNote*>(entry->control);
  if (editingTag_ != tag) BeginEditing(tag);
  std::string text = FilterText(*note, typed);
  if (ExceedsMaxLength(*note, text) || !note->AcceptsValue(text)) {
    // Refused as a whole: the field goes back to the last accepted text.
    return {lastAccepted_, true};
  }
  const bool changed = text != typed;
  note->SetCurrentControlWithCFString(text);
  entry->text = text;
  lastAccepted_ = text;
  AfterChange();
  return {std::move(text), changed};
}

void CustomizePaneController::AfterChange() { RecheckConstraints(); }

void CustomizePaneController::RecheckConstraints() {
  UI_PopupControl(ppd_, data_).checkPopupConstraints(entries_, entries_.size());
  UI_CheckBoxControl(ppd_).checkCheckBoxConstraints(entries_, entries_.size());
}

std::string CustomizePaneController::ForbiddingChoiceFor(const PPDXControl* control,
                                                         const std::string& choice) const {
  const char* key = control->Keyword();
  if (!ppd_.IsKVConstrained(key, choice.c_str())) return {};
  PPDXControls* controls = ppd_.GetControls();
  if (controls == nullptr) return {};
  // Collected first: trying choices moves the controls' own cursors.
  std::vector<PPDXControl*> candidates;
  CNTL_TYPE type = kBaseControl;
  for (PPDXControl* c = controls->First(type); c != nullptr; c = controls->Next(type)) {
    if (c != control && c->Keyword() != nullptr &&
        (type == kPopupControl || type == kBooleanControl)) {
      candidates.push_back(c);
    }
  }
  for (PPDXControl* other : candidates) {
    const std::optional<std::string> saved = other->CopyCurrentControlValueString();
    if (!saved) continue;
    bool frees = false;
    for (const std::string& alternative : ChoicesOf(other)) {
      if (alternative == *saved || alternative.empty()) continue;
      other->SetCurrentControlWithCFString(alternative);
      frees = !ppd_.IsKVConstrained(key, choice.c_str());
      if (frees) break;
    }
    other->SetCurrentControlWithCFString(*saved);
    if (frees) return std::string(other->Keyword()) + "=" + *saved;
  }
  return {};
}

std::string CustomizePaneController::ForbiddingChoice(int tag, int index) const {
  const PaneEntry* entry = EntryForTag(tag);
  if (entry == nullptr || entry->kind != PaneEntryKind::kPopup || index < 0 ||
      static_cast<std::size_t>(index) >= entry->items.size()) {
    return {};
  }
  const std::string& choice = entry->items[static_cast<std::size_t>(index)].keyword;
  if (choice.empty()) return {};
  return ForbiddingChoiceFor(entry->control, choice);
}

std::string CustomizePaneController::ForbiddingChoiceOfCheckBox(int tag) const {
  const PaneEntry* entry = EntryForTag(tag);
  if (entry == nullptr || entry->kind != PaneEntryKind::kCheckBox) return {};
  return ForbiddingChoiceFor(entry->control, entry->on ? "False" : "True");
}

void CustomizePaneController::GreyoutShortcutControls(bool grey) {
  for (PaneEntry& entry : entries_) entry.enabled = !grey;
  if (!grey) RecheckConstraints();
}

// --- job-note character rules --------------------------------------------------------------------

bool CustomizePaneController::IsValidKey(const PPDXJobNote& note, char32_t c) {
  return c != kReplacement && JobNoteAcceptsCharacter(note.Flags(), c);
}

bool CustomizePaneController::ExceedsMaxLength(const PPDXJobNote& note, std::string_view text) {
  return note.MaxLength() > 0 && CharacterCount(text) > static_cast<std::size_t>(note.MaxLength());
}

std::string CustomizePaneController::FilterText(const PPDXJobNote& note, std::string_view text) {
  std::string out;
  for (char32_t c : DecodeUTF8(text)) {
    if (IsValidKey(note, c)) AppendUTF8(out, c);
  }
  return out;
}
