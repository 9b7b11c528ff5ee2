// PPDXJobNote: a free-text option of the PPD ("*%KRTJobNote"), filled in by the user for the job:
// a note, an account or department code, a password, a user name. Its flags say which characters
// it takes, whether it is a password, whether it is enciphered on output and whether it belongs
// to the pop-up job notes. The text is kept as 8-bit text (Mac Roman, Shift-JIS or the system
// encoding, as the server's UTF-8 level and the job-notes language decide); display strings are
// UTF-8.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "PPDX/PPDObjects/Controls/PPDXControl.h"
#include "PPDX/PPDObjects/Controls/PPDXJobNoteFlags.h"

class PPDXJobNote : public PPDXControl {
 public:
  // The longest text, in bytes, that goes into the note's PostScript code or comment line.
  static constexpr size_t kMaxPostScriptText = 511;

  // `keyword`, `localizedName`, `controlFlags`, `code` (malloc'd, owned from now on; may be null)
  // and `codeLength` (below 0 counts as 0) go to PPDXControl. The note takes ownership of `notes`
  // (made with new; may be null) as its current text and starts its default text as a copy of
  // it; the preset string is that text read in the system encoding (none when there is no text
  // or it cannot be read). `language` is neither used nor kept; the caller still owns it.
  PPDXJobNote(char const* keyword, std::string localizedName, PointerList& controlFlags,
              unsigned char* code, long codeLength, CString* notes, CString* language, bool visible,
              long maxLength, JobNoteFlag const& flags, long minLength);
  ~PPDXJobNote() override;

  // With options 0 and 1 (hidden elements not included) the note's visibility; true otherwise.
  // Whether the note has a parent does not count.
  [[nodiscard]] bool OkayToDisplay(_DISPLAY_OPTIONS_ const& options) const override;

  // The current text; null when none has been set.
  [[nodiscard]] char const* GetNotes() const;
  // The text a reset restores; null when there is none.
  [[nodiscard]] char const* GetDefaultNotes() const;
  // Replaces the current text by a copy of `text` (null leaves no text) and drops the cached
  // PostScript. The preset string is not changed: it follows only the strings set through
  // SetCurrentControlWithCFString.
  void SetNotes(char const* text);
  // Replaces the current text by the bytes of the UTF-8 string as they are, and drops the cached
  // PostScript.
  void SetUTF8Notes(std::string const& utf8);
  // Replaces the default text by a copy of `text` (null leaves none).
  void SetDefaultNotes(char const* text);

  // The current text as a display string: read as Shift-JIS when the job-notes language is
  // Japanese, else in the system encoding when the server's UTF-8 level is below 5, else as
  // UTF-8. "" when there is no text; nullopt when the bytes are not valid in that encoding.
  [[nodiscard]] std::optional<std::string> CopyNotes() const;
  [[nodiscard]] std::optional<std::string> CopyCurrentControlValueString() override {
    return CopyNotes();
  }
  // Keeps `value` as the preset string, drops the cached PostScript and makes the current text
  // the 8-bit form of `value` (CString's display-text conversion; "" when it cannot convert).
  void SetCurrentControlWithCFString(std::string const& value) override;
  // Accepts plain text that the note takes as typed: valid UTF-8 without control characters
  // (C0, DEL, C1), at most MaxLength() characters (when that is above 0), every character one
  // that the note's flags accept
  // (JobNoteAcceptsCharacter), and representable in the encoding the note keeps its text in.
  // Refusals: kValueNotText, kValueTooLong, kValueCharacterRefused (the phrase quotes the first
  // refused character).
  [[nodiscard]] ValueRefusal CheckValue(std::string const& value, std::string* why) const override;

  // The preset string enciphered with the preset pass phrase (Base64 text); nullopt when there
  // is no preset string or enciphering fails. The plain-text keywords (*KRSimulation,
  // *KROutProfile, *KRRGBOverride, *KRControlBar, *KRSpotPriority, *KRGrayOverride) give their
  // preset string as it is, the form SetPresetValueString reads back for them.
  [[nodiscard]] std::optional<std::string> CopyPresetValueString() override;
  // For the plain-text keywords sets `value` as it is; for every other note deciphers it with
  // the preset pass phrase and sets the result. A value that does not decipher changes nothing.
  void SetPresetValueString(std::string const& value) override;

  // Restores the default text. When the pop-up job notes are set up and none exists, that is
  // all; otherwise, while the Defaults button reset runs, a pop-up note first loses its default
  // text for good, so pressing Defaults leaves it empty.
  void ResetToDefaultValue() override;

  // The feature block of the note into `buffer` (null: only the size), returning its byte count:
  // 0 without text or keyword. The note's code (PPD code with the text substituted, or the
  // comment line of BuildPDLString) is made from at most the first 511 bytes of the text on the
  // first call after the text changed and kept until it changes again; the choice text of the
  // block is the whole text. Without memory for that code the block carries a single line feed.
  long PostScript(unsigned char* buffer) override;

  // Makes the note's code for a note without PPD code: one comment line with `text` (null reads
  // as ""), by the first matching row: flag "Resume" "%%PersPassword: ", flag "Member"
  // "%%DeptPassword: ", keyword "*Notes1" "%%KRTCustom1: ", "*Notes2" "%%KRTCustom2: ",
  // "*Instruc" "%%KRTCustom3: "; any other note gets "%%EmptyOption\n" and an empty line.
  void BuildPDLString(char const* text);

  // Flag bit 25. When it is set, also records process-wide that a pop-up job note exists,
  // logging "At least one PUJN found !!!!!!!!" the first time.
  [[nodiscard]] bool IsPopupJN() const;

  // Whether the note is switched on for output (kept for the job-note output).
  void SetNotesOnValue(bool on) { notesOn_ = on; }
  [[nodiscard]] bool GetNotesOnValue() const { return notesOn_; }
  [[nodiscard]] long MaxLength() const { return maxLength_; }
  // From the flag word "MinLength" with its number; negative values mark a malformed word.
  [[nodiscard]] long MinLength() const { return minLength_; }
  [[nodiscard]] JobNoteFlag Flags() const { return flags_; }

  [[nodiscard]] bool IsAlpha() const { return Has(kJobNoteAlpha); }
  [[nodiscard]] bool IsNumeric() const { return Has(kJobNoteNumeric); }
  [[nodiscard]] bool IsDecimal() const { return Has(kJobNoteDecimal); }
  [[nodiscard]] bool IsRequired() const { return Has(kJobNoteRequired); }
  [[nodiscard]] bool Remember() const { return Has(kJobNoteRemembered); }
  [[nodiscard]] bool IsPassword() const { return Has(kJobNotePassword); }
  [[nodiscard]] bool AlwaysDisplay() const { return Has(kJobNoteAlwaysDisplay); }
  [[nodiscard]] bool Resume() const { return Has(kJobNoteResume); }
  [[nodiscard]] bool IsMember() const { return Has(kJobNoteMember); }
  [[nodiscard]] bool IsOnOffSwitch() const { return Has(kJobNoteOnOffSwitch); }
  [[nodiscard]] bool IsLengthReq() const { return Has(kJobNoteLengthReq); }
  [[nodiscard]] bool IsSecPrint() const { return Has(kJobNoteSecPrint); }
  [[nodiscard]] bool IsSpace() const { return Has(kJobNoteSpace); }
  [[nodiscard]] bool IsNegative() const { return Has(kJobNoteNegative); }
  [[nodiscard]] bool IsEncrypt() const { return Has(kJobNoteEncrypt); }
  [[nodiscard]] bool IsMultiSpace() const { return Has(kJobNoteMultiSpace); }
  [[nodiscard]] bool IsMultiComma() const { return Has(kJobNoteMultiComma); }
  [[nodiscard]] bool IsLCD() const { return Has(kJobNoteLCD); }
  [[nodiscard]] bool IsHyphen() const { return Has(kJobNoteHyphen); }
  [[nodiscard]] bool IsTwoCharFields() const { return Has(kJobNoteTwoCharField); }
  [[nodiscard]] bool IsNoComma() const { return Has(kJobNoteNoComma); }
  [[nodiscard]] bool IsUTF8() const { return Has(kJobNoteUTF8); }
  [[nodiscard]] bool IsAESEncrypt() const { return Has(kJobNoteAESEncrypt); }
  // True when no character flag (Alpha, Numeric, Decimal, Space, Negative, MultiSpace,
  // MultiComma) is set: the note accepts any character.
  [[nodiscard]] bool IsAnyText() const { return JobNoteFlagsAllowAnyText(flags_); }

 private:
  [[nodiscard]] bool Has(JobNoteFlag flag) const { return (flags_ & flag) != 0; }
  [[nodiscard]] bool IsPlainPresetKeyword() const;
  void DropPostScript() { postScript_.reset(); }

  std::unique_ptr<CString> notes_;          // current text; null before any is set
  std::optional<std::string> notesString_;  // preset string: the last text set from a string
  long maxLength_;                          // longest text the pane lets the user type
  long minLength_;                          // from the flag word "MinLength<n>"
  JobNoteFlag flags_;
  std::unique_ptr<CString> defaultNotes_;  // *%Default... value; what a reset restores
  bool notesOn_ = false;
  std::optional<std::string> postScript_;  // the note's code, made on first output
};

// Flat functions over an untyped control. A null control, or one that is not a job note, gives
// false, 0 or null; setters then do nothing.
extern "C" {
bool IsJobNoteControl(void* control);
char const* GetJobNoteNotes(void* note);
char const* GetJobNoteDefaultNotes(void* note);
void SetJobNoteNotes(void* note, char const* text);
// `utf8` null does nothing.
void SetJobNoteUTF8Notes(void* note, char const* utf8);
void SetJobNoteDefaultNotes(void* note, char const* text);
// CopyNotes as a new malloc'd UTF-8 string (the caller frees it); null when it gives none.
char* CopyJobNoteNotes(void* note);
bool GetJobNoteNotesOn(void* note);
void SetJobNoteNotesOn(void* note, bool on);
long GetJobNoteMaxLength(void* note);
long GetJobNoteMinLength(void* note);
uint32_t GetJobNoteFlags(void* note);
bool IsJobNoteAlpha(void* note);
bool IsJobNoteNumeric(void* note);
bool IsJobNoteDecimal(void* note);
bool IsJobNoteRequired(void* note);
bool IsJobNoteRemembered(void* note);
bool IsJobNotePassword(void* note);
bool IsJobNoteAlwaysDisplay(void* note);
bool IsJobNoteResume(void* note);
bool IsJobNoteMember(void* note);
bool IsJobNoteOnOffSwitch(void* note);
bool IsJobNoteLengthReq(void* note);
bool IsJobNoteSecPrint(void* note);
bool IsJobNoteSpace(void* note);
bool IsJobNoteNegative(void* note);
bool IsJobNoteEncrypt(void* note);
bool IsJobNoteMultiSpace(void* note);
bool IsJobNoteMultiComma(void* note);
bool IsJobNoteLCD(void* note);
bool IsJobNoteHyphen(void* note);
bool IsJobNoteTwoCharFields(void* note);
bool IsJobNoteNoComma(void* note);
bool IsJobNoteUTF8(void* note);
bool IsJobNoteAESEncrypt(void* note);
bool IsJobNotePopupJN(void* note);
bool IsJobNoteAnyText(void* note);
}
