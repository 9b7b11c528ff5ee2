// PPDXScrollPane: the group that a property page shows as its scroll pane; it lists its
// roll-downs. The list only points to the roll-downs; the parser's main group list owns them and
// must outlive the pane's use of them.
#pragma once

#include <memory>
#include <string>

#include "PPDX/PPDObjects/PPDXGroup.h"

class PPDXGroups;

class PPDXScrollPane : public PPDXGroup {
 public:
  // Makes an empty, non-owning roll-down list.
  PPDXScrollPane(char const* keyword, std::string name, bool const& visible);
  ~PPDXScrollPane() override;

  // The pane's roll-downs, in the order they were added; never null.
  [[nodiscard]] PPDXGroups* RollDowns() const { return rollDowns_.get(); }

 private:
  std::unique_ptr<PPDXGroups> rollDowns_;  // the list is owned, its roll-downs are not
};

// Flat functions over an untyped element; null or an element of another kind gives null/false.
extern "C" {
// The pane's roll-down list.
void* GetScrollPaneRollDowns(void* group);
bool IsScrollPane(void* element);
}
