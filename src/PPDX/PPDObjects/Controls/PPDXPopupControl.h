// PPDXPopupControl: an option chosen from a fixed list of items, made from a PPD PickOne (single
// choice) or PickMany (multiple choice) group. It keeps the item chosen last as its current item,
// reports every choice to the constraint store, and writes the current item's code as a feature
// block.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "PPDX/PPDObjects/Controls/PPDXControl.h"
#include "PPDX/PPDObjects/Controls/PopupItem.h"

class PPDXPopupControl : public PPDXControl {
 public:
  // Takes ownership of the flag strings of `flags` (CString* made with new), of the items of
  // `items` (_PopupItem* made with new; the lists keep their pointers, which must not be deleted
  // by the caller) and of `defaultKeyword` (may be null). When a default keyword is given, its
  // item is selected with SetKeywordSelect(default, true). `constraints` is not owned and may be
  // null (then no choice is reported).
  PPDXPopupControl(char const* keyword, std::string name, PointerList& flags, bool visible,
                   bool multipleChoice, bool installable, PointerList& items,
                   CString* defaultKeyword, UIConstraints* constraints);
  // The same with the items already held; the parser hands them over without a list, made in
  // `itemBlock` (may be null; see _PopupItem::MakeBlock), which the popup keeps while it lives.
  PPDXPopupControl(char const* keyword, std::string name, PointerList& flags, bool visible,
                   bool multipleChoice, bool installable,
                   std::vector<std::unique_ptr<_PopupItem>> items, PopupItemBlock itemBlock,
                   CString* defaultKeyword, UIConstraints* constraints);
  ~PPDXPopupControl() override;

  [[nodiscard]] long ItemCount() const { return static_cast<long>(items_.size()); }
  // Item iteration in PPD order; null at the end (and for an empty list).
  _PopupItem* FirstItem();
  _PopupItem* NextItem();
  // Appends the item (made with new) and takes ownership of it; null is ignored.
  void AppendPopupItem(_PopupItem* item);

  // Sets the selection of the item with `keyword` and makes it the current item. On a
  // single-choice list every other item is deselected (all of them when no item matches); on a
  // multiple-choice list the other items keep their selection. (control keyword, keyword) goes
  // into the key/value cache whether or not an item matched. Returns whether an item matched;
  // false, with nothing changed, for a null keyword or an empty list.
  bool SetKeywordSelect(char const* keyword, bool select);
  // True when an item with that keyword is selected.
  [[nodiscard]] bool IsKeywordSelected(char const* keyword) const;

  // 1-based index of the first selected item; 0 when none is selected.
  [[nodiscard]] long GetValue() const;
  // Selects item n (1-based) alone, makes it current and reports (control keyword, item keyword).
  // With n out of range every item ends deselected, and the current item and the key/value cache
  // stay as they were.
  void SetValue(long n);

  // 1-based index of the default item: the override set by SetDefaultValue when there is one
  // (unless pop-up job notes finished initializing without finding one), else the first item
  // whose keyword is the default keyword; 0 when there is neither.
  [[nodiscard]] long DefaultValue() const;
  // Sets the default override (1-based item index; 0 removes it).
  void SetDefaultValue(long n) { defaultOverride_ = n; }
  // SetValue(DefaultValue()).
  void ResetToDefaultValue() override;
  // The default keyword of the PPD's default line, or null.
  [[nodiscard]] char const* GetDefaultKeyword() const;

  [[nodiscard]] bool CanSelectMultipleItems() const { return multipleChoice_; }
  [[nodiscard]] bool IsInstallableOption() const override { return installable_; }

  // Feature block of the first item with `keyword` ("%%BeginFeature: <control> <keyword>\n",
  // the item's code or a line feed, "%%EndFeature\n"), written to `out` when it is given; returns
  // the byte count either way. 0 when no item has the keyword or the control has no keyword.
  long GetKeywordPSData(char const* keyword, unsigned char* out);
  // GetKeywordPSData of the current item; 0 without a current item.
  long PostScript(unsigned char* out) override;

  // The display text, in the system encoding, of the last item with `keyword`; null when no
  // item has it or that item has no display text.
  char const* GetKeywordLocalName(char const* keyword);
  // The display text (UTF-8) of the last item with `keyword`; nullopt when there is none.
  [[nodiscard]] std::optional<std::string> GetKeywordCFLocalName(char const* keyword) const;
  // The display text of item i (0-based). When there is no such item the control is reset to
  // its default and CopyCurrentControlValueString() is returned instead.
  std::optional<std::string> GetKeywordLocalNameAtIndex(long i);

  // The current item's keyword; nullopt without a current item, or when the keyword is not
  // valid UTF-8 text (PPD option keywords are ASCII).
  [[nodiscard]] std::optional<std::string> CopyCurrentControlValueString() override;
  [[nodiscard]] std::optional<std::string> CopyCurrentControlValueStringUTF8() const;
  // Selects the first item whose keyword is `value`. On the colour-profile controls an item
  // whose display text equals `value` ignoring case also matches, and a value that no item has
  // is added as a new item (keyword and display text both `value`) and selected. On any other
  // popup an unknown value changes nothing.
  void SetCurrentControlWithCFString(std::string const& value) override;

  // Accepts the keyword of an item. A colour-profile control also accepts any other non-empty
  // UTF-8 text, which names an item or becomes a new one. Refusals: kValueNotAnOption (the
  // phrase lists the first options), kValueNotText.
  [[nodiscard]] ValueRefusal CheckValue(std::string const& value, std::string* why) const override;
  // On a colour-profile control, the keyword of the first item that the value names by keyword
  // or display text (as SetCurrentControlWithCFString picks it); otherwise the value itself.
  [[nodiscard]] std::string OptionForValue(std::string const& value) const override;

  // Replaces the display name (when `name`, in the system encoding, differs from the user name),
  // all items and the default keyword, then selects the new default and finally the keyword that
  // was current before, when a new item still has it. Takes ownership of the items and of
  // `defaultKeyword` in every case. Returns false, and changes nothing else, when there was no
  // current item.
  bool Rebuild(char const* name, PointerList& items, CString* defaultKeyword);

 private:
  [[nodiscard]] bool IsColourProfileControl() const;

  bool multipleChoice_;  // PickMany
  bool installable_;     // the group is the installable options
  long defaultOverride_ = 0;
  std::unique_ptr<CString> defaultKeyword_;  // *Default<Keyword> value
  // Memory of the items the parser made; declared before items_ so that it goes after them (it
  // stays when Rebuild replaces the items).
  PopupItemBlock itemBlock_;
  std::vector<std::unique_ptr<_PopupItem>> items_;
  size_t itemCursor_ = 0;
  _PopupItem* current_ = nullptr;  // one of items_, or null
};

// An item as the flat functions hand it out: its keyword and its display text (UTF-8), both
// pointing into the item and valid while the popup keeps it; null when absent.
struct PopupItemInfo {
  char const* keyword;
  char const* localizedName;
};

// Flat functions over an untyped popup; a null control (or one of another kind) gives false, 0
// or null, and setters do nothing.
extern "C" {
long PopupItemCount(void* control);
// Fill `item` (cleared first) with the first / next item; false at the end.
bool FirstItem(void* control, PopupItemInfo* item);
bool NextItem(void* control, PopupItemInfo* item);
char const* GetKeywordLocalName(void* control, char const* keyword);
long GetKeywordPSData(void* control, char const* keyword, unsigned char* out);
bool IsKeywordSelected(void* control, char const* keyword);
bool SetKeywordSelect(void* control, char const* keyword, bool select);
long PopupPostScript(void* control, unsigned char* out);
long GetPopupValue(void* control);
void SetPopupValue(void* control, long n);
long GetPopupDefaultValue(void* control);
bool CanSelectMultipleItems(void* control);
char const* GetDefaultKeyword(void* control);
}
