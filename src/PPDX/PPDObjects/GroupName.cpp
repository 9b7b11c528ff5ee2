#include "PPDX/PPDObjects/GroupName.h"

GroupName::GroupName(char const* keyword, std::string displayName, bool visible)
    : displayName_(std::move(displayName)), visible_(visible) {
  if (keyword != nullptr && keyword[0] != '\0') keyword_ = std::make_unique<CString>(keyword);
}

char const* GroupName::Keyword() const {
  return keyword_ ? static_cast<char const*>(*keyword_) : nullptr;
}
