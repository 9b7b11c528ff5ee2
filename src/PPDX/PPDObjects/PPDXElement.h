// PPDXElement: a named thing of the PPD tree (property page, pane, roll-down, group, control):
// a keyword, a display name, a visibility flag and a parent.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "foundation/CString.h"

// _DISPLAY_OPTIONS_: which elements are shown. Bit 1 includes orphans (elements without a
// parent), bit 2 includes hidden elements.
using _DISPLAY_OPTIONS_ = uint32_t;
inline constexpr _DISPLAY_OPTIONS_ kDisplayOrphans = 1;
inline constexpr _DISPLAY_OPTIONS_ kDisplayHidden = 2;

class Settings;

class PPDXElement {
 public:
  // `keyword`: PPD keyword, main keywords with their asterisk, option keywords without; an empty
  // or null keyword is not stored. `localizedName`: the display name (UTF-8).
  PPDXElement(char const* keyword, std::string localizedName, bool const& visible);
  virtual ~PPDXElement() = 0;
  PPDXElement(const PPDXElement&) = delete;
  PPDXElement& operator=(const PPDXElement&) = delete;

  // True when the element is shown under `options`: 0 visible and with a parent, 1 visible,
  // 2 with a parent, 3 and above always.
  [[nodiscard]] virtual bool OkayToDisplay(_DISPLAY_OPTIONS_ const& options) const;
  // Saved-settings store of the host; this system keeps none, so it does nothing.
  virtual void Save(Settings&, int const&) {}

  // The keyword, or null when there is none.
  [[nodiscard]] char const* Keyword() const;
  // The display name in the system encoding, made on first use (a name that cannot be converted
  // gives the conversion's placeholder text); "" for an empty display name.
  char const* UserName();
  // The display name (UTF-8).
  [[nodiscard]] const std::string& CFStringUserName() const { return localizedName_; }
  [[nodiscard]] bool IsVisible() const { return visible_; }
  [[nodiscard]] bool IsOrphan() const { return parent_ == nullptr; }
  [[nodiscard]] PPDXElement* GetParent() const { return parent_; }
  void SetParent(PPDXElement* parent) { parent_ = parent; }

  // Keyword equality (strcmp); false when either side has no keyword.
  bool operator==(PPDXElement const& other) const;
  bool operator==(char const* keyword) const;

 protected:
  void SetLocalizedName(std::string name);
  void SetVisible(bool visible) { visible_ = visible; }

 private:
  friend class PPDXElementList;  // marks the elements an owning list holds

  std::string keyword_;                // empty for none
  std::unique_ptr<CString> userName_;  // made on first use
  std::string localizedName_;
  bool visible_;
  bool ownedByList_ = false;  // an owning element list holds it (and deletes it)
  PPDXElement* parent_ = nullptr;  // not owned
};

// Flat functions over an untyped element; a null element gives null, false or (IsOrphan) true.
extern "C" {
char const* Keyword(void* element);
char const* UserName(void* element);
bool IsVisible(void* element);
bool IsOrphan(void* element);
void* GetParent(void* element);
bool EqualsElement(void* element, void* other);
bool EqualsKeyWord(void* element, char const* keyword);
}
