#include "panel/PopupJobNoteWindow.h"

#include "PPDX/KRTPPD.h"
#include "PPDX/PPDObjects/Controls/PPDXJobNote.h"
#include "PPDX/PPDObjects/Controls/PPDXPopupControl.h"
#include "PPDX/PPDObjects/PPDXControls.h"
#include "foundation/ProcessGlobals.h"
#include "platform/Log.h"

namespace quill {
namespace {

// Length of the UTF-8 sequence starting at `text[at]`; 0 when no valid sequence starts there.
std::size_t SequenceLength(std::string_view text, std::size_t at) {
  const auto lead = static_cast<unsigned char>(text[at]);
  std::size_t length = 0;
  char32_t value = 0;
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    value = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    value = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    value = lead & 0x07;
  } else {
    return 0;
  }
  if (at + length > text.size()) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    const auto next = static_cast<unsigned char>(text[at + i]);
    if ((next & 0xC0) != 0x80) return 0;
    value = (value << 6) | (next & 0x3F);
  }
  // Overlong forms, surrogates and values above U+10FFFF are not characters.
  if ((length == 3 && value < 0x800) || (length == 4 && value < 0x10000) || value > 0x10FFFF ||
      (value >= 0xD800 && value <= 0xDFFF)) {
    return 0;
  }
  return length;
}

PPDXPopupControl* AccountSetting(KRTPPD& ppd) {
  if (ppd.GetControls() == nullptr) return nullptr;
  return dynamic_cast<PPDXPopupControl*>(
      ppd.GetControls()->FindPopup(PopupJobNoteWindow::kAccountSettingKey, true));
}

PopupJobNotePresenter* gPresenter = nullptr;

}  // namespace

std::string PopupJobNoteWindow::CutText(std::string_view text, std::size_t maxCharacters,
                                        std::size_t maxBytes) {
  std::size_t at = 0;
  std::size_t characters = 0;
  while (at < text.size()) {
    if (maxCharacters > 0 && characters == maxCharacters) break;
    const std::size_t length = SequenceLength(text, at);
    if (length == 0 || at + length > maxBytes) break;
    at += length;
    ++characters;
  }
  return std::string(text.substr(0, at));
}

PopupJobNoteWindow::PopupJobNoteWindow(KRTPPD& ppd, std::vector<PPDXJobNote*> notes,
                                       std::string title)
    : ppd_(ppd), title_(title.empty() ? kDefaultTitle : std::move(title)) {
  for (PPDXJobNote* note : notes) {
    if (note == nullptr || notes_.size() == kMaxFields) continue;
    notes_.push_back(note);
    PopupJobNoteField field;
    field.keyword = note->Keyword() != nullptr ? note->Keyword() : "";
    field.label = note->CFStringUserName();
    field.text = note->CopyNotes().value_or(kUnshowableText);
    field.secure = note->IsPassword();
    field.required = note->IsRequired() || note->MinLength() > 0;
    field.maxLength = note->MaxLength();
    fields_.push_back(std::move(field));
  }
}

std::string PopupJobNoteWindow::SetFieldText(std::size_t slot, std::string_view typed) {
  if (slot >= fields_.size()) return std::string(typed);
  PopupJobNoteField& field = fields_[slot];
  const std::size_t limit = field.maxLength > 0 ? static_cast<std::size_t>(field.maxLength) : 0;
  field.text = CutText(typed, limit, typed.size());
  return field.text;
}

bool PopupJobNoteWindow::HasAlways() const { return AccountSetting(ppd_) != nullptr; }

bool PopupJobNoteWindow::AlwaysOn() const {
  PPDXPopupControl* setting = AccountSetting(ppd_);
  return setting != nullptr && setting->GetValue() == 2;
}

void PopupJobNoteWindow::Always() {
  PPDXPopupControl* setting = AccountSetting(ppd_);
  if (setting == nullptr) return;
  const long value = setting->GetValue() == 2 ? 2 : 1;
  setting->SetValue(3 - value);
}

bool PopupJobNoteWindow::OK(std::string* why) {
  if (state_ != State::kOpen) return false;
  // Every field is checked before any note changes, so a refusal leaves the notes as they were.
  std::vector<std::string> texts;
  for (std::size_t k = 0; k < fields_.size(); ++k) {
    std::string text = CutText(fields_[k].text, 0, kMaxTextBytes);
    if (text == kUnshowableText) text.clear();
    if (fields_[k].required && text.empty()) {
      if (why != nullptr) *why = fields_[k].label + " needs a text";
      return false;
    }
    std::string refused;
    if (!text.empty() && !notes_[k]->AcceptsValue(text, &refused)) {
      if (why != nullptr) *why = fields_[k].label + ": " + refused;
      return false;
    }
    texts.push_back(std::move(text));
  }
  PopupJobNotePrefs& prefs = Globals().popupJobNotePrefs;
  for (std::size_t k = 0; k < fields_.size(); ++k) {
    PPDXJobNote* note = notes_[k];
    note->SetCurrentControlWithCFString(texts[k]);
    for (int j = 0; j < 5; ++j) {
      if (!prefs.noteKeywords[j].empty() && prefs.noteKeywords[j] == fields_[k].keyword) {
        prefs.savedTexts[j] = texts[k];
      }
    }
    fields_[k].text.clear();
  }
  state_ = State::kConfirmed;
  return true;
}

void PopupJobNoteWindow::Cancel() {
  if (state_ == State::kOpen) state_ = State::kCancelled;
}

HeadlessPopupJobNotePresenter::HeadlessPopupJobNotePresenter(Answer answer,
                                                             std::vector<std::string> texts,
                                                             bool pressAlways)
    : answer_(answer), texts_(std::move(texts)), pressAlways_(pressAlways) {}

bool HeadlessPopupJobNotePresenter::Run(PopupJobNoteWindow& window) {
  if (answer_ == Answer::kCannotAsk) return false;
  Shown shown;
  shown.title = window.Title();
  shown.fields = window.Fields();
  if (pressAlways_) window.Always();
  for (std::size_t k = 0; k < texts_.size() && k < window.Fields().size(); ++k) {
    shown.typed.push_back(window.SetFieldText(k, texts_[k]));
  }
  bool answered = true;
  if (answer_ == Answer::kOK) {
    answered = window.OK(&shown.refusal);
  } else {
    window.Cancel();
  }
  shown_.push_back(std::move(shown));
  return answered;
}

PopupJobNotePresenter& CurrentPopupJobNotePresenter() {
  static HeadlessPopupJobNotePresenter cannotAsk;
  return gPresenter != nullptr ? *gPresenter : cannotAsk;
}

void SetPopupJobNotePresenter(PopupJobNotePresenter* presenter) { gPresenter = presenter; }

}  // namespace quill
