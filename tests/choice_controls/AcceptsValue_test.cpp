// Whether a choice or numeric control accepts a value given as text, and why not. An accepted
// value must be one the control then holds as asked; a refused one names the reason.
#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <string>
#include <vector>

#include "ChoiceFixtures.h"
#include "PPDX/PPDObjects/Controls/PPDXBooleanControl.h"
#include "PPDX/PPDObjects/Controls/PPDXCustomPageSizeControl.h"
#include "PPDX/PPDObjects/Controls/PPDXFloatRangeControl.h"
#include "PPDX/PPDObjects/Controls/PPDXPopupControl.h"
#include "PPDX/PPDObjects/Controls/PPDXRangeControl.h"
#include "foundation/ProcessGlobals.h"

using namespace choice_test;

namespace {

struct Case {
  std::string value;
  ValueRefusal refusal;
  std::string why;  // for refusals: the phrase; for acceptances: the value the control then holds
};

// Checks each case against the control that `make` builds afresh: the answer and, for an
// accepted value, that setting it leaves the control holding `why`.
template <typename Make>
void CheckCases(Make make, const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    SCOPED_TRACE("value \"" + c.value + "\"");
    auto control = make();
    std::string why = "untouched";
    EXPECT_EQ(control->CheckValue(c.value, &why), c.refusal);
    EXPECT_EQ(control->AcceptsValue(c.value), c.refusal == kValueAccepted);
    if (c.refusal != kValueAccepted) {
      EXPECT_EQ(why, c.why);
      continue;
    }
    EXPECT_EQ(why, "untouched") << "an acceptance leaves the phrase alone";
    control->SetCurrentControlWithCFString(c.value);
    EXPECT_EQ(control->CopyCurrentControlValueString(), c.why);
  }
}

std::unique_ptr<PPDXRangeControl> MakeRange(long min, long max, long increment) {
  PointerList flags;
  return std::make_unique<PPDXRangeControl>("*KRCopies", "Copies", flags, nullptr, 0, min, max,
                                            increment, min, true);
}

class ControlValues : public ::testing::Test {
 protected:
  void SetUp() override { ResetProcessGlobals(); }
  void TearDown() override { ResetProcessGlobals(); }
};

}  // namespace

TEST_F(ControlValues, PopupTakesItsOptionKeywordsOnly) {
  const std::string refused = "is not one of its options (Letter, A4, Legal)";
  CheckCases([] { return MakePopup("*PageSize", PaperItems(), "A4"); },
             {
                 {"Legal", kValueAccepted, "Legal"},
                 {"A4", kValueAccepted, "A4"},
                 {"Bogus", kValueNotAnOption, refused},
                 {"legal", kValueNotAnOption, refused},      // keywords are exact
                 {"US Legal", kValueNotAnOption, refused},   // a display text is no keyword
                 {"", kValueNotAnOption, refused},
                 // The whole value names the option, NUL bytes included.
                 {std::string("Legal\0\0x", 8), kValueNotAnOption, refused},
             });

  // A long list is cut after eight options.
  std::vector<ItemSpec> many;
  std::vector<std::string> names;
  for (int i = 1; i <= 10; ++i) names.push_back("Tray" + std::to_string(i));
  for (const auto& name : names) many.push_back({name.c_str(), name, ""});
  auto trays = MakePopup("*InputSlot", many, "Tray1");
  std::string why;
  EXPECT_EQ(trays->CheckValue("Tray11", &why), kValueNotAnOption);
  EXPECT_EQ(why,
            "is not one of its options (Tray1, Tray2, Tray3, Tray4, Tray5, Tray6, Tray7, Tray8, "
            "...)");
}

TEST_F(ControlValues, ColourProfilePopupTakesAnyNameButAnEmptyOne) {
  CheckCases([] { return MakePopup("*KROutProfile", PaperItems(), "A4"); },
             {
                 {"MyProfile", kValueAccepted, "MyProfile"},  // added as an item of its own
                 {"us letter", kValueAccepted, "Letter"},     // a display text, any case
                 {"Profil Caf\xC3\xA9", kValueAccepted, "Profil Caf\xC3\xA9"},
                 {"", kValueNotAnOption, "is empty"},
                 {"Caf\xE9", kValueNotText, "is not UTF-8 text"},
                 {std::string("My\0Profile", 10), kValueNotText, "is not UTF-8 text"},
             });
}

TEST_F(ControlValues, OptionNamedByAValueAsTheConstraintsNameIt) {
  auto mirror = [] {
    PointerList flags;
    return std::make_unique<PPDXBooleanControl>("*KRMirror", "Mirror", flags, true, nullptr,
                                                nullptr, 0, nullptr, nullptr, 0, false, nullptr);
  }();
  auto profile = MakePopup("*KROutProfile", PaperItems(), "A4");
  auto paper = MakePopup("*PageSize", PaperItems(), "A4");
  const std::vector<std::pair<PPDXControl*, std::pair<std::string, std::string>>> cases = {
      {mirror.get(), {"true", "True"}},       {mirror.get(), {"FALSE", "False"}},
      {mirror.get(), {"Trueish", "Trueish"}}, {profile.get(), {"us legal", "Legal"}},
      {profile.get(), {"New", "New"}},        {paper.get(), {"us legal", "us legal"}},
      {paper.get(), {"Legal", "Legal"}},
  };
  for (const auto& [control, texts] : cases) {
    EXPECT_EQ(control->OptionForValue(texts.first), texts.second) << texts.first;
  }
}

TEST_F(ControlValues, BooleanTakesTrueOrFalseInAnyCase) {
  auto make = [] {
    PointerList flags;
    return std::make_unique<PPDXBooleanControl>("*KRMirror", "Mirror", flags, true, nullptr,
                                                nullptr, 0, nullptr, nullptr, 0, false, nullptr);
  };
  const std::string refused = "is not True or False";
  CheckCases(make, {
                       {"True", kValueAccepted, "True"},
                       {"true", kValueAccepted, "True"},
                       {"FALSE", kValueAccepted, "False"},
                       {"Trueish", kValueNotTrueOrFalse, refused},  // the setter reads it as true
                       {"yes", kValueNotTrueOrFalse, refused},
                       {"", kValueNotTrueOrFalse, refused},
                       {std::string("True\0x", 6), kValueNotTrueOrFalse, refused},
                   });
}

TEST_F(ControlValues, RangeTakesWholeNumbersOnItsStepsWithinItsLimits) {
  CheckCases([] { return MakeRange(0, 100, 5); },
             {
                 {"15", kValueAccepted, "15"},
                 {"0", kValueAccepted, "0"},
                 {"+100", kValueAccepted, "100"},
                 {"13", kValueOffIncrement, "is not a step of 5 (it would become 10)"},
                 {"105", kValueOutOfRange, "is outside 0..100"},
                 {"-5", kValueOutOfRange, "is outside 0..100"},
                 {"99999999999999999999", kValueNotANumber, "is not a whole number"},
                 {"1.5", kValueNotANumber, "is not a whole number"},
                 {" 15", kValueNotANumber, "is not a whole number"},
                 {"15 copies", kValueNotANumber, "is not a whole number"},
                 {"", kValueNotANumber, "is not a whole number"},
             });
  // A minimum off the grid is still a value the control holds; with no grid every number is.
  CheckCases([] { return MakeRange(1, 999, 5); },
             {{"1", kValueAccepted, "1"}, {"6", kValueOffIncrement,
                                           "is not a step of 5 (it would become 5)"}});
  CheckCases([] { return MakeRange(-50, 50, 0); }, {{"-7", kValueAccepted, "-7"}});
  // The setter reads an int: a wider range stops where the setter would.
  CheckCases([] { return MakeRange(LONG_MIN, LONG_MAX, 1); },
             {{"3000000000", kValueOutOfRange, "is outside -2147483648..2147483647"},
              {"-2147483648", kValueAccepted, "-2147483648"}});
}

TEST_F(ControlValues, FloatRangeTakesDecimalNumbersWithinItsLimits) {
  auto make = [] {
    PointerList flags;
    return std::make_unique<PPDXFloatRangeControl>("*KRGamma", "Gamma", flags, nullptr, 0, 0.5,
                                                   2.0, 0.1, 1.0, true);
  };
  CheckCases(make, {
                       {"1.25", kValueAccepted, "1.250"},
                       {"2", kValueAccepted, "2.000"},
                       {".5", kValueAccepted, "0.500"},
                       {"2.5", kValueOutOfRange, "is outside 0.5..2"},
                       {"0.4", kValueOutOfRange, "is outside 0.5..2"},
                       {"1e400", kValueNotANumber, "is not a number"},
                       {"1,5", kValueNotANumber, "is not a number"},  // no decimal comma
                       {"inf", kValueNotANumber, "is not a number"},
                       {"nan", kValueNotANumber, "is not a number"},
                       {"0x1p0", kValueNotANumber, "is not a number"},
                       {"", kValueNotANumber, "is not a number"},
                   });
}

TEST_F(ControlValues, CustomPageSizeTakesPositiveSizesWithinItsLimits) {
  auto limited = [] {
    PointerList flags;
    return std::make_unique<PPDXCustomPageSizeControl>("*CustomPrintSize", flags, 100, 900, 150,
                                                       1200);
  };
  CheckCases(limited, {
                          {"612 792", kValueAccepted, "612.000000 792.000000"},
                          {"612.5", kValueAccepted, "612.500000 612.500000"},
                          {"1000 792", kValueOutOfRange, "has a width outside 100..900"},
                          {"612 100", kValueOutOfRange, "has a height outside 150..1200"},
                          {"612 wide", kValueNotANumber, "is not \"WIDTH HEIGHT\""},
                          {"612  792", kValueNotANumber, "is not \"WIDTH HEIGHT\""},
                          {"", kValueNotANumber, "is not \"WIDTH HEIGHT\""},
                      });
  // Without limits (no *%ParamCustomPrintSize lines) only the size itself must make sense.
  auto open = [] {
    PointerList flags;
    return std::make_unique<PPDXCustomPageSizeControl>("*CustomPrintSize", flags);
  };
  CheckCases(open, {
                       {"5000 5000", kValueAccepted, "5000.000000 5000.000000"},
                       {"0 792", kValueOutOfRange, "has no positive width"},
                       {"612 -1", kValueOutOfRange, "has no positive height"},
                   });
}

TEST_F(ControlValues, FlatFunctionAnswersWithCodeAndPhrase) {
  auto range = MakeRange(0, 100, 5);
  int32_t refusal = -1;
  char why[64] = "x";
  EXPECT_TRUE(ControlAcceptsValue(range.get(), "15", &refusal, why, sizeof why));
  EXPECT_EQ(refusal, kValueAccepted);
  EXPECT_STREQ(why, "x");

  EXPECT_FALSE(ControlAcceptsValue(range.get(), "105", &refusal, why, sizeof why));
  EXPECT_EQ(refusal, kValueOutOfRange);
  EXPECT_STREQ(why, "is outside 0..100");
  // A short buffer gets the phrase cut and terminated; without buffer or code only the answer.
  char short_why[8];
  EXPECT_FALSE(ControlAcceptsValue(range.get(), "105", nullptr, short_why, sizeof short_why));
  EXPECT_STREQ(short_why, "is outs");
  EXPECT_FALSE(ControlAcceptsValue(range.get(), "105", nullptr, nullptr, 0));
  EXPECT_FALSE(ControlAcceptsValue(range.get(), "105", nullptr, why, 0));

  EXPECT_FALSE(ControlAcceptsValue(nullptr, "15", &refusal, why, sizeof why));
  EXPECT_EQ(refusal, kValueNoControl);
  EXPECT_FALSE(ControlAcceptsValue(range.get(), nullptr, &refusal, why, sizeof why));
  EXPECT_EQ(refusal, kValueNoControl);
}
