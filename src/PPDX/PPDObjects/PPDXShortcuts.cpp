#include "PPDX/PPDObjects/PPDXShortcuts.h"

#include "foundation/PointerList.h"

namespace {

// Every element of a shortcut list was added as a PPDXControl.
PPDXControl* AsControl(PPDXElement* element) { return static_cast<PPDXControl*>(element); }

bool IsPopup(PPDXElement const& element) {
  return static_cast<PPDXControl const&>(element).Type() == kPopupControl;
}

// The types that the iteration gives after the first popup.
bool IsListedType(PPDXElement const& element) {
  const CNTL_TYPE type = static_cast<PPDXControl const&>(element).Type();
  return type == kPopupControl || type == kJobNoteControl || type == kBooleanControl;
}

PPDXShortcuts* AsShortcuts(void* shortcuts) { return static_cast<PPDXShortcuts*>(shortcuts); }

}  // namespace

PPDXShortcuts::PPDXShortcuts(PointerList& controls, bool ownsControls) : controls_(ownsControls) {
  for (void* control : controls) controls_.Add(static_cast<PPDXControl*>(control));
}

PPDXShortcuts::~PPDXShortcuts() = default;

PPDXControl* PPDXShortcuts::First() { return AsControl(controls_.First(IsPopup)); }

PPDXControl* PPDXShortcuts::Next() { return AsControl(controls_.Next(IsListedType)); }

PPDXControl* PPDXShortcuts::Find(char const* keyword, bool const& exact) const {
  // Everything the iteration reaches lies at or after the first popup.
  const size_t first = controls_.NextFrom(0, IsPopup);
  if (first == PPDXElementList::npos) return nullptr;
  return AsControl(controls_.At(controls_.Find(keyword, exact, IsListedType, first)));
}

PPDXControl* PPDXShortcuts::PageSize() const { return Find("*PageSize", true); }
PPDXControl* PPDXShortcuts::InputSlot() const { return Find("*InputSlot", true); }
PPDXControl* PPDXShortcuts::Duplex() const { return Find("*KRDuplex", true); }
PPDXControl* PPDXShortcuts::Orientation() const { return Find("*KR_PAPER_ORIENTATION", true); }
PPDXControl* PPDXShortcuts::Tonesmith() const {
  return Find("Need Tonesmith keyword... stay tuned", true);
}
PPDXControl* PPDXShortcuts::MediaSource() const {
  return Find("Need media source keyword... stay tuned", true);
}

extern "C" {

bool IsShortcutsListEmpty(void* shortcuts) { return shortcuts && AsShortcuts(shortcuts)->Empty(); }
long GetShortcutCount(void* shortcuts) { return shortcuts ? AsShortcuts(shortcuts)->Count() : 0; }
void* GetPageSizeShortcut(void* shortcuts) {
  return shortcuts ? AsShortcuts(shortcuts)->PageSize() : nullptr;
}
void* GetInputSlotShortcut(void* shortcuts) {
  return shortcuts ? AsShortcuts(shortcuts)->InputSlot() : nullptr;
}
void* GetDuplexShortcut(void* shortcuts) {
  return shortcuts ? AsShortcuts(shortcuts)->Duplex() : nullptr;
}
void* GetOrientationShortcut(void* shortcuts) {
  return shortcuts ? AsShortcuts(shortcuts)->Orientation() : nullptr;
}
void* GetTonesmithShortcut(void* shortcuts) {
  return shortcuts ? AsShortcuts(shortcuts)->Tonesmith() : nullptr;
}
void* GetMediaSourceShortcut(void* shortcuts) {
  return shortcuts ? AsShortcuts(shortcuts)->MediaSource() : nullptr;
}
void* FindShortcut(void* shortcuts, char const* keyword, bool exact) {
  return shortcuts ? AsShortcuts(shortcuts)->Find(keyword, exact) : nullptr;
}
void* FirstShortcut(void* shortcuts) {
  return shortcuts ? AsShortcuts(shortcuts)->First() : nullptr;
}
void* NextShortcut(void* shortcuts) { return shortcuts ? AsShortcuts(shortcuts)->Next() : nullptr; }

}  // extern "C"
