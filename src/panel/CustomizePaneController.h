// CustomizePaneController: the logic of the quick-access pane. It turns the panel tree's
// quick-access entries into plain entries a front end draws (caption, tool tip, kind, items with
// their enabled state, icon, frame), carries the user's changes into the option tree, checks what
// the user types into job-note fields and, after every change, re-checks the constraints of every
// pop-up and check box. The front end only draws the entries and forwards the user's actions.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

class KRTPPD;
class PDEData;
class PPDXControl;
class PPDXJobNote;
struct PPDTree;

namespace quill {
class Bundle;
}

// A rectangle in pane points, origin bottom left (y grows upwards).
struct PaneRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  friend bool operator==(const PaneRect&, const PaneRect&) = default;
};

// One row of the icon table: option keyword without asterisk, choice ("" for any), icon path
// relative to the resources folder.
struct IconRow {
  std::string keyword;
  std::string choice;
  std::string path;
};

enum class PaneEntryKind {
  kPopup,
  kCheckBox,
  kTextField,
  kSecureTextField,  // a job note that holds a password or PIN: shown masked
};

struct PaneItem {
  std::string keyword;  // the choice keyword
  std::string text;     // the text the menu shows
  bool enabled = true;
};

struct PaneEntry {
  int tag = 0;  // index of the quick-access entry; the icon's tag is tag + kIconTagOffset
  std::string keyword;
  PaneEntryKind kind = PaneEntryKind::kPopup;
  std::string caption;  // display name and ":", cut with "..." when long
  std::string toolTip;  // the whole caption when it was cut, else ""
  PaneRect captionFrame;
  PaneRect iconFrame;
  PaneRect controlFrame;
  std::string iconPath;  // full path of a png icon, or "" (blank icon)
  bool enabled = true;   // the control as a whole
  bool iconEnabled = true;
  // Pop-ups: the items and the selected one.
  std::vector<PaneItem> items;
  int selected = -1;
  // Check boxes: on when the option is true.
  bool on = false;
  // Text fields: the note's text; its length limit (0 when none).
  std::string text;
  long maxLength = 0;
  PPDXControl* control = nullptr;  // not owned
};

class CustomizePaneController {
 public:
  static constexpr int kIconTagOffset = 2000;
  static constexpr int kPaneWidth = 500;
  static constexpr int kRowHeight = 75;  // also the line scroll
  static constexpr std::size_t kMaxIconRows = 999;
  static constexpr std::size_t kMaxIconLine = 1023;

  // `ppd` must outlive the controller; `data` (may be null) answers the device-management
  // locks and clears the preset keys; it must outlive the controller too.
  CustomizePaneController(KRTPPD& ppd, PDEData* data);

  // --- icons ----------------------------------------------------------------------------

  // Parses the icon lookup text: comma-separated lines, field 1 ignored, field 2 the keyword,
  // then either an icon path containing "icons" (no choice) or a choice and an icon path. Line
  // ends ("\n", "\r\n") are dropped, never a path's own last character; only paths containing
  // "png" are kept; at most kMaxIconRows rows; lines longer than kMaxIconLine are skipped.
  [[nodiscard]] static std::vector<IconRow> ParseIconLookup(std::string_view text);
  // Reads "icons/lookup.csv" from the bundle's resources folder (only when the table is empty).
  // A missing or unreadable file leaves the table empty; false then.
  bool LoadIconTable(const quill::Bundle& bundle);
  void SetIconTable(std::vector<IconRow> rows, std::string resourceFolder);
  [[nodiscard]] const std::vector<IconRow>& IconTable() const { return icons_; }
  // The path of the first row with exactly that keyword and choice, or "".
  [[nodiscard]] std::string GetIconPath(std::string_view keyword, std::string_view choice) const;

  // --- the pane ---------------------------------------------------------------------------

  // Captions of a PPD in Japanese are cut shorter.
  void SetJapanese(bool japanese) { japanese_ = japanese; }
  // The name of the custom paper of the dialog, "" when the paper is not custom: the page-size
  // pop-up then shows it selected and is disabled.
  void SetCustomPaperName(std::string name) { customPaper_ = std::move(name); }

  // Builds the entries from the tree's quick-access list. Entries whose keyword is not a pop-up,
  // boolean or job note of the PPD are skipped; the others keep the index of their entry as tag.
  // Ends with a constraint re-check.
  void DrawControlsInTree(const PPDTree& tree);
  [[nodiscard]] const std::vector<PaneEntry>& Entries() const { return entries_; }
  [[nodiscard]] const PaneEntry* EntryForTag(int tag) const;
  // Height of the pane's view: 150 points for every four entries begun.
  [[nodiscard]] int PaneHeight() const { return paneHeight_; }
  [[nodiscard]] static int PaneHeightFor(std::size_t entryCount);
  // Height of the view of all controls: (count / 4) x 150 - 300, never below 0.
  [[nodiscard]] static int AllControlsPaneHeight(std::size_t controlCount);
  // The caption of a display name and its tool tip ("" when shown whole).
  static void MakeCaption(std::string_view displayName, bool japanese, std::string& caption,
                          std::string& toolTip);

  // --- the user's actions ------------------------------------------------------------------

  // Chooses item `index` (from 0) of the pop-up `tag`; false (nothing changed) for a wrong tag,
  // an index out of range, a disabled item or a disabled pop-up.
  bool ChoosePopupItem(int tag, int index);
  // Sets the check box `tag`; false for a wrong tag or a disabled box.
  bool SetCheckBox(int tag, bool on);
  // What the field of a job note should show after the user typed; `accepted` is false when the
  // typed text was refused or filtered.
  struct TextResult {
    std::string text;
    bool changed = false;  // the field must show `text` instead of what was typed
  };
  // The text of the field `tag` changed to `typed` (typed or pasted). Characters the note's rule
  // refuses are removed, all of them; a text longer than the note's limit is refused as a whole
  // and the last accepted text comes back. The accepted text becomes the note's value. A wrong
  // tag gives `typed` back unchanged.
  TextResult TextDidChange(int tag, std::string_view typed);
  // Starts editing the field `tag`: its text is the last accepted one.
  void BeginEditing(int tag);

  // Re-checks every pop-up and check box against the constraints and the device-management
  // locks (what every action does at its end).
  void RecheckConstraints();
  // The current choice that forbids item `index` of pop-up `tag`, as "*Key=Choice"; "" when the
  // item is allowed or nothing single can be named. Found by trying the other choices of each
  // other pop-up and check box: the one whose change frees the item forbids it.
  [[nodiscard]] std::string ForbiddingChoice(int tag, int index) const;
  // The same for the check box `tag` (the value it cannot take).
  [[nodiscard]] std::string ForbiddingChoiceOfCheckBox(int tag) const;

  // Disables (true) or enables every drawn control.
  void GreyoutShortcutControls(bool grey);

  // --- job-note character rules ------------------------------------------------------------

  // Whether the note accepts the character.
  [[nodiscard]] static bool IsValidKey(const PPDXJobNote& note, char32_t c);
  // Whether the text is longer (in characters) than the note's limit.
  [[nodiscard]] static bool ExceedsMaxLength(const PPDXJobNote& note, std::string_view text);
  // The text without the characters the note refuses (invalid UTF-8 bytes are dropped too).
  [[nodiscard]] static std::string FilterText(const PPDXJobNote& note, std::string_view text);

 private:
  PaneEntry* MutableEntry(int tag);
  void UpdateIcon(PaneEntry& entry);
  std::string ForbiddingChoiceFor(const PPDXControl* control, const std::string& choice) const;
  void AfterChange();

  KRTPPD& ppd_;
  PDEData* data_;
  std::vector<IconRow> icons_;
  std::string resourceFolder_;
  std::vector<PaneEntry> entries_;
  int paneHeight_ = 0;
  bool japanese_ = false;
  std::string customPaper_;
  int editingTag_ = -1;
  std::string lastAccepted_;
};
