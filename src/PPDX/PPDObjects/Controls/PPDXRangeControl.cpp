#include "PPDX/PPDObjects/Controls/PPDXRangeControl.h"

#include <algorithm>
#include <climits>

#include "foundation/CStringUtils.h"

PPDXRangeControl::PPDXRangeControl(char const* keyword, std::string name, PointerList& flags,
                                   unsigned char* code, long codeLength, long min, long max,
                                   long increment, long defaultValue, bool visible)
    : PPDXControl(keyword, std::move(name), flags, code, codeLength, visible, nullptr),
      value_(defaultValue),
      min_(min),
      max_(max),
      increment_(increment),
      default_(defaultValue) {
  SetType(kRangeControl);
}

PPDXRangeControl::~PPDXRangeControl() = default;

long PPDXRangeControl::Constrained(long v) const {
  long value = v;
  // The remainder keeps the sign of v, so the value moves towards zero. An increment of -1 leaves
  // no remainder, and asking for one would overflow for the smallest long.
  if (increment_ != 0 && increment_ != -1) value = v - v % increment_;
  if (value < min_) value = min_;
  if (value > max_) value = max_;
  return value;
}

void PPDXRangeControl::SetValue(long v) {
  value_ = Constrained(v);
  cache_.reset();
  cacheLength_ = 0;
}

void PPDXRangeControl::ResetToDefaultValue() { SetValue(default_); }

std::optional<std::string> PPDXRangeControl::CopyCurrentControlValueString() {
  return std::to_string(value_);
}

void PPDXRangeControl::SetCurrentControlWithCFString(std::string const& value) {
  SetValue(string2Number(value.c_str()));
}

ValueRefusal PPDXRangeControl::CheckValue(std::string const& value, std::string* why) const {
  const std::optional<long> number = wholeNumber(value);
  if (!number) return RefuseValue(kValueNotANumber, why, "is not a whole number");
  // The setter reads the text as an int; beyond that it would take the nearest int instead.
  const long low = std::max<long>(min_, INT_MIN);
  const long high = std::min<long>(max_, INT_MAX);
  if (*number < low || *number > high) {
    return RefuseValue(kValueOutOfRange, why,
                       "is outside " + std::to_string(low) + ".." + std::to_string(high));
  }
  if (const long kept = Constrained(*number); kept != *number) {
    return RefuseValue(kValueOffIncrement, why,
                       "is not a step of " + std::to_string(increment_) + " (it would become " +
                           std::to_string(kept) + ")");
  }
  return kValueAccepted;
}

long PPDXRangeControl::PostScript(unsigned char* out) {
  if (Keyword() == nullptr) return 0;
  // The whole value, also beyond the range of int.
  const std::string number = std::to_string(value_);
  if (!cache_ && Code() != nullptr && CodeLength() > 0) {
    unsigned char* injected = nullptr;
    const long length = Inject(Keyword(), Code(), CodeLength(), number.c_str(), injected);
    cache_.reset(injected);
    cacheLength_ = injected != nullptr ? length : 0;
  }
  return GeneratePSOutputData(out, cache_.get(), cacheLength_, number.c_str(), true);
}

namespace {

PPDXRangeControl* as_range(void* control) {
  auto* base = static_cast<PPDXControl*>(control);
  return base != nullptr && base->Type() == kRangeControl ? static_cast<PPDXRangeControl*>(base)
                                                          : nullptr;
}

}  // namespace

extern "C" {

long GetRangeValue(void* control) {
  auto* range = as_range(control);
  return range ? range->GetValue() : 0;
}
void SetRangeValue(void* control, long value) {
  if (auto* range = as_range(control)) range->SetValue(value);
}
long GetRangeMinimum(void* control) {
  auto* range = as_range(control);
  return range ? range->MinVal() : 0;
}
long GetRangeMaximum(void* control) {
  auto* range = as_range(control);
  return range ? range->MaxVal() : 0;
}
long GetRangeIncrement(void* control) {
  auto* range = as_range(control);
  return range ? range->Increment() : 0;
}
long GetRangeDefaultVal(void* control) {
  auto* range = as_range(control);
  return range ? range->DefaultValue() : 0;
}
long RangePostScript(void* control, unsigned char* out) {
  auto* range = as_range(control);
  return range ? range->PostScript(out) : 0;
}

}  // extern "C"
