// PPDXCustomPageSizeControl: the custom page size, a width and a height (in points) with their
// limits, made from the vendor's "*%ParamCustomPrintSize" lines. It is always visible, named
// "Custom Page Size", and has no code of its own.
#pragma once

#include <optional>
#include <string>

#include "PPDX/PPDObjects/Controls/PPDXControl.h"

class PPDXCustomPageSizeControl : public PPDXControl {
 public:
  // Takes ownership of the flag strings of `flags` (CString* made with new). Width, height and
  // (in the first form) the limits start at 0.
  PPDXCustomPageSizeControl(char const* keyword, PointerList& flags);
  PPDXCustomPageSizeControl(char const* keyword, PointerList& flags, double minWidth,
                            double maxWidth, double minHeight, double maxHeight);
  ~PPDXCustomPageSizeControl() override;

  // The size and its limits, kept as given: the limits are not applied to the size.
  [[nodiscard]] float GetWidth() const { return width_; }
  [[nodiscard]] float GetHeight() const { return height_; }
  void SetWidth(float width) { width_ = width; }
  void SetHeight(float height) { height_ = height; }
  [[nodiscard]] float MinWidth() const { return minWidth_; }
  [[nodiscard]] float MaxWidth() const { return maxWidth_; }
  [[nodiscard]] float MinHeight() const { return minHeight_; }
  [[nodiscard]] float MaxHeight() const { return maxHeight_; }
  void SetMinWidth(float value) { minWidth_ = value; }
  void SetMaxWidth(float value) { maxWidth_ = value; }
  void SetMinHeight(float value) { minHeight_ = value; }
  void SetMaxHeight(float value) { maxHeight_ = value; }

  // The size has no default to go back to: nothing happens.
  void ResetToDefaultValue() override {}
  // "<width> <height>" with six decimals each ("%f %f"), the same in every locale.
  [[nodiscard]] std::optional<std::string> CopyCurrentControlValueString() override;
  // The width is the decimal number at the start of the text, the height the one after the first
  // space (the same number again when there is no space); a missing number reads as 0.
  void SetCurrentControlWithCFString(std::string const& value) override;
  // Accepts "<width> <height>" or one number for both (decimal numbers in points, one blank
  // between them), each above 0 and, where a maximum is set (above 0), within its limits.
  // Refusals: kValueNotANumber, kValueOutOfRange.
  [[nodiscard]] ValueRefusal CheckValue(std::string const& value, std::string* why) const override;

 private:
  float width_ = 0;
  float height_ = 0;
  float minWidth_ = 0;
  float maxWidth_ = 0;
  float minHeight_ = 0;
  float maxHeight_ = 0;
};
