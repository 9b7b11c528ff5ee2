#include "PPDX/PPDObjects/Controls/PPDXCustomPageSizeControl.h"

#include <charconv>
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
