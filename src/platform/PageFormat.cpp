#include "platform/PageFormat.h"

namespace quill {

bool PageFormat::SetOrientation(uint32_t orientation) {
  if (orientation < kPortrait || orientation > kReverseLandscape) return false;
  orientation_ = orientation;
  return true;
}

bool PageFormat::SetPaper(std::string name, double widthPoints, double heightPoints) {
  if (name.empty() || !(widthPoints > 0) || !(heightPoints > 0)) return false;
  paperName_ = std::move(name);
  width_ = widthPoints;
  height_ = heightPoints;
  return true;
}

int PageFormat::IPPOrientation() const {
  switch (orientation_) {
    case kLandscape:
      return 4;
    case kReverseLandscape:
      return 5;
    case kReversePortrait:
      return 6;
    default:
      return 3;
  }
}

}  // namespace quill
