#include "PPDX/PPDObjects/PPDXElement.h"

#include <cstring>
#include <vector>

#include "TextConverter/TextConverter.h"

PPDXElement::PPDXElement(char const* keyword, std::string localizedName, bool const& visible)
    : localizedName_(std::move(localizedName)), visible_(visible) {
  if (keyword != nullptr) keyword_ = keyword;
}

PPDXElement::~PPDXElement() = default;

bool PPDXElement::OkayToDisplay(_DISPLAY_OPTIONS_ const& options) const {
  switch (options) {
    case 0: return visible_ && !IsOrphan();
    case kDisplayOrphans: return visible_;
    case kDisplayHidden: return !IsOrphan();
    default: return true;
  }
}

char const* PPDXElement::Keyword() const {
  return keyword_.empty() ? nullptr : keyword_.c_str();
}

char const* PPDXElement::UserName() {
  if (!userName_) {
    if (localizedName_.empty()) {
      userName_ = std::make_unique<CString>("");
    } else {
      // Four bytes for every character is room enough in any 8-bit or multi-byte encoding.
      std::vector<char> buffer(localizedName_.size() * 4 + 1);
      TextConverter::CFStringToCstring(localizedName_, buffer.data(),
                                       static_cast<long>(buffer.size()));
      userName_ = std::make_unique<CString>(buffer.data());
    }
  }
  return *userName_;
}

void PPDXElement::SetLocalizedName(std::string name) {
  localizedName_ = std::move(name);
  userName_.reset();
}

bool PPDXElement::operator==(PPDXElement const& other) const {
  return other.Keyword() != nullptr && *this == other.Keyword();
}

bool PPDXElement::operator==(char const* keyword) const {
  return keyword != nullptr && Keyword() != nullptr && std::strcmp(Keyword(), keyword) == 0;
}

extern "C" {

char const* Keyword(void* element) {
  return element ? static_cast<PPDXElement*>(element)->Keyword() : nullptr;
}
char const* UserName(void* element) {
  return element ? static_cast<PPDXElement*>(element)->UserName() : nullptr;
}
bool IsVisible(void* element) { return element && static_cast<PPDXElement*>(element)->IsVisible(); }
bool IsOrphan(void* element) { return !element || static_cast<PPDXElement*>(element)->IsOrphan(); }
void* GetParent(void* element) {
  return element ? static_cast<PPDXElement*>(element)->GetParent() : nullptr;
}
bool EqualsElement(void* element, void* other) {
  return element && other &&
         *static_cast<PPDXElement*>(element) == *static_cast<PPDXElement*>(other);
}
bool EqualsKeyWord(void* element, char const* keyword) {
  return element && *static_cast<PPDXElement*>(element) == keyword;
}

}  // extern "C"
