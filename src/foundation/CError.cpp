#include "foundation/CError.h"

CError::CError() = default;

CError::CError(short const& code, CString const& text, bool const& fatal)
    : code_(code), description_(text), fatal_(fatal) {}

char const* CError::Description() const {
  return description_.Empty() ? nullptr : static_cast<char const*>(description_);
}

void CError::Description(char const* text) { description_ = text; }
