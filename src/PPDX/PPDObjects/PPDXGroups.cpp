#include "PPDX/PPDObjects/PPDXGroups.h"

#include "PPDX/PPDObjects/PPDXGroup.h"
#include "foundation/ProcessGlobals.h"

namespace {

// The filter of the current display options, read once per call.
PPDXElementList::ShownUnder Shown() { return {Globals().displayOptions}; }

// Every element of a group list was added as a PPDXGroup.
PPDXGroup* AsGroup(PPDXElement* element) { return static_cast<PPDXGroup*>(element); }

PPDXGroups* AsGroups(void* groups) { return static_cast<PPDXGroups*>(groups); }

}  // namespace

PPDXGroups::PPDXGroups(bool ownsGroups) : groups_(ownsGroups) {}

PPDXGroups::~PPDXGroups() = default;

bool PPDXGroups::Add(PPDXGroup* group) {
  if (!groups_.Add(group)) return false;
  counts_.Add(*group);
  return true;
}

PPDXGroup* PPDXGroups::First() { return AsGroup(groups_.First(Shown())); }

PPDXGroup* PPDXGroups::Next() { return AsGroup(groups_.Next(Shown())); }

PPDXGroup* PPDXGroups::Find(char const* keyword, bool const& exact) const {
  return AsGroup(groups_.At(groups_.Find(keyword, exact, PPDXElementList::AnyElement)));
}

long PPDXGroups::Count() const {
  return static_cast<long>(::Count(counts_, Globals().displayOptions));
}

extern "C" {

void* FirstGroup(void* groups) { return groups ? AsGroups(groups)->First() : nullptr; }
void* NextGroup(void* groups) { return groups ? AsGroups(groups)->Next() : nullptr; }
void* FindGroup(void* groups, char const* keyword, bool exact) {
  return groups ? AsGroups(groups)->Find(keyword, exact) : nullptr;
}
bool IsGrouPointerListEmpty(void* groups) { return groups && AsGroups(groups)->Empty(); }
long GroupCount(void* groups) { return groups ? AsGroups(groups)->Count() : 0; }

}  // extern "C"
