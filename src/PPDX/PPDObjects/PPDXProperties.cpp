#include "PPDX/PPDObjects/PPDXProperties.h"

#include "PPDX/PPDObjects/PPDXProperty.h"

namespace {

// Every element of a page list was added as a PPDXProperty.
PPDXProperty* AsProperty(PPDXElement* element) { return static_cast<PPDXProperty*>(element); }

PPDXProperties* AsProperties(void* properties) { return static_cast<PPDXProperties*>(properties); }

}  // namespace

PPDXProperties::PPDXProperties(bool ownsPages) : pages_(ownsPages) {}

PPDXProperties::~PPDXProperties() = default;

bool PPDXProperties::Add(PPDXProperty* page) { return pages_.Add(page); }

PPDXProperty* PPDXProperties::First() {
  return AsProperty(pages_.First(PPDXElementList::AnyElement));
}

PPDXProperty* PPDXProperties::Next() {
  return AsProperty(pages_.Next(PPDXElementList::AnyElement));
}

PPDXProperty* PPDXProperties::Find(char const* keyword, bool const& exact) const {
  return AsProperty(pages_.At(pages_.Find(keyword, exact, PPDXElementList::AnyElement)));
}

extern "C" {

void* FirstProperty(void* properties) {
  return properties ? AsProperties(properties)->First() : nullptr;
}
void* NextProperty(void* properties) {
  return properties ? AsProperties(properties)->Next() : nullptr;
}
void* FindProperty(void* properties, char const* keyword, bool exact) {
  return properties ? AsProperties(properties)->Find(keyword, exact) : nullptr;
}
bool IsPropertyListEmpty(void* properties) {
  return properties && AsProperties(properties)->Empty();
}
long PropertyCount(void* properties) { return properties ? AsProperties(properties)->Count() : 0; }

}  // extern "C"
