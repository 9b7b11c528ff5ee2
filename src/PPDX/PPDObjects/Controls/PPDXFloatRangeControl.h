// PPDXFloatRangeControl: an option whose value is a decimal number between a minimum and a
// maximum, made from the vendor's float range keyword. Its PostScript is the control's code
// template with the number ("%9.4f") put in, wrapped as a feature block; the substituted code is
// made once and kept until the value changes.
#pragma once

#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

#include "PPDX/PPDObjects/Controls/PPDXControl.h"

class PPDXFloatRangeControl : public PPDXControl {
 public:
  // Takes ownership of the flag strings of `flags` (CString* made with new) and of `code` (the
  // template, made with malloc, may be null; `codeLength` is a byte count). The numbers are kept
  // as 32-bit floats; the value starts at `defaultValue` as given.
  PPDXFloatRangeControl(char const* keyword, std::string name, PointerList& flags,
                        unsigned char* code, double codeLength, double min, double max,
                        double increment, double defaultValue, bool visible);
  ~PPDXFloatRangeControl() override;

  [[nodiscard]] float MinVal() const { return min_; }
  [[nodiscard]] float MaxVal() const { return max_; }
  // Kept as the PPD gives it; values are not moved onto its grid.
  [[nodiscard]] float Increment() const { return increment_; }
  [[nodiscard]] float DefaultValue() const { return default_; }
  [[nodiscard]] float GetValue() const { return value_; }
  // The value becomes v raised to the minimum, then lowered to the maximum (a NaN counts as
  // below the minimum). Drops the code cache.
  void SetValue(float v);
  // SetValue(DefaultValue()).
  void ResetToDefaultValue() override;

  // The value with three decimals ("%.3f"), the same in every locale.
  [[nodiscard]] std::optional<std::string> CopyCurrentControlValueString() override;
  // SetValue of the decimal number at the start of the text (0 when there is none).
  void SetCurrentControlWithCFString(std::string const& value) override;
  // Accepts a decimal number ("." as the decimal point in every locale, nothing else around it)
  // within minimum..maximum as the control keeps them (32-bit floats). Refusals:
  // kValueNotANumber, kValueOutOfRange.
  [[nodiscard]] ValueRefusal CheckValue(std::string const& value, std::string* why) const override;

  // Feature block "%%BeginFeature: <keyword> <value %9.4f>\n", the template with that text
  // substituted for "<keyword>" (or a line feed without a template), "%%EndFeature\n", written
  // to `out` when it is given; returns the byte count either way. 0 without a keyword.
  long PostScript(unsigned char* out) override;

 private:
  struct FreeDeleter {
    void operator()(unsigned char* p) const { std::free(p); }
  };

  float value_;
  float min_;
  float max_;
  float increment_;
  float default_;
  std::unique_ptr<unsigned char, FreeDeleter> cache_;  // the template with value_ put in
  long cacheLength_ = 0;
};
