// PPDXErrors: the parse errors of one PPD, in the order they were found, with a cursor for
// walking them (First, Next). The list owns the error objects.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "PPDX/PPDXErrorObj.h"

class PPDXErrors {
 public:
  PPDXErrors();
  virtual ~PPDXErrors();
  PPDXErrors(const PPDXErrors&) = delete;
  PPDXErrors& operator=(const PPDXErrors&) = delete;

  // Appends the error and takes ownership of it. A null error or one already in the list is
  // not added again.
  void Add(PPDXErrorObj* error);
  [[nodiscard]] bool Empty() const { return errors_.empty(); }
  [[nodiscard]] size_t Count() const { return errors_.size(); }
  // The first error (the cursor moves to it); null when the list is empty.
  PPDXErrorObj* First();
  // The error after the cursor; null at the end.
  PPDXErrorObj* Next();
  // The error at `index` in list order; null out of range. Does not move the cursor.
  [[nodiscard]] PPDXErrorObj* At(size_t index) const;

 private:
  std::vector<std::unique_ptr<PPDXErrorObj>> errors_;
  size_t cursor_ = 0;
};

// Flat functions; a null list or error counts as no list or no error.
extern "C" {
void* FirstError(void* errors);
void* NextError(void* errors);
bool ErrorListIsEmpty(void* errors);
long ErrorCount(void* errors);
char const* GetErrorKeyword(void* error);
char const* GetErrorDescription(void* error);
bool IsErrorFatal(void* error);
}
