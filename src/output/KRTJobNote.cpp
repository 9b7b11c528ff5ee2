#include "output/KRTJobNote.h"

#include <algorithm>
#include <cstring>

#include "PPDX/PPDObjects/Controls/PPDXJobNote.h"
#include "foundation/CStringUtils.h"
#include "output/KRTJobNoteList.h"

namespace {

struct SpecialRow {
  const char* keyword;
  const char* header;
};

// The special note keywords; a row's index is the note's special index.
constexpr SpecialRow kSpecialRows[KRTJobNote::kSpecialCount] = {
    {"*Notes1", "%%KRTCustom1: "},        {"*Notes2", "%%KRTCustom2: "},
    {"*Instruct", "%%KRTCustom3: "},      {"*Notes3", "%%KRTCustom4: "},
    {"*Resume", "%%PersPassword: "},      {"*DeptPassword", "%%DeptPassword: "},
    {"*KRUserAuthName", ""},              {"*KRUserAuthPwd", "%%KRTUATag: "},
    {"*KRTPrintTime", "%%KRTPrintTime: "},
};

long copy_out(const std::string& text, char* out, size_t size) {
  if (out != nullptr && size > 0) {
    const size_t length = std::min(text.size(), size - 1);
    std::memcpy(out, text.data(), length);
    out[length] = '\0';
  }
  return static_cast<long>(text.size()) + 1;
}

}  // namespace

KRTJobNote::KRTJobNote(PPDXJobNote* note, bool useDefaults) : note_(note) {
  if (note_ != nullptr) {
    notesOn_ = useDefaults ? true : note_->GetNotesOnValue();
    note_->SetNotesOnValue(notesOn_);
  }
  if (!useDefaults) JobNoteOutput().userAuthNameInitialised = true;
  ready_ = true;
}

KRTJobNote::~KRTJobNote() = default;

std::string KRTJobNote::Keyword() const {
  const char* keyword = note_ != nullptr ? note_->Keyword() : nullptr;
  return keyword != nullptr ? keyword : "";
}

std::string KRTJobNote::Title() const {
  return note_ != nullptr ? note_->CFStringUserName() : std::string();
}

std::string KRTJobNote::UserData() const {
  const char* text = note_ != nullptr ? note_->GetNotes() : nullptr;
  return text != nullptr ? text : "";
}

long KRTJobNote::getKeyword(char* out, size_t size) const { return copy_out(Keyword(), out, size); }

long KRTJobNote::getTitle(char* out, size_t size) const { return copy_out(Title(), out, size); }

long KRTJobNote::getUserData(char* out, size_t size) const {
  const std::string text = UserData();
  if (text.empty()) return 0;
  return copy_out(text, out, size);
}

bool KRTJobNote::specialKeyword(short* index) const {
  const std::string keyword = Keyword();
  for (short row = 0; row < kSpecialCount; ++row) {
    if (keyword == kSpecialRows[row].keyword) {
      if (index != nullptr) *index = row;
      return true;
    }
  }
  if (index != nullptr) *index = -1;
  return false;
}

const char* KRTJobNote::SpecialHeader(short index) {
  return index >= 0 && index < kSpecialCount ? kSpecialRows[index].header : "";
}

const char* KRTJobNote::SpecialKeyword(short index) {
  return index >= 0 && index < kSpecialCount ? kSpecialRows[index].keyword : nullptr;
}

bool KRTJobNote::checkRangeValues(const char* text) const {
  if (note_ == nullptr || text == nullptr || !note_->IsTwoCharFields()) return true;
  return validateRangeValues(text, 2) != 0;
}
