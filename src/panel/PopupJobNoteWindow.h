// PopupJobNoteWindow: the account prompt that runs at print time when the queue asks for account
// codes (pop-up job notes): one row per note with its label, its text, whether the field hides
// what is typed (password and PIN notes) and the note's own length limit, and the buttons OK,
// Always and Cancel. PopupJobNotePresenter shows it; a front end implements the presenter, and
// HeadlessPopupJobNotePresenter answers from a script (tests, the command line).
//
// Typed text is cut to the note's limit on a character boundary. OK refuses to close while a
// required note has no text, so a required account code is never sent empty.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class KRTPPD;
class PPDXJobNote;

namespace quill {

struct PopupJobNoteField {
  std::string keyword;    // the note's keyword ("*KRAccount")
  std::string label;      // the note's display name
  std::string text;       // what the field shows (UTF-8)
  bool secure = false;    // password or PIN: the field hides what is typed
  bool required = false;  // OK needs a text here
  long maxLength = 0;     // longest text in characters; 0 for no limit
};

class PopupJobNoteWindow {
 public:
  static constexpr std::size_t kMaxFields = 5;
  static constexpr const char* kDefaultTitle = "Accounting";
  // Longest text OK takes from a field, in bytes of UTF-8.
  static constexpr std::size_t kMaxTextBytes = 127;
  static constexpr const char* kUnshowableText =
      "[UTF8, MacOSRoman and ASCII encodings all failed]";
  static constexpr const char* kAccountSettingKey = "*KRAccountSetting";

  enum class State { kOpen, kConfirmed, kCancelled };

  // A window for `notes` (1 to kMaxFields; more are left out) of `ppd`, titled `title`
  // (kDefaultTitle when empty). The fields show the notes' texts.
  PopupJobNoteWindow(KRTPPD& ppd, std::vector<PPDXJobNote*> notes, std::string title);

  [[nodiscard]] const std::string& Title() const { return title_; }
  [[nodiscard]] const std::vector<PopupJobNoteField>& Fields() const { return fields_; }
  [[nodiscard]] State GetState() const { return state_; }

  // The text of field `slot` (from 0) changed to `typed`: a text longer than the note's limit is
  // cut to it, on a character boundary (an invalid UTF-8 text is cut before its first bad byte).
  // Returns what the field must show; `typed` unchanged for a slot out of range.
  std::string SetFieldText(std::size_t slot, std::string_view typed);

  // Whether the Always button applies (the PPD has "*KRAccountSetting"), and its state: true
  // when the account setting is 2 (the saved codes are used without asking).
  [[nodiscard]] bool HasAlways() const;
  [[nodiscard]] bool AlwaysOn() const;
  // Always: switches "*KRAccountSetting" between its values 1 and 2.
  void Always();

  // OK: sets each note's text from its field (at most kMaxTextBytes bytes of UTF-8, cut on a
  // character boundary), keeps it as the saved text of its slot in the pop-up preferences, clears
  // the fields and ends the window. Refused (false, the window stays open, the reason in *why)
  // while a required field is empty or a note refuses its text.
  bool OK(std::string* why = nullptr);
  // Cancel: ends the window; nothing is printed.
  void Cancel();

  // `text` cut to at most `maxCharacters` characters (0: no limit) and `maxBytes` bytes, never
  // inside a UTF-8 character; an invalid sequence ends the text.
  [[nodiscard]] static std::string CutText(std::string_view text, std::size_t maxCharacters,
                                           std::size_t maxBytes);

 private:
  KRTPPD& ppd_;
  std::vector<PPDXJobNote*> notes_;
  std::vector<PopupJobNoteField> fields_;
  std::string title_;
  State state_ = State::kOpen;
};

class PopupJobNotePresenter {
 public:
  virtual ~PopupJobNotePresenter() = default;
  // Shows `window` modally until its OK or Cancel ends it. False when the user cannot be asked
  // at all (no display, no terminal); the print is then refused.
  virtual bool Run(PopupJobNoteWindow& window) = 0;
};

// Answers from a script: optionally presses Always, types the given texts into the fields (in
// order), then presses OK or Cancel. With kCannotAsk it shows nothing and answers false. When OK
// is refused, it answers false (it cannot type anything else). Records every window it ran.
class HeadlessPopupJobNotePresenter : public PopupJobNotePresenter {
 public:
  enum class Answer { kOK, kCancel, kCannotAsk };

  explicit HeadlessPopupJobNotePresenter(Answer answer = Answer::kCannotAsk,
                                         std::vector<std::string> texts = {},
                                         bool pressAlways = false);
  bool Run(PopupJobNoteWindow& window) override;

  struct Shown {
    std::string title;
    std::vector<PopupJobNoteField> fields;  // as the window showed them
    std::vector<std::string> typed;         // what the fields held when the answer was given
    std::string refusal;                    // why OK was refused; "" otherwise
  };
  [[nodiscard]] const std::vector<Shown>& ShownWindows() const { return shown_; }

 private:
  Answer answer_;
  std::vector<std::string> texts_;
  bool pressAlways_;
  std::vector<Shown> shown_;
};

// The presenter the panel uses: one that cannot ask unless one was set.
PopupJobNotePresenter& CurrentPopupJobNotePresenter();
// Installs `presenter` (not owned; it must outlive its use); null restores the default.
void SetPopupJobNotePresenter(PopupJobNotePresenter* presenter);

}  // namespace quill
