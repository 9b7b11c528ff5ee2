// PPDXRangeControl: an option whose value is a whole number between a minimum and a maximum in
// steps of an increment, made from the vendor's range keywords. Its PostScript is the control's
// code template with the number put in, wrapped as a feature block; the substituted code is made
// once and kept until the value changes.
#pragma once

#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

#include "PPDX/PPDObjects/Controls/PPDXControl.h"

class PPDXRangeControl : public PPDXControl {
 public:
  // Takes ownership of the flag strings of `flags` (CString* made with new) and of `code` (the
  // template, made with malloc, may be null). The value starts at `defaultValue` as given.
  PPDXRangeControl(char const* keyword, std::string name, PointerList& flags, unsigned char* code,
                   long codeLength, long min, long max, long increment, long defaultValue,
                   bool visible);
  ~PPDXRangeControl() override;

  [[nodiscard]] long MinVal() const { return min_; }
  [[nodiscard]] long MaxVal() const { return max_; }
  [[nodiscard]] long Increment() const { return increment_; }
  [[nodiscard]] long DefaultValue() const { return default_; }
  [[nodiscard]] long GetValue() const { return value_; }
  // The value becomes v moved towards zero to a multiple of the increment (v itself with an
  // increment of 0), then raised to the minimum and lowered to the maximum. Drops the code cache.
  void SetValue(long v);
  // SetValue(DefaultValue()).
  void ResetToDefaultValue() override;

  // The value in decimal ("%d").
  [[nodiscard]] std::optional<std::string> CopyCurrentControlValueString() override;
  // SetValue of the integer at the start of the text (0 when there is none).
  void SetCurrentControlWithCFString(std::string const& value) override;
  // Accepts a whole number (optional sign, digits, nothing else) that SetValue keeps as it is.
  // Refusals: kValueNotANumber, kValueOutOfRange (outside minimum..maximum, or beyond what the
  // setter reads), kValueOffIncrement (SetValue would move it to another step; the phrase names
  // that value).
  [[nodiscard]] ValueRefusal CheckValue(std::string const& value, std::string* why) const override;

  // Feature block "%%BeginFeature: <keyword> <value>\n", the template with the value substituted
  // for "<keyword>" (or a line feed without a template), "%%EndFeature\n", written to `out` when
  // it is given; returns the byte count either way. 0 when the control has no keyword.
  long PostScript(unsigned char* out) override;

 private:
  struct FreeDeleter {
    void operator()(unsigned char* p) const { std::free(p); }
  };
  // What SetValue(v) makes the value.
  [[nodiscard]] long Constrained(long v) const;

  long value_;
  long min_;
  long max_;
  long increment_;
  long default_;
  std::unique_ptr<unsigned char, FreeDeleter> cache_;  // the template with value_ put in
  long cacheLength_ = 0;
};

// Flat functions over an untyped range control; a null control (or one of another kind) gives 0,
// and SetRangeValue does nothing.
extern "C" {
long GetRangeValue(void* control);
void SetRangeValue(void* control, long value);
long GetRangeMinimum(void* control);
long GetRangeMaximum(void* control);
long GetRangeIncrement(void* control);
long GetRangeDefaultVal(void* control);
long RangePostScript(void* control, unsigned char* out);
}
