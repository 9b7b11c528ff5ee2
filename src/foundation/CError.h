// CError: an error record of the PPD layer: a code, a description and whether it is fatal.
#pragma once

#include "foundation/CString.h"

class CError {
 public:
  // Code 0, no description, not fatal.
  CError();
  CError(short const& code, CString const& text, bool const& fatal);
  CError(CError const& other) = default;
  CError& operator=(CError const& other) = default;
  ~CError() = default;

  // Compare the code.
  bool operator==(short code) const { return code_ == code; }
  bool operator!=(short code) const { return code_ != code; }

  [[nodiscard]] short Code() const { return code_; }
  // The description; null when it is empty.
  [[nodiscard]] char const* Description() const;
  // Replaces the description (a null text clears it).
  void Description(char const* text);
  [[nodiscard]] bool IsFatal() const { return fatal_; }

 private:
  short code_ = 0;
  CString description_;
  bool fatal_ = false;
};
