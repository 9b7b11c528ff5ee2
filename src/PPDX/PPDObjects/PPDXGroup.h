// PPDXGroup: a named group of the PPD tree. A plain group holds nothing itself; it serves as the
// parent of controls. Scroll panes and roll-downs are groups too.
#pragma once

#include <string>

#include "PPDX/PPDObjects/PPDXElement.h"

class PPDXGroup : public PPDXElement {
 public:
  // `keyword`: the group keyword (null or empty: none); `name`: the display name (UTF-8).
  PPDXGroup(char const* keyword, std::string name, bool const& visible);
  ~PPDXGroup() override;
};
