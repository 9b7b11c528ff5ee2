#include "PPDX/PPDObjects/PPDXControls.h"

#include "foundation/ProcessGlobals.h"

namespace {

// The filter of the current display options, read once per call.
PPDXElementList::ShownUnder Shown() { return {Globals().displayOptions}; }

// Every element of a control list was added as a PPDXControl.
PPDXControl* AsControl(PPDXElement* element) { return static_cast<PPDXControl*>(element); }

PPDXControl* Typed(PPDXControl* control, CNTL_TYPE& type) {
  if (control != nullptr) type = control->Type();
  return control;
}

}  // namespace

PPDXControls::PPDXControls(bool ownsControls) : all_(ownsControls) {}

PPDXControls::~PPDXControls() = default;

bool PPDXControls::Add(PPDXControl* control) {
  if (!all_.Add(control)) return false;
  const CNTL_TYPE type = control->Type();
  if (type > kBaseControl && type <= kCustomPageSizeControl) {
    TypeList& typed = ListOf(type);
    typed.list.Add(control);
    typed.counts.Add(*control);
  }
  return true;
}

PPDXControl* PPDXControls::First(CNTL_TYPE& type) {
  return Typed(AsControl(all_.First(Shown())), type);
}

PPDXControl* PPDXControls::Next(CNTL_TYPE& type) {
  return Typed(AsControl(all_.Next(Shown())), type);
}

PPDXControl* PPDXControls::Find(char const* keyword, CNTL_TYPE& type, bool const& exact) {
  return Typed(AsControl(all_.At(all_.Find(keyword, exact, Shown()))), type);
}

PPDXControl* PPDXControls::FirstOf(CNTL_TYPE type) {
  return AsControl(ListOf(type).list.First(PPDXElementList::AnyElement));
}

PPDXControl* PPDXControls::NextOf(CNTL_TYPE type) {
  return AsControl(ListOf(type).list.Next(PPDXElementList::AnyElement));
}

PPDXControl* PPDXControls::FindOf(CNTL_TYPE type, char const* keyword, bool exact) const {
  PPDXElementList const& list = ListOf(type).list;
  return AsControl(list.At(list.Find(keyword, exact, PPDXElementList::AnyElement)));
}

long PPDXControls::CountOf(CNTL_TYPE type, _DISPLAY_OPTIONS_ options) const {
  return static_cast<long>(Count(ListOf(type).counts, options));
}

PPDXControl* PPDXControls::FirstPopupControl() { return FirstOf(kPopupControl); }
PPDXControl* PPDXControls::NextPopupControl() { return NextOf(kPopupControl); }
PPDXControl* PPDXControls::FirstBooleanControl() { return FirstOf(kBooleanControl); }
PPDXControl* PPDXControls::NextBooleanControl() { return NextOf(kBooleanControl); }
PPDXControl* PPDXControls::FirstRangeControl() { return FirstOf(kRangeControl); }
PPDXControl* PPDXControls::NextRangeControl() { return NextOf(kRangeControl); }
PPDXControl* PPDXControls::FirstFloatRangeControl() { return FirstOf(kFloatRangeControl); }
PPDXControl* PPDXControls::NextFloatRangeControl() { return NextOf(kFloatRangeControl); }
PPDXControl* PPDXControls::FirstJobNote() { return FirstOf(kJobNoteControl); }
PPDXControl* PPDXControls::NextJobNote() { return NextOf(kJobNoteControl); }
PPDXControl* PPDXControls::FirstSpecialOption() { return FirstOf(kSpecialOptionControl); }
PPDXControl* PPDXControls::NextSpecialOption() { return NextOf(kSpecialOptionControl); }

PPDXControl* PPDXControls::FindPopup(char const* keyword, bool const& exact) const {
  return FindOf(kPopupControl, keyword, exact);
}
PPDXControl* PPDXControls::FindBoolean(char const* keyword, bool const& exact) const {
  return FindOf(kBooleanControl, keyword, exact);
}
PPDXControl* PPDXControls::FindRangeControl(char const* keyword, bool const& exact) const {
  return FindOf(kRangeControl, keyword, exact);
}
PPDXControl* PPDXControls::FindFloatRangeControl(char const* keyword, bool const& exact) const {
  return FindOf(kFloatRangeControl, keyword, exact);
}
PPDXControl* PPDXControls::FindJobNote(char const* keyword, bool const& exact) const {
  return FindOf(kJobNoteControl, keyword, exact);
}
PPDXControl* PPDXControls::FindSpecialOption(char const* keyword, bool const& exact) const {
  return FindOf(kSpecialOptionControl, keyword, exact);
}

long PPDXControls::PopupCount() const { return CountOf(kPopupControl, Globals().displayOptions); }
long PPDXControls::BooleanCount() const {
  return CountOf(kBooleanControl, Globals().displayOptions);
}
long PPDXControls::RangeCount() const { return CountOf(kRangeControl, Globals().displayOptions); }
long PPDXControls::FloatRangeCount() const {
  return CountOf(kFloatRangeControl, Globals().displayOptions);
}
long PPDXControls::CustomPageSizeCount() const {
  return CountOf(kCustomPageSizeControl, Globals().displayOptions);
}
long PPDXControls::JobNoteCount() const { return CountOf(kJobNoteControl, kDisplayOrphans); }
long PPDXControls::SpecialOptionsCount() const {
  return CountOf(kSpecialOptionControl, kDisplayOrphans | kDisplayHidden);
}

long PPDXControls::ControlCount() const {
  return PopupCount() + BooleanCount() + RangeCount() + FloatRangeCount() + JobNoteCount() +
         CustomPageSizeCount();
}

bool PPDXControls::Empty() const {
  return NoPopups() && NoBooleanControls() && NoRangeControls() && NoFloatRangeControls() &&
         NoJobNotes();
}

namespace {

PPDXControls* AsControls(void* controls) { return static_cast<PPDXControls*>(controls); }

// A caller that passes no type slot gets the type written into a scratch one.
CNTL_TYPE& TypeSlot(CNTL_TYPE* type, CNTL_TYPE& scratch) { return type ? *type : scratch; }

}  // namespace

extern "C" {

long GetControlCount(void* controls) { return controls ? AsControls(controls)->ControlCount() : 0; }
long GetPopupCount(void* controls) { return controls ? AsControls(controls)->PopupCount() : 0; }
long GetBooleanCount(void* controls) { return controls ? AsControls(controls)->BooleanCount() : 0; }
long GetRangeCount(void* controls) { return controls ? AsControls(controls)->RangeCount() : 0; }
long GetFloatRangeCount(void* controls) {
  return controls ? AsControls(controls)->FloatRangeCount() : 0;
}
long GetJobnoteCount(void* controls) { return controls ? AsControls(controls)->JobNoteCount() : 0; }

void* Find(void* controls, char const* keyword, CNTL_TYPE* type, bool exact) {
  CNTL_TYPE scratch = kBaseControl;
  return controls ? AsControls(controls)->Find(keyword, TypeSlot(type, scratch), exact) : nullptr;
}
void* GetFirst(void* controls, CNTL_TYPE* type) {
  CNTL_TYPE scratch = kBaseControl;
  return controls ? AsControls(controls)->First(TypeSlot(type, scratch)) : nullptr;
}
void* GetNext(void* controls, CNTL_TYPE* type) {
  CNTL_TYPE scratch = kBaseControl;
  return controls ? AsControls(controls)->Next(TypeSlot(type, scratch)) : nullptr;
}

void* GetFirstPopupControl(void* controls) {
  return controls ? AsControls(controls)->FirstPopupControl() : nullptr;
}
void* GetNextPopupControl(void* controls) {
  return controls ? AsControls(controls)->NextPopupControl() : nullptr;
}
void* GetFindPopup(void* controls, char const* keyword, bool exact) {
  return controls ? AsControls(controls)->FindPopup(keyword, exact) : nullptr;
}
void* GetFirstBooleanControl(void* controls) {
  return controls ? AsControls(controls)->FirstBooleanControl() : nullptr;
}
void* GetNextBooleanControl(void* controls) {
  return controls ? AsControls(controls)->NextBooleanControl() : nullptr;
}
void* GetFindBoolean(void* controls, char const* keyword, bool exact) {
  return controls ? AsControls(controls)->FindBoolean(keyword, exact) : nullptr;
}
void* GetFirstRangeControl(void* controls) {
  return controls ? AsControls(controls)->FirstRangeControl() : nullptr;
}
void* GetNextRangeControl(void* controls) {
  return controls ? AsControls(controls)->NextRangeControl() : nullptr;
}
void* GetFindRangeControl(void* controls, char const* keyword, bool exact) {
  return controls ? AsControls(controls)->FindRangeControl(keyword, exact) : nullptr;
}
void* GetFirstFloatRangeControl(void* controls) {
  return controls ? AsControls(controls)->FirstFloatRangeControl() : nullptr;
}
void* GetNextFloatRangeControl(void* controls) {
  return controls ? AsControls(controls)->NextFloatRangeControl() : nullptr;
}
void* GetFindFloatRangeControl(void* controls, char const* keyword, bool exact) {
  return controls ? AsControls(controls)->FindFloatRangeControl(keyword, exact) : nullptr;
}
void* GetFirstJobNote(void* controls) {
  return controls ? AsControls(controls)->FirstJobNote() : nullptr;
}
void* GetNextJobNote(void* controls) {
  return controls ? AsControls(controls)->NextJobNote() : nullptr;
}
void* GetFindJobNote(void* controls, char const* keyword, bool exact) {
  return controls ? AsControls(controls)->FindJobNote(keyword, exact) : nullptr;
}

bool GetEmpty(void* controls) { return controls && AsControls(controls)->Empty(); }
bool GetNoPopups(void* controls) { return controls && AsControls(controls)->NoPopups(); }
bool GetNoBooleanControls(void* controls) {
  return controls && AsControls(controls)->NoBooleanControls();
}
bool GetNoRangeControls(void* controls) {
  return controls && AsControls(controls)->NoRangeControls();
}
bool GetNoFloatRangeControls(void* controls) {
  return controls && AsControls(controls)->NoFloatRangeControls();
}
bool GetNoJobNotes(void* controls) { return controls && AsControls(controls)->NoJobNotes(); }

}  // extern "C"
