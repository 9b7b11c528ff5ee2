// PPDXSpecialOption: a fixed keyword/value pair of the PPD ("*%KRTSpecialOption: *Keyword:
// Value") that the panel reads to switch features on or off, such as the server's UTF-8 level
// (*KRUTF8_Version). The user never edits it, so it cannot be set from a string.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "PPDX/PPDObjects/Controls/PPDXControl.h"

class PPDXSpecialOption : public PPDXControl {
 public:
  // No keyword, no display name, hidden, value "".
  PPDXSpecialOption();
  // `keyword`, `localizedName`, `controlFlags`, `code` (malloc'd, owned from now on; may be
  // null), `codeLength` and `visible` go to PPDXControl; the value is a copy of `value` (null
  // gives a value without text).
  PPDXSpecialOption(char const* keyword, std::string localizedName, PointerList& controlFlags,
                    char const* value, unsigned char* code, long codeLength, bool visible);
  ~PPDXSpecialOption() override;

  // The value; never null (its text may be null or "").
  [[nodiscard]] CString* GetValue() const { return value_.get(); }

  // The value read as ASCII: "" when it has no text; nullopt when it holds a byte above 0x7F.
  [[nodiscard]] std::optional<std::string> CopyCurrentControlValueString() override;
  // A special option keeps its PPD value: the call changes nothing.
  void SetCurrentControlWithCFString(std::string const& value) override;
  // Refuses every value (kValueServerOption): the server sets special options, not the user.
  [[nodiscard]] ValueRefusal CheckValue(std::string const& value, std::string* why) const override;
  // The value becomes "".
  void ResetToDefaultValue() override;

 private:
  std::unique_ptr<CString> value_;  // *%KRTSpecialOption value
};

// Flat functions over an untyped control. A null control, or one that is not a special option,
// gives false or null.
extern "C" {
bool IsSpecialOptionControl(void* control);
// The value's text; null when it has none.
char const* GetSpecialOptionValue(void* option);
}
