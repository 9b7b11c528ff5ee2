// Small stand-ins for the concrete controls: a control of any type, with a deletion counter, and
// helpers that build elements in each orphan/visibility state.
#pragma once

#include <optional>
#include <string>

#include "PPDX/PPDObjects/Controls/PPDXControl.h"
#include "PPDX/PPDObjects/PPDXGroup.h"
#include "foundation/PointerList.h"

namespace containers_test {

class TestControl : public PPDXControl {
 public:
  // `deleted` (may be null) is incremented when the control is destroyed.
  TestControl(char const* keyword, CNTL_TYPE type, bool visible = true, int* deleted = nullptr)
      : PPDXControl(keyword, "Name of control", NoFlags(), nullptr, 0, visible, nullptr),
        deleted_(deleted) {
    SetType(type);
  }
  ~TestControl() override {
    if (deleted_ != nullptr) ++*deleted_;
  }

  void ResetToDefaultValue() override {}
  std::optional<std::string> CopyCurrentControlValueString() override { return std::nullopt; }
  void SetCurrentControlWithCFString(std::string const&) override {}

 private:
  static PointerList& NoFlags() {
    static PointerList empty;
    return empty;
  }

  int* deleted_;
};

class CountedGroup : public PPDXGroup {
 public:
  CountedGroup(char const* keyword, bool visible, int* deleted)
      : PPDXGroup(keyword, "Name of group", visible), deleted_(deleted) {}
  ~CountedGroup() override { ++*deleted_; }

 private:
  int* deleted_;
};

// The four states an element can be counted in.
struct State {
  bool visible;
  bool parented;
};
inline constexpr State kShown{true, true};
inline constexpr State kOrphan{true, false};
inline constexpr State kHidden{false, true};
inline constexpr State kHiddenOrphan{false, false};

}  // namespace containers_test
