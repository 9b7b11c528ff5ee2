// PPDXControls: a list of controls in the order they were added, with one list per control type
// and, per type, the counters that give the number shown under the display options.
//
// The parser's main list owns every control; other lists (a roll-down's) only point to controls
// of the main list, which must outlive them. Whole-list iteration and `Find` follow the
// process-wide display options (Globals().displayOptions); the per-type iterations and finders
// see every member. Each list keeps one cursor, so one iteration at a time per list.
#pragma once

#include <array>
#include <cstdint>

#include "PPDX/PPDObjects/Controls/PPDXControl.h"
#include "PPDX/PPDObjects/CountArray.h"
#include "PPDX/PPDObjects/PPDXElementList.h"

class PPDXControls {
 public:
  // `ownsControls`: the list deletes its controls when it goes (the parser's main list); a list
  // made with false only points to them.
  explicit PPDXControls(bool ownsControls = true);
  virtual ~PPDXControls();
  PPDXControls(const PPDXControls&) = delete;
  PPDXControls& operator=(const PPDXControls&) = delete;

  // Appends the control to the list of all controls and to the list of its type, counting it
  // there by its orphan and visibility state at this moment (a parent given later does not change
  // the counts). A control of no listed type (type 0) joins only the list of all. Returns false,
  // adding nothing, for null and, in an owning list, for a control already in it.
  bool Add(PPDXControl* control);

  // Iterate all controls that OkayToDisplay(current display options) accepts, in list order;
  // `type` receives the returned control's type (unchanged when null is returned).
  PPDXControl* First(CNTL_TYPE& type);
  PPDXControl* Next(CNTL_TYPE& type);
  // The first control that First/Next would give whose keyword equals `keyword` (exact) or
  // contains it (not exact); null when none or for a null keyword. `type` receives its type
  // (unchanged when null is returned). The iteration cursor is left where it was.
  PPDXControl* Find(char const* keyword, CNTL_TYPE& type, bool const& exact);

  // Iterate one type list, every member, without display filtering; null at the end.
  PPDXControl* FirstPopupControl();
  PPDXControl* NextPopupControl();
  PPDXControl* FirstBooleanControl();
  PPDXControl* NextBooleanControl();
  PPDXControl* FirstRangeControl();
  PPDXControl* NextRangeControl();
  PPDXControl* FirstFloatRangeControl();
  PPDXControl* NextFloatRangeControl();
  PPDXControl* FirstJobNote();
  PPDXControl* NextJobNote();
  PPDXControl* FirstSpecialOption();
  PPDXControl* NextSpecialOption();

  // The first member of one type list (every member, unfiltered) whose keyword equals `keyword`
  // (exact) or contains it; null when none. The type list's cursor is left where it was.
  [[nodiscard]] PPDXControl* FindPopup(char const* keyword, bool const& exact) const;
  [[nodiscard]] PPDXControl* FindBoolean(char const* keyword, bool const& exact) const;
  [[nodiscard]] PPDXControl* FindRangeControl(char const* keyword, bool const& exact) const;
  [[nodiscard]] PPDXControl* FindFloatRangeControl(char const* keyword, bool const& exact) const;
  [[nodiscard]] PPDXControl* FindJobNote(char const* keyword, bool const& exact) const;
  [[nodiscard]] PPDXControl* FindSpecialOption(char const* keyword, bool const& exact) const;

  // Count of a type's counters under the current display options.
  [[nodiscard]] long PopupCount() const;
  [[nodiscard]] long BooleanCount() const;
  [[nodiscard]] long RangeCount() const;
  [[nodiscard]] long FloatRangeCount() const;
  [[nodiscard]] long CustomPageSizeCount() const;
  // Job notes are counted under display options 1 (hidden ones left out, orphans included),
  // special options under 3 (all), whatever the current options; those are not changed.
  [[nodiscard]] long JobNoteCount() const;
  [[nodiscard]] long SpecialOptionsCount() const;
  // Popups + booleans + ranges + float ranges + job notes + custom page sizes, each as its count
  // function gives it; special options are not counted.
  [[nodiscard]] long ControlCount() const;

  // No popup, boolean, range, float range or job note counts.
  [[nodiscard]] bool Empty() const;
  [[nodiscard]] bool NoPopups() const { return PopupCount() == 0; }
  [[nodiscard]] bool NoBooleanControls() const { return BooleanCount() == 0; }
  [[nodiscard]] bool NoRangeControls() const { return RangeCount() == 0; }
  [[nodiscard]] bool NoFloatRangeControls() const { return FloatRangeCount() == 0; }
  [[nodiscard]] bool NoJobNotes() const { return JobNoteCount() == 0; }
  [[nodiscard]] bool NoSpecialOptions() const { return SpecialOptionsCount() == 0; }

 private:
  struct TypeList {
    PPDXElementList list{/*owning=*/false};
    CountArray counts;
  };

  TypeList& ListOf(CNTL_TYPE type) { return typeLists_[static_cast<size_t>(type)]; }
  [[nodiscard]] TypeList const& ListOf(CNTL_TYPE type) const {
    return typeLists_[static_cast<size_t>(type)];
  }
  PPDXControl* FirstOf(CNTL_TYPE type);
  PPDXControl* NextOf(CNTL_TYPE type);
  [[nodiscard]] PPDXControl* FindOf(CNTL_TYPE type, char const* keyword, bool exact) const;
  [[nodiscard]] long CountOf(CNTL_TYPE type, _DISPLAY_OPTIONS_ options) const;

  PPDXElementList all_;
  // Indexed by CNTL_TYPE; entry 0 (no concrete type) stays empty.
  std::array<TypeList, kCustomPageSizeControl + 1> typeLists_;
};

// Flat functions over an untyped control list; a null list gives 0, false or null. The finders
// take `exact` as the member functions do; `type` may be null.
extern "C" {
long GetControlCount(void* controls);
long GetPopupCount(void* controls);
long GetBooleanCount(void* controls);
long GetRangeCount(void* controls);
long GetFloatRangeCount(void* controls);
long GetJobnoteCount(void* controls);
void* Find(void* controls, char const* keyword, CNTL_TYPE* type, bool exact);
void* GetFirst(void* controls, CNTL_TYPE* type);
void* GetNext(void* controls, CNTL_TYPE* type);
void* GetFirstPopupControl(void* controls);
void* GetNextPopupControl(void* controls);
void* GetFindPopup(void* controls, char const* keyword, bool exact);
void* GetFirstBooleanControl(void* controls);
void* GetNextBooleanControl(void* controls);
void* GetFindBoolean(void* controls, char const* keyword, bool exact);
void* GetFirstRangeControl(void* controls);
void* GetNextRangeControl(void* controls);
void* GetFindRangeControl(void* controls, char const* keyword, bool exact);
void* GetFirstFloatRangeControl(void* controls);
void* GetNextFloatRangeControl(void* controls);
void* GetFindFloatRangeControl(void* controls, char const* keyword, bool exact);
void* GetFirstJobNote(void* controls);
void* GetNextJobNote(void* controls);
void* GetFindJobNote(void* controls, char const* keyword, bool exact);
bool GetEmpty(void* controls);
bool GetNoPopups(void* controls);
bool GetNoBooleanControls(void* controls);
bool GetNoRangeControls(void* controls);
bool GetNoFloatRangeControls(void* controls);
bool GetNoJobNotes(void* controls);
}
