// _PopupItem: one option of a popup control (a PickOne/PickMany choice of the PPD): its option
// keyword, its display text, its PostScript invocation and whether it is selected. Items are
// owned by the popup that holds them.
#pragma once

#include <cstdlib>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/CString.h"

class _PopupItem;

// One option as the parser reads it, before the popup's items are laid out together.
struct ParsedPopupItem {
  std::string keyword;                       // option keyword, empty for none
  std::optional<std::string> localizedName;  // display text (UTF-8), nullopt for none
  size_t codeOffset = 0;                     // the PostScript invocation within the shared text
  size_t codeLength = 0;
};

// Memory holding the items of one popup side by side (see _PopupItem::MakeBlock).
struct PopupItemBlockFree {
  void operator()(void* block) const { ::operator delete(block); }
};
using PopupItemBlock = std::unique_ptr<void, PopupItemBlockFree>;

class _PopupItem {
 public:
  // `keyword`: the option keyword as the PPD gives it (no asterisk); null or "" keeps none.
  // `localizedName`: the display text (UTF-8), nullopt when the PPD gave no translation.
  // `code`: the PostScript invocation, made with malloc, may be null; the item takes ownership.
  // A negative `codeLength` counts as 0.
  _PopupItem(char const* keyword, std::optional<std::string> localizedName, unsigned char* code,
             long codeLength);
  ~_PopupItem();
  _PopupItem(const _PopupItem&) = delete;

  // An item whose code is a copy of `length` bytes of `code`, held in the same allocation as the
  // item itself (the parser makes tens of thousands of items: one allocation each, not two).
  // Release it with delete like any other item.
  static _PopupItem* MakeWithCode(char const* keyword, std::optional<std::string> localizedName,
                                  char const* code, size_t length);
  // The items of `parsed` (codes taken from `codes`) made in one block with their codes, appended
  // to `items` in order; their texts are moved out. One allocation for the whole popup
  // instead of one per item, so a tree with tens of thousands of items is freed quickly. The
  // items may be deleted like any other (their memory stays with the block), but the block must
  // outlive them: the popup that keeps them keeps the block too. Returns null when `parsed` is
  // empty.
  static PopupItemBlock MakeBlock(std::vector<ParsedPopupItem>& parsed, std::string_view codes,
                                  std::vector<std::unique_ptr<_PopupItem>>& items);
  static void* operator new(size_t size) { return ::operator new(size); }
  // Destroys the item and frees its memory unless the memory belongs to a block.
  static void operator delete(_PopupItem* item, std::destroying_delete_t);
  // Frees the memory of an item whose constructor threw (a delete expression never uses it).
  static void operator delete(void* item) { ::operator delete(item); }
  _PopupItem& operator=(const _PopupItem&) = delete;

  // The option keyword; null when the item has none.
  [[nodiscard]] char const* Keyword() const;
  // True when the item has a keyword equal (strcmp) to `keyword`; false for null.
  [[nodiscard]] bool HasKeyword(char const* keyword) const;
  // The display text (UTF-8); nullopt when there is none.
  [[nodiscard]] const std::optional<std::string>& LocalizedName() const { return localizedName_; }
  // The PostScript invocation (null when none) and its length in bytes.
  [[nodiscard]] const unsigned char* Code() const { return code_; }
  [[nodiscard]] long CodeLength() const { return codeLength_; }

  [[nodiscard]] bool IsSelected() const { return selected_; }
  void SetSelected(bool selected) { selected_ = selected; }

  // The display text in the system encoding, converted on first use and kept; null without a
  // display text. A text the system encoding cannot hold gives "Translation Error".
  char const* displayName();

 private:
  // Option keyword of the *<Keyword> option line; empty for none. Held inline: a PPD has tens of
  // thousands of items and most keywords are short.
  std::string keyword_;
  std::optional<std::string> localizedName_;
  unsigned char* code_;  // malloc'd and owned, unless it lies in the item's own allocation
  long codeLength_;
  bool codeInline_ = false;
  bool inBlock_ = false;  // the item's memory belongs to a block made by MakeBlock
  bool selected_ = false;
  std::unique_ptr<char[]> displayName_;  // made by displayName()
};
