// KRTJobNoteList: the job notes of a PPD at print time, and the writer of their pieces into the
// job ticket: two layout header lines for the filter, one header comment line per special note
// (some enciphered, the user-authentication password as a packed token) and a feature block per
// note that has PPD code.
//
// No text reaches the ticket raw where it could end its line or its PostScript string: a note
// whose text holds a control character is refused, "/:" in the user-authentication name is
// doubled wherever it occurs, and the whole output is added to the ticket only when every piece
// could be made. Enciphered notes need the key file (KeyMaterial); without it the note is refused,
// never sent in plain text.
#pragma once

#include <string>
#include <string_view>
#include <optional>

#include "foundation/PtrLinkList.h"
#include "output/KRTJobNote.h"

class KRTJobTicket;
class KRTPPD;
namespace quill {
class PrintSettings;
}

// The process-wide state the job-note output reads and keeps, beside the pop-up job-note flags of
// the panel (ProcessGlobals).
struct JobNoteOutputState {
  // The pop-up job notes forbid UTF-8 (set by the pop-up handling).
  bool popupNoUTF8 = false;
  // The user-authentication name was initialised for this print: an empty name then stays empty
  // instead of becoming the login user's full name.
  bool userAuthNameInitialised = false;
};
JobNoteOutputState& JobNoteOutput();
void ResetJobNoteOutput();

// Converts `text` from the application's text encoding to UTF-8; nullopt when it cannot.
[[nodiscard]] std::optional<std::string> ConvertTextFromApplicationToUTF8(std::string_view text);

// The user-authentication name as the server reads it: every "/:" becomes "/:/:" (wherever it
// occurs); everything else is kept.
[[nodiscard]] std::string EscapeUserAuthName(std::string_view name);

// True when `text` has a byte that would end or break a line or a string of the job: C0 control
// characters (tab included) and DEL.
[[nodiscard]] bool HasControlCharacter(std::string_view text);

class KRTJobNoteList : public PtrLinkList {
 public:
  // outInjectionData statuses.
  static constexpr int kStatusOk = 0;
  static constexpr int kStatusNoTicket = -50;
  static constexpr int kStatusNoMemory = -108;
  // A note could not be written safely: a control character, a missing key, a text too long to
  // encipher, a token that could not be made. LastError() says which note and why.
  static constexpr int kStatusRefused = -1;

  // Orientations.
  static constexpr int kPortrait = 1;
  static constexpr int kLandscape = 2;
  static constexpr int kReversePortrait = 3;
  static constexpr int kReverseLandscape = 4;

  // Print-settings entries of the layout.
  static constexpr char kLayoutNUpKey[] = "com.apple.print.PrintSettings.PMLayoutNUp";
  static constexpr char kLayoutRowsKey[] = "com.apple.print.PrintSettings.PMLayoutRows";
  static constexpr char kLayoutColumnsKey[] = "com.apple.print.PrintSettings.PMLayoutColumns";

  // Blocks up to this size are made in a fixed buffer, larger ones in a new one.
  static constexpr long kFixedBlockSize = 5120;

  // The job notes of `ppd` (not owned; may be null) in tree order, but "*KRControlBar". Reads the
  // UTF-8 version (special option "*KRUTF8_Version") and, from version 3, turns the texts of
  // "*KRMailboxName" and "*KRVDPFilePath" into UTF-8 where the pop-up state allows it.
  // `orientation` is the page format's (1 to 4).
  KRTJobNoteList(KRTPPD* ppd, bool useDefaults, int orientation = kPortrait);
  ~KRTJobNoteList() override;

  [[nodiscard]] bool Empty() const { return empty_; }
  [[nodiscard]] int Orientation() const { return orientation_; }
  void SetOrientation(int orientation) { orientation_ = orientation; }
  [[nodiscard]] int UTF8Version() const { return utf8Version_; }

  // The element whose note has exactly this keyword; null when none or for null.
  [[nodiscard]] KRTJobNote* find(const char* keyword) const;

  // Writes the layout lines (site 504), the special notes' header lines (site 30) and the notes'
  // feature blocks (site 81) into `ticket`, reading the N-up layout from `settings` (may be null).
  // All or nothing: on any failure nothing is added, the status says what kind and LastError()
  // which note and why. kStatusNoTicket for a null ticket. Clears the user-authentication mark.
  int outInjectionData(KRTJobTicket* ticket, const quill::PrintSettings* settings);
  [[nodiscard]] const std::string& LastError() const { return error_; }

  // Enciphers `text` for `note` (DES, or AES-256-CBC as the PPD's "*UseSpecialAlgorithm" or the
  // note's AES flag asks; key and vector chosen by "*UseSpecialKey") and returns upper-case hex.
  // nullopt, with the reason in *error, when the key file lacks the job-note keys or vectors or
  // the text is too long for the AES form. Every cipher byte is written: the result is as long as
  // the cipher needs, never cut and never past a buffer.
  [[nodiscard]] std::optional<std::string> encryptNote(const KRTJobNote& note,
                                                       std::string_view text,
                                                       std::string* error) const;

  // Offsets into the key table and the vector table for a "*UseSpecialKey" value (absent or not
  // in the table: 0 and 0).
  struct KeyOffsets {
    int key;
    int vector;
  };
  [[nodiscard]] static KeyOffsets SpecialKeyOffsets(const char* useSpecialKey);

 private:
  [[nodiscard]] const char* SpecialOptionValue(const char* keyword) const;

  KRTPPD* ppd_;  // not owned
  int orientation_;
  int utf8Version_ = 0;
  bool empty_ = true;
  std::string error_;
};
