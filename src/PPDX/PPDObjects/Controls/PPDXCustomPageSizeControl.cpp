#include "PPDX/PPDObjects/Controls/PPDXCustomPageSizeControl.h"

#include <charconv>
#include <string_view>

namespace {

constexpr char kCustomPageSizeName[] = "Custom Page Size";

// The decimal number at the start of the text (after white space), read the same in every
// locale; 0 when the text does not start with one.
double decimal_value(std::string_view text) {
  const char* p = text.data();
  const char* end = p + text.size();
  while (p < end && (*p == ' ' || (*p >= '\t' && *p <= '\r'))) ++p;
  if (p < end && *p == '+') ++p;
  const char* digits = p < end && *p == '-' ? p + 1 : p;
  if (digits >= end || !((*digits >= '0' && *digits <= '9') || *digits == '.')) return 0;
  double value = 0;
  if (std::from_chars(p, end, value).ec != std::errc()) return 0;
  return value;
}

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

std::optional<std::string> PPDXCustomPageSizeControl::CopyCurrentControlValueString() {
  return fixed6(width_) + " " + fixed6(height_);
}

void PPDXCustomPageSizeControl::SetCurrentControlWithCFString(std::string const& value) {
  const std::string_view text = value;
  const size_t space = text.find(' ');
  width_ = static_cast<float>(decimal_value(text));
  height_ = static_cast<float>(
      decimal_value(space == std::string_view::npos ? text : text.substr(space + 1)));
}
