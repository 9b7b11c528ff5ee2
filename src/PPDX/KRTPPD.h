// KRTPPD: the parsed PPD of a queue. It reads the file line by line into the option tree
// (property pages, scroll panes, roll-downs, groups, controls, shortcuts) with the vendor's
// extension keywords, fills the constraint store with every key/option pair and constraint line,
// and answers the panel's questions by control keyword.
//
// Standard UI groups become controls only when a vendor flags line (*%KRTFlags) stands right
// before them. A parse error is recorded in the error list (PPDX::GetErrors); a fatal one ends the
// parse, and the tree built so far stays usable.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "PPDX/PPDX.h"
#include "PPDX/PPDObjects/Controls/PopupItem.h"
#include "PPDX/PPDObjects/PPDXElement.h"

class CString;
class GroupName;
class PointerList;
class PPDXControl;
class PPDXControls;
class PPDXGroup;
class PPDXGroups;
class PPDXPopupControl;
class PPDXProperties;
class PPDXRollDown;
class PPDXShortcuts;
class UIConstraints;
namespace quill {
class PPDDataBlocks;
}

// _PARSE_OPTIONS_: bit 1 keeps controls and groups that have no parent, bit 2 keeps hidden
// groups, panes and pages. The panel parses with 3.
using _PARSE_OPTIONS_ = uint32_t;
inline constexpr _PARSE_OPTIONS_ kParseOrphans = 1;
inline constexpr _PARSE_OPTIONS_ kParseHidden = 2;

class KRTPPD : public PPDX {
 public:
  // A tree without a file.
  explicit KRTPPD(_PARSE_OPTIONS_ options);
  // Parses the PPD at `path`. With `names`, the PC file name test runs first (its result is
  // IsValidPrinterName()); the parse runs either way.
  KRTPPD(const std::string& path, _PARSE_OPTIONS_ options,
         const std::vector<std::string>* names = nullptr);
  // Deletes the whole tree, with the display options at 3 meanwhile.
  ~KRTPPD() override;

  // Makes the containers, parses the file, reads the injection block and the pop-up job-note
  // preferences, and reports an empty tree.
  void Build();
  void Parse() override;
  void ParsePSKeywords(PPDStream& stream, char const* keyword) override;

  [[nodiscard]] PPDXProperties* GetProperties() const { return properties_.get(); }
  [[nodiscard]] PPDXGroups* GetGroups() const { return groups_.get(); }
  [[nodiscard]] PPDXControls* GetControls() const { return controls_.get(); }
  [[nodiscard]] PPDXShortcuts* GetShortcuts() const { return shortcuts_.get(); }
  [[nodiscard]] UIConstraints* GetUIConstraints() const { return constraints_.get(); }
  // The file's name into `name` (256 bytes); false without a file.
  bool GetPPDFileName(char* name) const;

  // Key/value interface: keys are control keywords ("*Duplex"), values the controls' preset
  // value texts (UTF-8).
  // The control with exactly this keyword under the current display options; null when none
  // (keys longer than 40 bytes are cut there).
  [[nodiscard]] PPDXControl* GetPPDXControlForKey(const std::string& key) const;
  // The control's preset value; nullopt without a control or value.
  [[nodiscard]] std::optional<std::string> CopyValueForKey(const std::string& key) const;
  // Sets the control's preset value; false when there is no control for the key.
  bool SetValueForKey(const std::string& key, const std::string& value);
  // Every control's keyword with its preset value (controls without a value are left out).
  [[nodiscard]] std::map<std::string, std::string> CopyAllValues() const;
  // Sets every control named in `values` that is not an installable option.
  void SetAllValues(const std::map<std::string, std::string>& values);

  // Whether choosing `option` for `key` conflicts with the current choices, with the print-size
  // rule: while "*KRPrintSize" is on "SameAsPageSize" it stands for the current page size. The
  // texts are turned into the store's ids once per key and option, so a question costs about
  // what the id form costs.
  bool IsKVConstrained(char const* key, char const* option);
  // Asks the constraint store directly.
  bool IsKVConstrained(long key, long option);

  // Makes a single-choice popup with the given items (_PopupItem* made with new; taken) in the
  // group `groupKeyword`, declaring the group name if needed. Null without a group keyword, a
  // name or a text converter.
  virtual PPDXPopupControl* PPDCreatePopupMenu(char const* groupKeyword, char const* controlKeyword,
                                               char const* name, PointerList& items,
                                               CString* defaultKeyword);
  // Rebuilds the existing popup `controlKeyword` with new items; false when there is no such
  // popup or it had no current item.
  virtual bool PPDReconcilePopupMenu(char const* controlKeyword, char const* name,
                                     PointerList& items, CString* defaultKeyword);

  // Same file (same directory and name) carrying the same PC file name.
  bool operator==(const KRTPPD& other) const;

  // Process-wide display options, shared by every tree.
  static _DISPLAY_OPTIONS_ Options();
  static void Options(_DISPLAY_OPTIONS_ options);
  static void IncludeOrphans() { Options(kDisplayOrphans); }
  static void IncludeHidden() { Options(kDisplayHidden); }
  static void ExcludeOrphans() { Options(0); }
  static void ExcludeHidden() { Options(0); }
  [[nodiscard]] bool ParseOrphans() const { return (parseOptions_ & kParseOrphans) != 0; }
  [[nodiscard]] bool ParseHidden() const { return (parseOptions_ & kParseHidden) != 0; }
  [[nodiscard]] _PARSE_OPTIONS_ ParseOptions() const { return parseOptions_; }

  // Process-wide extension support: which job-note flags a PPD may use.
  static uint32_t GetExtensions();
  static void SetExtensions(uint32_t extensions);

  // *%KRFileVersion, *%KRVersion, *%KRVersionMac; null when absent.
  [[nodiscard]] char const* VendorFileVersion() const;
  [[nodiscard]] char const* VendorVersion() const;
  [[nodiscard]] char const* VendorMacVersion() const;
  // The lines of the device-management injection block, each followed by a line feed.
  [[nodiscard]] const std::string& InjectionText() const { return injectionText_; }
  // The decoded injection block; null until it has been read.
  [[nodiscard]] char const* CustomXMLText() const;
  // The data-block attributes of the file, collected during the parse; null for a tree without a
  // file. While the tree lives they answer the block reads of the unchanged file.
  [[nodiscard]] const quill::PPDDataBlocks* DataBlocks() const { return blocks_.get(); }

  // Reads the injection block's record from `text` into the custom XML text.
  void ReadCustXmlData(std::string text);
  // Applies the users' pop-up job-note preferences stored in the queue's PPD.
  void ReadPUJNPrefs();

 private:
  using ErrorPtr = std::unique_ptr<PPDXErrorObj>;
  using Handler = ErrorPtr (KRTPPD::*)(PPDStream&, char const* keyword);
  struct DispatchEntry {
    std::string_view keyword;
    Handler handler;
  };
  static const DispatchEntry kDispatch[];

  // An error object carrying the line that the parse is reading (0 outside a parse).
  ErrorPtr Error(short code, char const* keyword, bool fatal = false) const;
  void AddError(short code, char const* keyword, bool fatal = false);
  // Reads the next line for the parse loop; false when the parse ends there (end of data, a 0xFF
  // byte, the end marker). Lines longer than 255 bytes are skipped whole.
  bool NextParseLine(PPDStream& stream, char* line);
  // Reads the next line of the file for a handler; false when there is none.
  bool NextFileLine(char* line);
  ErrorPtr Dispatch(PPDStream& stream, char const* keyword, char const* line);
  // Converts a translation (PPD bytes) into a display name; `fallback` when there is no
  // text converter.
  std::string DisplayName(char const* translation, char const* fallback) const;

  // Option groups and controls.
  ErrorPtr ParseControl(PPDStream& stream, char const* keyword);
  ErrorPtr ParseGroup(PPDStream& stream, char const* controlKeyword, PointerList& flags);
  PPDXGroup* FindAndCreateParent(char const* groupKeyword);
  ErrorPtr ParseOpenUI(PPDStream& stream, char const* controlKeyword, PointerList& flags,
                       PPDXGroup* group);
  ErrorPtr ParseOpenUIKRT(char const* controlKeyword, PointerList& flags);
  // Walks the lines of a UI group up to its closing line and hands every colon-delimited token
  // (but "*OrderDependency" and the closing one) to `visit` with the rest of its line; an
  // option line is one whose token begins with the control keyword. A returned error ends the
  // walk. `closed` tells whether the closing line came before the end of the file.
  using UIGroupVisitor =
      std::function<ErrorPtr(char const* token, bool optionLine, PPDStream& line)>;
  ErrorPtr WalkUIGroup(char const* controlKeyword, const UIGroupVisitor& visit, bool& closed);
  // One option line: its option keyword, its translation (when it has one) and its code, which
  // points into the parser's value buffer and is valid until the next value is read.
  struct OptionLine {
    std::string option;
    std::optional<std::string> translation;
    std::string_view code;
  };
  OptionLine ReadOptionLine(char const* token, PPDStream& line);
  ErrorPtr ParsePopupControl(char const* controlKeyword, std::string name, PointerList& flags,
                             PPDXGroup* group, bool multipleChoice);
  ErrorPtr ParseBooleanControl(char const* controlKeyword, std::string name, PointerList& flags,
                               PPDXGroup* group);
  void SetupControl(PPDXGroup* group, PPDXControl* control, bool strict);
  ErrorPtr ParseRange(PPDStream& stream, char const* controlKeyword, PointerList& flags,
                      PPDXGroup* group, bool isFloat);
  ErrorPtr ParseCustomPageSize(PPDStream& stream, char const* keyword);

  // Group names, pages, parents, constraints.
  ErrorPtr ParseGroupName(PPDStream& stream, char const* keyword);
  ErrorPtr ParseSubGroupName(PPDStream& stream, char const* keyword);
  ErrorPtr ParseParent(PPDStream& stream, char const* keyword);
  ErrorPtr ParseUIConstraint(PPDStream& stream, bool requiresLine);
  ErrorPtr ParseUIConstraints(PPDStream& stream, char const*) { return ParseUIConstraint(stream, false); }
  ErrorPtr ParseUIRequires(PPDStream& stream, char const*) { return ParseUIConstraint(stream, true); }
  ErrorPtr ParsePropertyPage(PPDStream& stream, char const* keyword);
  GroupName* FindGroupName(char const* keyword) const;

  // Vendor extensions.
  ErrorPtr ParseShortcut(PPDStream& stream, char const* keyword);
  void ResolveShortcuts();
  ErrorPtr ParseJobNote(PPDStream& stream, char const* keyword);
  ErrorPtr ParseJobNote(PPDStream& stream, char const* keyword, PointerList& flags,
                        PPDXGroup* group);
  ErrorPtr MakeJobNote(PPDStream& stream, char const* keyword, PointerList* flags,
                       PPDXGroup* group, bool topLevel);
  ErrorPtr ParseSpecialOption(PPDStream& stream, char const* keyword);
  ErrorPtr ParseCustomPageSizeLine(PPDStream& stream, char const* keyword);
  void ParseDMTInjection(char const* line);
  void CollectOrphanGroups();

  _PARSE_OPTIONS_ parseOptions_;
  std::unique_ptr<UIConstraints> constraints_;
  std::unique_ptr<PPDXProperties> properties_;
  std::unique_ptr<PPDXGroups> groups_;
  std::unique_ptr<PPDXControls> controls_;
  std::unique_ptr<PPDXShortcuts> shortcuts_;
  bool insideInstallableOptions_ = false;  // between *OpenGroup/*CloseGroup InstallableOptions
  PPDXRollDown* installableRollDown_ = nullptr;  // owned by the group list
  std::optional<std::string> vendorFileVersion_;  // *%KRFileVersion
  std::optional<std::string> vendorVersion_;      // *%KRVersion
  std::optional<std::string> vendorMacVersion_;   // *%KRVersionMac
  struct ShortcutLine {
    std::string keyword;  // *%KRShortcut value
    long line;            // where it was read
  };
  std::vector<ShortcutLine> shortcutKeywords_;  // during the parse
  std::vector<std::unique_ptr<GroupName>> groupNames_;  // *%KRTGroupName, during the parse
  std::string injectionText_;
  // Buffer for the PostScript value being read (kQuotesStringSizeLimit bytes); one for the whole
  // parse rather than one per option line.
  std::unique_ptr<char[]> valueBuffer_;
  // Options of the popup being read and their PostScript texts, reused from popup to popup.
  std::vector<ParsedPopupItem> pendingItems_;
  std::string pendingCodes_;
  std::optional<std::string> customXML_;
  std::unique_ptr<quill::PPDDataBlocks> blocks_;

  // The constraint store's ids of a key and of the options asked about with it, found once. Texts
  // the store does not know (id -1) are not kept: they may be interned later.
  struct KeyIds {
    long key = -1;
    std::vector<std::pair<std::string, long>> options;
    size_t next = 0;  // the option after the one asked last: options come in the same order
  };
  struct TextHash {
    using is_transparent = void;
    size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
  };
  // The ids of `key` and `option`; -1 for a text the store does not know.
  std::pair<long, long> ConstraintIds(char const* key, char const* option);
  // Finds the controls that the constraint question looks at (after the parse, and again when a
  // popup is added).
  void FindQuestionControls();
  // The popup with this keyword as Find would give it under the current display options.
  PPDXPopupControl* ShownPopup(PPDXPopupControl* cached, char const* keyword) const;
  std::unordered_map<std::string, KeyIds, TextHash, std::equal_to<>> keyIds_;
  KeyIds* lastKeyIds_ = nullptr;  // of the key asked last
  std::string lastKey_;
  PPDXPopupControl* printSize_ = nullptr;  // "*KRPrintSize", found after the parse
  PPDXPopupControl* pageSize_ = nullptr;   // "*PageSize"
};
