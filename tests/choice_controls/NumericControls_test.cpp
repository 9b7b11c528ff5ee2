// PPDXRangeControl, PPDXFloatRangeControl and PPDXCustomPageSizeControl: the value grid and
// limits, number texts, the substituted code and its cache, and the custom size's text form.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <memory>
#include <string>

#include "ChoiceFixtures.h"
#include "PPDX/PPDObjects/Controls/PPDXCustomPageSizeControl.h"
#include "PPDX/PPDObjects/Controls/PPDXFloatRangeControl.h"
#include "PPDX/PPDObjects/Controls/PPDXPopupControl.h"
#include "PPDX/PPDObjects/Controls/PPDXRangeControl.h"

using namespace choice_test;

namespace {

constexpr std::string_view kCopiesCode = "<</NumCopies <*KRCopies>>>setpagedevice\n";

std::unique_ptr<PPDXRangeControl> MakeRange(long min, long max, long increment, long def,
                                            std::string_view code = kCopiesCode,
                                            const char* keyword = "*KRCopies") {
  PointerList flags = Flags({"Dynamic"});
  return std::make_unique<PPDXRangeControl>(keyword, "Copies", flags, MallocCode(code),
                                            static_cast<long>(code.size()), min, max, increment,
                                            def, true);
}

std::unique_ptr<PPDXFloatRangeControl> MakeFloat(std::string_view code = "/Gamma <*KRGamma> def\n",
                                                 const char* keyword = "*KRGamma") {
  PointerList flags;
  return std::make_unique<PPDXFloatRangeControl>(keyword, "Gamma", flags, MallocCode(code),
                                                 static_cast<double>(code.size()), 0.5, 2.0, 0.1,
                                                 1.0, true);
}

}  // namespace

TEST(RangeControl, ValuesMoveOntoTheGridThenIntoTheLimits) {
  struct Case {
    long min, max, increment, value, expected;
  };
  const Case cases[] = {
      {0, 100, 5, 13, 10},
      {0, 100, 5, -7, 0},  // -7 becomes -5, then the minimum
      {0, 100, 5, 250, 100},
      {0, 100, 5, 100, 100},
      {-50, 50, 5, -7, -5},  // towards zero, not down
      {0, 100, 0, 13, 13},   // no grid
      {1, 999, 1, 0, 1},
      {LONG_MIN, LONG_MAX, -1, LONG_MIN, LONG_MIN},
      {LONG_MIN, LONG_MAX, 10, LONG_MIN, LONG_MIN + 8},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << c.min << ".." << c.max << " step " << c.increment << " set " << c.value);
    auto range = MakeRange(c.min, c.max, c.increment, c.min);
    range->SetValue(c.value);
    EXPECT_EQ(range->GetValue(), c.expected);
  }
}

TEST(RangeControl, TextValuesAndDefault) {
  auto range = MakeRange(0, 100, 5, 20);
  EXPECT_EQ(range->Type(), kRangeControl);
  EXPECT_EQ(range->GetValue(), 20);
  range->SetCurrentControlWithCFString("37");
  EXPECT_EQ(range->CopyCurrentControlValueString(), "35");
  range->SetCurrentControlWithCFString("copies");
  EXPECT_EQ(range->GetValue(), 0);
  range->SetPresetValueString(" 64 pages");
  EXPECT_EQ(range->CopyPresetValueString(), "60");
  range->ResetToDefaultValue();
  EXPECT_EQ(range->GetValue(), 20);

  // The start value is the default as the PPD gives it, even off the grid.
  auto offGrid = MakeRange(0, 100, 5, 17);
  EXPECT_EQ(offGrid->GetValue(), 17);
  offGrid->ResetToDefaultValue();
  EXPECT_EQ(offGrid->GetValue(), 15);
}

TEST(RangeControl, FeatureBlockFollowsTheValue) {
  auto range = MakeRange(1, 999, 1, 1);
  EXPECT_EQ(FeatureOf(*range),
            "%%BeginFeature: *KRCopies 1\n<</NumCopies 1>>setpagedevice\n%%EndFeature\n");
  // A new value drops the substituted code made for the old one.
  range->SetValue(13);
  EXPECT_EQ(FeatureOf(*range),
            "%%BeginFeature: *KRCopies 13\n<</NumCopies 13>>setpagedevice\n%%EndFeature\n");
  EXPECT_EQ(FeatureOf(*range),
            "%%BeginFeature: *KRCopies 13\n<</NumCopies 13>>setpagedevice\n%%EndFeature\n");
  range->ResetToDefaultValue();
  EXPECT_EQ(FeatureOf(*range),
            "%%BeginFeature: *KRCopies 1\n<</NumCopies 1>>setpagedevice\n%%EndFeature\n");

  auto noCode = MakeRange(1, 9, 1, 3, "");
  EXPECT_EQ(FeatureOf(*noCode), "%%BeginFeature: *KRCopies 3\n\n%%EndFeature\n");
  auto noKeyword = MakeRange(1, 9, 1, 3, kCopiesCode, nullptr);
  EXPECT_EQ(noKeyword->PostScript(nullptr), 0);
}

TEST(RangeControl, FlatFunctions) {
  auto range = MakeRange(0, 100, 5, 20);
  void* control = range.get();
  EXPECT_EQ(GetRangeMinimum(control), 0);
  EXPECT_EQ(GetRangeMaximum(control), 100);
  EXPECT_EQ(GetRangeIncrement(control), 5);
  EXPECT_EQ(GetRangeDefaultVal(control), 20);
  SetRangeValue(control, 43);
  EXPECT_EQ(GetRangeValue(control), 40);
  EXPECT_EQ(Written([&](unsigned char* out) { return RangePostScript(control, out); }),
            "%%BeginFeature: *KRCopies 40\n<</NumCopies 40>>setpagedevice\n%%EndFeature\n");
  EXPECT_TRUE(GetFirstControlFlag(control) != nullptr);

  auto popup = MakePopup("*PageSize", PaperItems(), "A4");
  for (void* other : {static_cast<void*>(nullptr), static_cast<void*>(popup.get())}) {
    EXPECT_EQ(GetRangeValue(other), 0);
    SetRangeValue(other, 3);
    EXPECT_EQ(GetRangeMinimum(other), 0);
    EXPECT_EQ(GetRangeMaximum(other), 0);
    EXPECT_EQ(GetRangeIncrement(other), 0);
    EXPECT_EQ(GetRangeDefaultVal(other), 0);
    EXPECT_EQ(RangePostScript(other, nullptr), 0);
  }
  EXPECT_EQ(popup->GetValue(), 2);
}

TEST(FloatRangeControl, ValuesAreHeldWithinTheLimits) {
  struct Case {
    float value;
    float expected;
    const char* text;
  };
  const Case cases[] = {
      {3.7f, 2.0f, "2.000"},       {0.1f, 0.5f, "0.500"}, {1.25f, 1.25f, "1.250"},
      {-9.0f, 0.5f, "0.500"},      {NAN, 0.5f, "0.500"},  {INFINITY, 2.0f, "2.000"},
      {1.0004f, 1.0004f, "1.000"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    auto gamma = MakeFloat();
    gamma->SetValue(c.value);
    EXPECT_FLOAT_EQ(gamma->GetValue(), c.expected);
    EXPECT_EQ(gamma->CopyCurrentControlValueString(), c.text);
  }
}

TEST(FloatRangeControl, TextValuesAndFeatureBlock) {
  auto gamma = MakeFloat();
  EXPECT_EQ(gamma->Type(), kFloatRangeControl);
  EXPECT_FLOAT_EQ(gamma->GetValue(), 1.0f);
  EXPECT_FLOAT_EQ(gamma->MinVal(), 0.5f);
  EXPECT_FLOAT_EQ(gamma->MaxVal(), 2.0f);
  EXPECT_FLOAT_EQ(gamma->Increment(), 0.1f);

  struct Case {
    const char* text;
    float expected;
  };
  const Case cases[] = {{"1.5", 1.5f},   {" 1.75 gamma", 1.75f}, {"+1.2", 1.2f},
                        {"gamma", 0.5f}, {"nan", 0.5f},          {".9", 0.9f}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    gamma->SetCurrentControlWithCFString(c.text);
    EXPECT_FLOAT_EQ(gamma->GetValue(), c.expected);
  }

  // The number is written "%9.4f": nine characters, four decimals.
  gamma->SetValue(3.7f);
  EXPECT_EQ(FeatureOf(*gamma),
            "%%BeginFeature: *KRGamma    2.0000\n/Gamma    2.0000 def\n%%EndFeature\n");
  gamma->ResetToDefaultValue();
  EXPECT_EQ(FeatureOf(*gamma),
            "%%BeginFeature: *KRGamma    1.0000\n/Gamma    1.0000 def\n%%EndFeature\n");
  EXPECT_EQ(MakeFloat("", "*KRGamma")->PostScript(nullptr),
            std::string("%%BeginFeature: *KRGamma    1.0000\n\n%%EndFeature\n").size());
  EXPECT_EQ(MakeFloat("/Gamma <*KRGamma> def\n", nullptr)->PostScript(nullptr), 0);
}

TEST(CustomPageSizeControl, SizeFromText) {
  struct Case {
    const char* text;
    float width;
    float height;
  };
  const Case cases[] = {
      {"612 792", 612, 792},
      {"612", 612, 612},  // no space: the one number is both
      {"612.5 800.25", 612.5f, 800.25f},
      {"", 0, 0},
      {"wide 792", 0, 792},
  };
  PointerList flags;
  PPDXCustomPageSizeControl size("*CustomPrintSize", flags);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    size.SetCurrentControlWithCFString(c.text);
    EXPECT_FLOAT_EQ(size.GetWidth(), c.width);
    EXPECT_FLOAT_EQ(size.GetHeight(), c.height);
  }
  size.SetCurrentControlWithCFString("612 792");
  EXPECT_EQ(size.CopyCurrentControlValueString(), "612.000000 792.000000");
  // Nothing to reset to.
  size.ResetToDefaultValue();
  EXPECT_FLOAT_EQ(size.GetWidth(), 612);
}

TEST(CustomPageSizeControl, FixedNameAndLimits) {
  PointerList flags;
  PPDXCustomPageSizeControl size("*CustomPrintSize", flags, 100, 900, 150, 1200);
  EXPECT_EQ(size.Type(), kCustomPageSizeControl);
  EXPECT_EQ(size.CFStringUserName(), "Custom Page Size");
  EXPECT_TRUE(size.IsVisible());
  EXPECT_EQ(size.PostScript(nullptr), 0);
  EXPECT_FLOAT_EQ(size.GetWidth(), 0);
  EXPECT_FLOAT_EQ(size.GetHeight(), 0);
  EXPECT_FLOAT_EQ(size.MinWidth(), 100);
  EXPECT_FLOAT_EQ(size.MaxWidth(), 900);
  EXPECT_FLOAT_EQ(size.MinHeight(), 150);
  EXPECT_FLOAT_EQ(size.MaxHeight(), 1200);
  size.SetMinWidth(72);
  size.SetMaxHeight(1440);
  EXPECT_FLOAT_EQ(size.MinWidth(), 72);
  EXPECT_FLOAT_EQ(size.MaxHeight(), 1440);
}
