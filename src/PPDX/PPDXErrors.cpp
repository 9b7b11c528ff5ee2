#include "PPDX/PPDXErrors.h"

#include <algorithm>

PPDXErrors::PPDXErrors() = default;
PPDXErrors::~PPDXErrors() = default;

void PPDXErrors::Add(PPDXErrorObj* error) {
  if (error == nullptr) return;
  const bool present = std::any_of(errors_.begin(), errors_.end(),
                                   [error](const auto& held) { return held.get() == error; });
  if (!present) errors_.emplace_back(error);
}

PPDXErrorObj* PPDXErrors::First() {
  cursor_ = 0;
  return At(0);
}

PPDXErrorObj* PPDXErrors::Next() {
  if (cursor_ < errors_.size()) ++cursor_;
  return At(cursor_);
}

PPDXErrorObj* PPDXErrors::At(size_t index) const {
  return index < errors_.size() ? errors_[index].get() : nullptr;
}

extern "C" {

void* FirstError(void* errors) {
  return errors ? static_cast<PPDXErrors*>(errors)->First() : nullptr;
}
void* NextError(void* errors) {
  return errors ? static_cast<PPDXErrors*>(errors)->Next() : nullptr;
}
bool ErrorListIsEmpty(void* errors) {
  return errors == nullptr || static_cast<PPDXErrors*>(errors)->Empty();
}
long ErrorCount(void* errors) {
  return errors ? static_cast<long>(static_cast<PPDXErrors*>(errors)->Count()) : 0;
}
char const* GetErrorKeyword(void* error) {
  return error ? static_cast<PPDXErrorObj*>(error)->Keyword() : nullptr;
}
char const* GetErrorDescription(void* error) {
  return error ? static_cast<PPDXErrorObj*>(error)->Description() : nullptr;
}
bool IsErrorFatal(void* error) { return error && static_cast<PPDXErrorObj*>(error)->IsFatal(); }

}  // extern "C"
