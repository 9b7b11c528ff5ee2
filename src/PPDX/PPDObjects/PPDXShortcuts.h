// PPDXShortcuts: the controls that the quick-access pane offers, in the order of the PPD's
// shortcut lines. The list only points to the controls (the parser's main control list owns them
// and must outlive it) unless it is made as owning.
//
// Iteration starts at the first popup; from there on it gives every popup, job note and boolean.
// The finders search along that iteration, so an entry before the first popup, or of another
// type, is never found. One cursor, so one iteration at a time per list.
#pragma once

#include "PPDX/PPDObjects/Controls/PPDXControl.h"
#include "PPDX/PPDObjects/PPDXElementList.h"

class PointerList;

class PPDXShortcuts {
 public:
  // Copies the pointers of `controls` (PPDXControl*), in order; null entries are left out.
  // `ownsControls`: the list deletes its controls when it goes (an entry that comes twice is then
  // kept once).
  explicit PPDXShortcuts(PointerList& controls, bool ownsControls = false);
  virtual ~PPDXShortcuts();
  PPDXShortcuts(const PPDXShortcuts&) = delete;
  PPDXShortcuts& operator=(const PPDXShortcuts&) = delete;

  // Every entry, whatever its type.
  [[nodiscard]] long Count() const { return static_cast<long>(controls_.Size()); }
  [[nodiscard]] bool Empty() const { return controls_.Empty(); }

  // The first popup of the list; null when there is none.
  PPDXControl* First();
  // The next popup, job note or boolean after the cursor; null at the end.
  PPDXControl* Next();
  // The first control along First/Next whose keyword equals `keyword` (exact) or contains it;
  // null when none or for a null keyword. The cursor is left where it was.
  [[nodiscard]] PPDXControl* Find(char const* keyword, bool const& exact) const;

  // Exact finders of the well-known shortcuts: "*PageSize", "*InputSlot", "*KRDuplex",
  // "*KR_PAPER_ORIENTATION". Tonesmith and MediaSource have no control keyword and always give
  // null.
  [[nodiscard]] PPDXControl* PageSize() const;
  [[nodiscard]] PPDXControl* InputSlot() const;
  [[nodiscard]] PPDXControl* Duplex() const;
  [[nodiscard]] PPDXControl* Orientation() const;
  [[nodiscard]] PPDXControl* Tonesmith() const;
  [[nodiscard]] PPDXControl* MediaSource() const;

 private:
  PPDXElementList controls_;
};

// Flat functions over an untyped shortcut list; a null list gives 0, false or null.
extern "C" {
bool IsShortcutsListEmpty(void* shortcuts);
long GetShortcutCount(void* shortcuts);
void* GetPageSizeShortcut(void* shortcuts);
void* GetInputSlotShortcut(void* shortcuts);
void* GetDuplexShortcut(void* shortcuts);
void* GetOrientationShortcut(void* shortcuts);
void* GetTonesmithShortcut(void* shortcuts);
void* GetMediaSourceShortcut(void* shortcuts);
void* FindShortcut(void* shortcuts, char const* keyword, bool exact);
void* FirstShortcut(void* shortcuts);
void* NextShortcut(void* shortcuts);
}
