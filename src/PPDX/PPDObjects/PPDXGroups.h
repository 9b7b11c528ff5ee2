// PPDXGroups: a list of groups (plain groups, scroll panes, roll-downs) in the order they were
// added, with the counters that give the number shown under the display options.
//
// The parser's main list owns every group; a scroll pane's list of roll-downs only points to
// groups of the main list, which must outlive it. Iteration follows the process-wide display
// options (Globals().displayOptions); `Find` sees every group. One cursor, so one iteration at a
// time per list.
#pragma once

#include "PPDX/PPDObjects/CountArray.h"
#include "PPDX/PPDObjects/PPDXElementList.h"

class PPDXGroup;

class PPDXGroups {
 public:
  // `ownsGroups`: the list deletes its groups when it goes (the parser's main list); a list made
  // with false only points to them.
  explicit PPDXGroups(bool ownsGroups = true);
  virtual ~PPDXGroups();
  PPDXGroups(const PPDXGroups&) = delete;
  PPDXGroups& operator=(const PPDXGroups&) = delete;

  // Appends the group and counts it by its orphan and visibility state at this moment. Returns
  // false, adding nothing, for null and, in an owning list, for a group already in it.
  bool Add(PPDXGroup* group);
  // Iterate the groups that OkayToDisplay(current display options) accepts; null at the end.
  PPDXGroup* First();
  PPDXGroup* Next();
  // The first group, shown or not, whose keyword equals `keyword` (exact) or contains it; null
  // when none or for a null keyword. The cursor is left where it was.
  [[nodiscard]] PPDXGroup* Find(char const* keyword, bool const& exact) const;
  // How many groups First/Next would give under the current display options, judged by each
  // group's state when it was added.
  [[nodiscard]] long Count() const;
  // Count() is 0.
  [[nodiscard]] bool Empty() const { return Count() == 0; }

 private:
  PPDXElementList groups_;
  CountArray counts_;
};

// Flat functions over an untyped group list; a null list gives 0, false or null.
extern "C" {
void* FirstGroup(void* groups);
void* NextGroup(void* groups);
void* FindGroup(void* groups, char const* keyword, bool exact);
bool IsGrouPointerListEmpty(void* groups);
long GroupCount(void* groups);
}
