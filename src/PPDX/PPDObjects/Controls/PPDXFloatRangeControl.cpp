#include "PPDX/PPDObjects/Controls/PPDXFloatRangeControl.h"

#include <charconv>
#include <cmath>
#include <string>

#include "foundation/CStringUtils.h"

PPDXFloatRangeControl::PPDXFloatRangeControl(char const* keyword, std::string name,
                                             PointerList& flags, unsigned char* code,
                                             double codeLength, double min, double max,
                                             double increment, double defaultValue, bool visible)
    : PPDXControl(keyword, std::move(name), flags, code, static_cast<long>(codeLength), visible,
                  nullptr),
      value_(static_cast<float>(defaultValue)),
      min_(static_cast<float>(min)),
      max_(static_cast<float>(max)),
      increment_(static_cast<float>(increment)),
      default_(static_cast<float>(defaultValue)) {
  SetType(kFloatRangeControl);
}

PPDXFloatRangeControl::~PPDXFloatRangeControl() = default;

void PPDXFloatRangeControl::SetValue(float v) {
  float value = std::isnan(v) ? min_ : v;
  if (value < min_) value = min_;
  if (value > max_) value = max_;
  value_ = value;
  cache_.reset();
  cacheLength_ = 0;
}

void PPDXFloatRangeControl::ResetToDefaultValue() { SetValue(default_); }

std::optional<std::string> PPDXFloatRangeControl::CopyCurrentControlValueString() {
  char buffer[64];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, static_cast<double>(value_),
                              std::chars_format::fixed, 3);
  return std::string(buffer, result.ptr);
}

void PPDXFloatRangeControl::SetCurrentControlWithCFString(std::string const& value) {
  SetValue(static_cast<float>(decimalValue(value)));
}

ValueRefusal PPDXFloatRangeControl::CheckValue(std::string const& value, std::string* why) const {
  const std::optional<double> number = decimalNumber(value);
  if (!number) return RefuseValue(kValueNotANumber, why, "is not a number");
  const auto kept = static_cast<float>(*number);
  if (std::isinf(kept) || kept < min_ || kept > max_) {
    return RefuseValue(kValueOutOfRange, why,
                       "is outside " + shortestDecimal(min_) + ".." + shortestDecimal(max_));
  }
  return kValueAccepted;
}

long PPDXFloatRangeControl::PostScript(unsigned char* out) {
  if (Keyword() == nullptr) return 0;
  char number[kFloat2StringSize];
  float2String(number, value_);
  if (!cache_ && Code() != nullptr && CodeLength() > 0) {
    unsigned char* injected = nullptr;
    const long length = Inject(Keyword(), Code(), CodeLength(), number, injected);
    cache_.reset(injected);
    cacheLength_ = injected != nullptr ? length : 0;
  }
  return GeneratePSOutputData(out, cache_.get(), cacheLength_, number, true);
}
