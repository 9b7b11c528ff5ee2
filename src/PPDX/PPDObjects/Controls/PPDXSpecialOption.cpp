#include "PPDX/PPDObjects/Controls/PPDXSpecialOption.h"

#include "foundation/PointerList.h"

namespace {

// The flag list of an option made without one; PPDXControl only reads it.
PointerList& no_flags() {
  static PointerList empty;
  return empty;
}

}  // namespace

PPDXSpecialOption::PPDXSpecialOption()
    : PPDXControl(nullptr, std::string(), no_flags(), nullptr, 0, false, nullptr),
      value_(std::make_unique<CString>("")) {
  SetType(kSpecialOptionControl);
}

PPDXSpecialOption::PPDXSpecialOption(char const* keyword, std::string localizedName,
                                     PointerList& controlFlags, char const* value,
                                     unsigned char* code, long codeLength, bool visible)
    : PPDXControl(keyword, std::move(localizedName), controlFlags, code, codeLength, visible,
                  nullptr),
      value_(std::make_unique<CString>(value)) {
  SetType(kSpecialOptionControl);
}

PPDXSpecialOption::~PPDXSpecialOption() = default;

std::optional<std::string> PPDXSpecialOption::CopyCurrentControlValueString() {
  char const* text = *value_;
  if (text == nullptr) return std::string();
  std::string ascii(text);
  for (unsigned char byte : ascii) {
    if (byte > 0x7F) return std::nullopt;
  }
  return ascii;
}

void PPDXSpecialOption::SetCurrentControlWithCFString(std::string const& /*value*/) {}

ValueRefusal PPDXSpecialOption::CheckValue(std::string const& /*value*/, std::string* why) const {
  return RefuseValue(kValueServerOption, why, "belongs to the server and cannot be set");
}

void PPDXSpecialOption::ResetToDefaultValue() { *value_ = ""; }

namespace {

PPDXSpecialOption* as_option(void* control) {
  auto* as_control = static_cast<PPDXControl*>(control);
  if (as_control == nullptr || as_control->Type() != kSpecialOptionControl) return nullptr;
  return static_cast<PPDXSpecialOption*>(as_control);
}

}  // namespace

extern "C" {

bool IsSpecialOptionControl(void* control) { return as_option(control) != nullptr; }

char const* GetSpecialOptionValue(void* option) {
  PPDXSpecialOption* o = as_option(option);
  return o ? static_cast<char const*>(*o->GetValue()) : nullptr;
}

}  // extern "C"
