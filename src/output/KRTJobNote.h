// KRTJobNote: one job note of the PPD as the job-note output sees it: the note control, whether
// it is switched on, and its place in the table of special note keywords whose text is written
// as a header comment line of the job.
#pragma once

#include <string>

#include "foundation/PtrLinkList.h"

class PPDXJobNote;

class KRTJobNote : public LinkElement_Dual {
 public:
  // Rows of the special keyword table (the row index is the note's special index).
  static constexpr short kSpecialCount = 9;
  static constexpr short kUserAuthName = 6;      // "*KRUserAuthName": no header line of its own
  static constexpr short kUserAuthPassword = 7;  // "*KRUserAuthPwd": the packed token

  // With `useDefaults` the note is switched on, otherwise it keeps its own notes-on value; the
  // value is written back to the note. Constructing with `useDefaults` false also marks the
  // user-authentication name as initialised (process-wide; see JobNoteOutputState). `note` is
  // not owned and must outlive this element.
  KRTJobNote(PPDXJobNote* note, bool useDefaults);
  ~KRTJobNote() override;

  [[nodiscard]] PPDXJobNote* Note() const { return note_; }
  [[nodiscard]] bool NotesOn() const { return notesOn_; }
  [[nodiscard]] bool Ready() const { return ready_; }

  // The note's keyword, display name and text ("" when it has none).
  [[nodiscard]] std::string Keyword() const;
  [[nodiscard]] std::string Title() const;
  [[nodiscard]] std::string UserData() const;

  // The same into a buffer of `size` bytes (cut to fit, NUL-terminated; nothing written for a
  // null buffer or a size of 0). They return the full length plus one, so a caller can size its
  // buffer; getUserData returns 0 for no or empty text. Lengths are not cut to 16 bits.
  long getKeyword(char* out, size_t size) const;
  long getTitle(char* out, size_t size) const;
  long getUserData(char* out, size_t size) const;

  // True with the row index in *index when the keyword is in the special table; otherwise false
  // and -1. `index` may be null.
  bool specialKeyword(short* index) const;
  // The header written before a special note's value ("%%KRTCustom1: "...); "" for the
  // user-authentication name and for indexes outside the table.
  [[nodiscard]] static const char* SpecialHeader(short index);
  // The keyword of a row of the special table; null outside it.
  [[nodiscard]] static const char* SpecialKeyword(short index);

  // For a note with two-character fields, whether `text` has no run of more than two digits
  // (validateRangeValues(text, 2)); true for every other note and for a null text.
  [[nodiscard]] bool checkRangeValues(const char* text) const;

 private:
  PPDXJobNote* note_;  // not owned
  bool notesOn_ = false;
  bool ready_ = false;
};
