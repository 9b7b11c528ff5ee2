// GroupName: a group declared by a *%KRTGroupName line, kept while the PPD is parsed so that the
// group can be made when a control or a *%KRTParent line first names it.
#pragma once

#include <memory>
#include <string>

#include "foundation/CString.h"

class GroupName {
 public:
  // `keyword`: the group keyword (null or empty: none). `displayName`: the translation (UTF-8).
  GroupName(char const* keyword, std::string displayName, bool visible);
  GroupName(const GroupName&) = delete;
  GroupName& operator=(const GroupName&) = delete;

  // The keyword; null when there is none.
  [[nodiscard]] char const* Keyword() const;
  [[nodiscard]] const std::string& DisplayName() const { return displayName_; }
  [[nodiscard]] bool IsVisible() const { return visible_; }

 private:
  std::unique_ptr<CString> keyword_;
  std::string displayName_;
  bool visible_;
};
