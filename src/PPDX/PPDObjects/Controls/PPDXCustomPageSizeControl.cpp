#include "PPDX/PPDObjects/Controls/PPDXCustomPageSizeControl.h"

#include <charconv>
#include <cmath>
#include <string_view>

#include "foundation/CStringUtils.h"

namespace {

constexpr char kCustomPageSizeName[] = "Custom Page Size";

std::string fixed6(float value) {
  char buffer[64];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, static_cast<double>(value),
                              std::chars_format::fixed, 6);
  return std::string(buffer, result.ptr);
}

}  // namespace

PPDXCustomPageSizeControl::PPDXCustomPageSizeControl(char const* keyword, PointerList& flags)
    : PPDXControl(keyword, kCustomPageSizeName, flags, nullptr, 0, true, nullptr) {
  SetType(kCustomPageSizeControl);
}

PPDXCustomPageSizeControl::PPDXCustomPageSizeControl(char const* keyword, PointerList& flags,
                                                     double minWidth, double maxWidth,
                                                     double minHeight, double maxHeight)
    : PPDXCustomPageSizeControl(keyword, flags) {
  minWidth_ = static_cast<float>(minWidth);
  maxWidth_ = static_cast<float>(maxWidth);
  minHeight_ = static_cast<float>(minHeight);
  maxHeight_ = static_cast<float>(maxHeight);
}

PPDXCustomPageSizeControl::~PPDXCustomPageSizeControl() = default;

ValueRefusal PPDXCustomPageSizeControl::CheckValue(std::string const& value,
                                                   std::string* why) const {
  const size_t space = value.find(' ');
  const std::optional<double> width = decimalNumber(std::string_view(value).substr(0, space));
  const std::optional<double> height =
      space == std::string::npos ? width : decimalNumber(std::string_view(value).substr(space + 1));
  if (!width || !height) return RefuseValue(kValueNotANumber, why, "is not \"WIDTH HEIGHT\"");
  struct Side {
    const char* name;
    float size;
    float min;
    float max;
  };
  for (const Side& side : {Side{"width", static_cast<float>(*width), minWidth_, maxWidth_},
                           Side{"height", static_cast<float>(*height), minHeight_, maxHeight_}}) {
    if (!(side.size > 0) || std::isinf(side.size)) {
      return RefuseValue(kValueOutOfRange, why, std::string("has no positive ") + side.name);
    }
    if (side.max > 0 && (side.size < side.min || side.size > side.max)) {
      return RefuseValue(kValueOutOfRange, why,
                         std::string("has a ") + side.name + " outside " +
                             shortestDecimal(side.min) + ".." + shortestDecimal(side.max));
    }
  }
  return kValueAccepted;
}

std::optional<std::string> PPDXCustomPageSizeControl::CopyCurrentControlValueString() {
  return fixed6(width_) + " " + fixed6(height_);
}

void PPDXCustomPageSizeControl::SetCurrentControlWithCFString(std::string const& value) {
  const std::string_view text = value;
  const size_t space = text.find(' ');
  width_ = static_cast<float>(decimalValue(text));
  height_ = static_cast<float>(
      decimalValue(space == std::string_view::npos ? text : text.substr(space + 1)));
}
