// PPDXRollDown: a group that is shown as a roll-down inside a scroll pane and lists the controls
// placed in it. The list only points to the controls; the parser's main control list owns them
// and must outlive the roll-down's use of them.
#pragma once

#include <memory>
#include <string>

#include "PPDX/PPDObjects/PPDXGroup.h"

class PPDXControls;

class PPDXRollDown : public PPDXGroup {
 public:
  // Makes an empty, non-owning control list.
  PPDXRollDown(char const* keyword, std::string name, bool const& visible);
  ~PPDXRollDown() override;

  // The roll-down's controls, in the order they were placed; never null.
  [[nodiscard]] PPDXControls* Controls() const { return controls_.get(); }

 private:
  std::unique_ptr<PPDXControls> controls_;  // the list is owned, its controls are not
};

// Flat functions over an untyped element; null or an element of another kind gives null/false.
extern "C" {
// The roll-down's control list.
void* GetRollDownControlList(void* group);
bool IsRollDown(void* element);
}
