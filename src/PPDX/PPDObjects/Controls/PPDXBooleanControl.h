// PPDXBooleanControl: an on/off option made from a PPD Boolean group. It holds the display text
// and the PostScript code of each state, reports every change of its state to the constraint
// store as "True" or "False", and writes the code of its state as a feature block.
#pragma once

#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

#include "PPDX/PPDObjects/Controls/PPDXControl.h"

class PPDXBooleanControl : public PPDXControl {
 public:
  // Takes ownership of the flag strings of `flags` (CString* made with new), of the display
  // texts (made with new; either may be null) and of the codes (made with malloc; either may be
  // null; a negative length counts as 0). The state starts at the default and is reported to
  // `constraints` (not owned; may be null).
  PPDXBooleanControl(char const* keyword, std::string name, PointerList& flags, bool visible,
                     CString* trueText, unsigned char* trueCode, long trueLength,
                     CString* falseText, unsigned char* falseCode, long falseLength,
                     bool defaultValue, UIConstraints* constraints);
  ~PPDXBooleanControl() override;

  [[nodiscard]] bool IsTrue() const { return value_; }
  // Sets the state and reports (keyword, "True" or "False").
  void SetValue(bool value);
  void SetDefaultValue(bool value) { default_ = value; }
  [[nodiscard]] bool DefaultState() const { return default_; }
  // SetValue(DefaultState()).
  void ResetToDefaultValue() override;

  // The display texts of the two states; null when the PPD gave none.
  [[nodiscard]] char const* TrueDisplayText() const;
  [[nodiscard]] char const* FalseDisplayText() const;

  // "True" or "False".
  [[nodiscard]] std::optional<std::string> CopyCurrentControlValueString() override;
  // True when the text begins with "True" in any case ("TRUE", "Trueish"); false for any other
  // text, shorter ones included. The state is reported.
  void SetCurrentControlWithCFString(std::string const& value) override;
  // Accepts "True" and "False" in any case; anything else is kValueNotTrueOrFalse (the setter
  // would read "Trueish" as true and every other text as false).
  [[nodiscard]] ValueRefusal CheckValue(std::string const& value, std::string* why) const override;
  // "True" or "False" for those texts in any case; other texts as they are.
  [[nodiscard]] std::string OptionForValue(std::string const& value) const override;

  // Feature block "%%BeginFeature: <keyword> True|False\n", the code of the current state (or a
  // line feed when it has none), "%%EndFeature\n", written to `out` when it is given; returns the
  // byte count either way.
  long PostScript(unsigned char* out) override;

 private:
  struct FreeDeleter {
    void operator()(unsigned char* p) const { std::free(p); }
  };
  using Code = std::unique_ptr<unsigned char, FreeDeleter>;

  bool value_;
  bool default_;  // *Default<Keyword> is True
  std::unique_ptr<CString> trueText_;
  std::unique_ptr<CString> falseText_;
  Code trueCode_;
  long trueLength_;
  Code falseCode_;
  long falseLength_;
};

// Flat functions over an untyped boolean control; a null control (or one of another kind) gives
// false, 0 or null, and SetValue does nothing.
extern "C" {
bool IsTrue(void* control);
void SetValue(void* control, bool value);
long BooleanPostScript(void* control, unsigned char* out);
char const* TrueDisplayText(void* control);
char const* FalseDisplayText(void* control);
bool DefaultState(void* control);
}
