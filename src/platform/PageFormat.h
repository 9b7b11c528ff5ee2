// PageFormat: the page set-up of one print (paper and orientation), as the dialog keeps it beside
// the print settings. At submission it becomes the CUPS job options "media" and
// "orientation-requested".
#pragma once

#include <cstdint>
#include <string>

namespace quill {

class PageFormat {
 public:
  // Orientation codes of the page format.
  static constexpr uint32_t kPortrait = 1;
  static constexpr uint32_t kLandscape = 2;
  static constexpr uint32_t kReversePortrait = 3;
  static constexpr uint32_t kReverseLandscape = 4;

  // Portrait, paper "Letter" of 612 x 792 points.
  PageFormat() = default;

  // 1 to 4 (see above).
  [[nodiscard]] uint32_t Orientation() const { return orientation_; }
  // False (nothing changed) for a code other than 1 to 4.
  bool SetOrientation(uint32_t orientation);

  // The PPD name of the paper ("A4", "Letter", ...).
  [[nodiscard]] const std::string& PaperName() const { return paperName_; }
  // Paper size in points.
  [[nodiscard]] double PaperWidth() const { return width_; }
  [[nodiscard]] double PaperHeight() const { return height_; }
  // False (nothing changed) for an empty name or a size that is not positive.
  bool SetPaper(std::string name, double widthPoints, double heightPoints);

  // The IPP "orientation-requested" value: 3 portrait, 4 landscape, 5 reverse landscape,
  // 6 reverse portrait.
  [[nodiscard]] int IPPOrientation() const;

 private:
  uint32_t orientation_ = kPortrait;
  std::string paperName_ = "Letter";
  double width_ = 612;
  double height_ = 792;
};

}  // namespace quill
