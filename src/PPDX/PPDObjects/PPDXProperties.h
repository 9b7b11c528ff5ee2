// PPDXProperties: the property pages of a PPD in the order they were added. The parser's list
// owns its pages; a list made as non-owning only points to pages whose owner must outlive it.
// Iteration and `Find` see every page, whatever the display options. One cursor, so one
// iteration at a time per list.
#pragma once

#include "PPDX/PPDObjects/PPDXElementList.h"

class PPDXProperty;

class PPDXProperties {
 public:
  // `ownsPages`: the list deletes its pages when it goes.
  explicit PPDXProperties(bool ownsPages = true);
  virtual ~PPDXProperties();
  PPDXProperties(const PPDXProperties&) = delete;
  PPDXProperties& operator=(const PPDXProperties&) = delete;

  // Appends the page. Returns false, adding nothing, for null and, in an owning list, for a page
  // already in it.
  bool Add(PPDXProperty* page);
  [[nodiscard]] bool Empty() const { return pages_.Empty(); }
  [[nodiscard]] long Count() const { return static_cast<long>(pages_.Size()); }
  // Iterate every page; null at the end.
  PPDXProperty* First();
  PPDXProperty* Next();
  // The first page whose keyword equals `keyword` (exact) or contains it; null when none or for a
  // null keyword. The cursor is left where it was.
  [[nodiscard]] PPDXProperty* Find(char const* keyword, bool const& exact) const;

 private:
  PPDXElementList pages_;
};

// Flat functions over an untyped page list; a null list gives 0, false or null.
extern "C" {
void* FirstProperty(void* properties);
void* NextProperty(void* properties);
void* FindProperty(void* properties, char const* keyword, bool exact);
bool IsPropertyListEmpty(void* properties);
long PropertyCount(void* properties);
}
