#include "PPDX/PPDObjects/Controls/PPDXBooleanControl.h"

#include <strings.h>

namespace {

constexpr char kTrue[] = "True";
constexpr char kFalse[] = "False";

char const* text_of(const std::unique_ptr<CString>& text) {
  return text ? static_cast<char const*>(*text) : nullptr;
}

long length_of(const unsigned char* code, long length) {
  return code == nullptr || length < 0 ? 0 : length;
}

}  // namespace

PPDXBooleanControl::PPDXBooleanControl(char const* keyword, std::string name, PointerList& flags,
                                       bool visible, CString* trueText, unsigned char* trueCode,
                                       long trueLength, CString* falseText,
                                       unsigned char* falseCode, long falseLength,
                                       bool defaultValue, UIConstraints* constraints)
    : PPDXControl(keyword, std::move(name), flags, nullptr, 0, visible, constraints),
      value_(defaultValue),
      default_(defaultValue),
      trueText_(trueText),
      falseText_(falseText),
      trueCode_(trueCode),
      trueLength_(length_of(trueCode, trueLength)),
      falseCode_(falseCode),
      falseLength_(length_of(falseCode, falseLength)) {
  SetType(kBooleanControl);
  UpdateKVCache(Keyword(), value_ ? kTrue : kFalse);
}

PPDXBooleanControl::~PPDXBooleanControl() = default;

void PPDXBooleanControl::SetValue(bool value) {
  value_ = value;
  UpdateKVCache(Keyword(), value_ ? kTrue : kFalse);
}

void PPDXBooleanControl::ResetToDefaultValue() { SetValue(default_); }

char const* PPDXBooleanControl::TrueDisplayText() const { return text_of(trueText_); }

char const* PPDXBooleanControl::FalseDisplayText() const { return text_of(falseText_); }

std::optional<std::string> PPDXBooleanControl::CopyCurrentControlValueString() {
  return std::string(value_ ? kTrue : kFalse);
}

void PPDXBooleanControl::SetCurrentControlWithCFString(std::string const& value) {
  bool is_true = value.size() >= 4;
  for (size_t i = 0; is_true && i < 4; ++i) {
    const char c = value[i];
    const char lower = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    is_true = lower == "true"[i];
  }
  SetValue(is_true);
}

ValueRefusal PPDXBooleanControl::CheckValue(std::string const& value, std::string* why) const {
  if (strcasecmp(value.c_str(), kTrue) == 0 || strcasecmp(value.c_str(), kFalse) == 0) {
    if (value.find('\0') == std::string::npos) return kValueAccepted;
  }
  return RefuseValue(kValueNotTrueOrFalse, why, "is not True or False");
}

std::string PPDXBooleanControl::OptionForValue(std::string const& value) const {
  if (CheckValue(value, nullptr) != kValueAccepted) return value;
  return strcasecmp(value.c_str(), kTrue) == 0 ? kTrue : kFalse;
}

long PPDXBooleanControl::PostScript(unsigned char* out) {
  return value_ ? GeneratePSOutputData(out, trueCode_.get(), trueLength_, kTrue, true)
                : GeneratePSOutputData(out, falseCode_.get(), falseLength_, kFalse, true);
}

namespace {

PPDXBooleanControl* as_boolean(void* control) {
  auto* base = static_cast<PPDXControl*>(control);
  return base != nullptr && base->Type() == kBooleanControl ? static_cast<PPDXBooleanControl*>(base)
                                                            : nullptr;
}

}  // namespace

extern "C" {

bool IsTrue(void* control) {
  auto* boolean = as_boolean(control);
  return boolean && boolean->IsTrue();
}
void SetValue(void* control, bool value) {
  if (auto* boolean = as_boolean(control)) boolean->SetValue(value);
}
long BooleanPostScript(void* control, unsigned char* out) {
  auto* boolean = as_boolean(control);
  return boolean ? boolean->PostScript(out) : 0;
}
char const* TrueDisplayText(void* control) {
  auto* boolean = as_boolean(control);
  return boolean ? boolean->TrueDisplayText() : nullptr;
}
char const* FalseDisplayText(void* control) {
  auto* boolean = as_boolean(control);
  return boolean ? boolean->FalseDisplayText() : nullptr;
}
bool DefaultState(void* control) {
  auto* boolean = as_boolean(control);
  return boolean && boolean->DefaultState();
}

}  // extern "C"
