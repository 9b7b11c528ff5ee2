// PPDXBooleanControl: its state as the constraint store sees it, text values, and its feature
// blocks, an empty code included.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "ChoiceFixtures.h"
#include "PPDX/PPDObjects/Controls/PPDXBooleanControl.h"
#include "PPDX/PPDObjects/Controls/PPDXRangeControl.h"

using namespace choice_test;

namespace {

std::unique_ptr<PPDXBooleanControl> MakeCollate(bool defaultValue, UIConstraints* store = nullptr,
                                                std::string_view falseCode = "") {
  PointerList flags = Flags({"Spooler"});
  return std::make_unique<PPDXBooleanControl>(
      "*Collate", "Collate", flags, true, new CString("On"),
      MallocCode("<</Collate true>>setpagedevice\n"), 31, new CString("Off"), MallocCode(falseCode),
      static_cast<long>(falseCode.size()), defaultValue, store);
}

}  // namespace

TEST(BooleanControl, EveryStateIsReportedToTheConstraintStore) {
  WatchedStore store({{"*Collate", "True"}, {"*Collate", "False"}});
  auto collate = MakeCollate(true, &store.ui);
  EXPECT_EQ(collate->Type(), kBooleanControl);
  EXPECT_TRUE(collate->IsTrue());
  EXPECT_TRUE(store.Holds("*Collate", "True"));

  collate->SetValue(false);
  EXPECT_TRUE(store.Holds("*Collate", "False"));
  EXPECT_FALSE(store.Holds("*Collate", "True"));

  collate->ResetToDefaultValue();
  EXPECT_TRUE(collate->IsTrue());
  EXPECT_TRUE(store.Holds("*Collate", "True"));

  collate->SetCurrentControlWithCFString("False");
  EXPECT_TRUE(store.Holds("*Collate", "False"));

  collate->SetDefaultValue(false);
  collate->SetValue(true);
  collate->ResetToDefaultValue();
  EXPECT_FALSE(collate->IsTrue());
}

TEST(BooleanControl, TextValues) {
  struct Case {
    const char* text;
    bool expected;
  };
  const Case cases[] = {
      {"True", true}, {"TRUE", true}, {"true", true},   {"Trueish", true}, {"False", false},
      {"Tru", false}, {"", false},    {" True", false}, {"yes", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    auto collate = MakeCollate(!c.expected);
    collate->SetCurrentControlWithCFString(c.text);
    EXPECT_EQ(collate->IsTrue(), c.expected);
    EXPECT_EQ(collate->CopyCurrentControlValueString(), c.expected ? "True" : "False");
  }
}

TEST(BooleanControl, FeatureBlockOfEachState) {
  auto collate = MakeCollate(true);
  EXPECT_EQ(FeatureOf(*collate),
            "%%BeginFeature: *Collate True\n<</Collate true>>setpagedevice\n%%EndFeature\n");
  // A state without code still gets the wrapper, with a single line feed as its body.
  collate->SetValue(false);
  EXPECT_EQ(FeatureOf(*collate), "%%BeginFeature: *Collate False\n\n%%EndFeature\n");

  auto withFalseCode = MakeCollate(false, nullptr, "<</Collate false>>setpagedevice\n");
  EXPECT_EQ(FeatureOf(*withFalseCode),
            "%%BeginFeature: *Collate False\n<</Collate false>>setpagedevice\n%%EndFeature\n");
}

TEST(BooleanControl, DisplayTextsAndFlatFunctions) {
  auto collate = MakeCollate(true);
  void* control = collate.get();
  EXPECT_STREQ(TrueDisplayText(control), "On");
  EXPECT_STREQ(FalseDisplayText(control), "Off");
  EXPECT_TRUE(DefaultState(control));
  EXPECT_TRUE(IsTrue(control));
  SetValue(control, false);
  EXPECT_FALSE(IsTrue(control));
  EXPECT_EQ(BooleanPostScript(control, nullptr), collate->PostScript(nullptr));
  EXPECT_TRUE(IsSpoolerControl(control));

  PointerList flags;
  PPDXBooleanControl bare("*Bare", "Bare", flags, false, nullptr, nullptr, 0, nullptr, nullptr, -4,
                          false, nullptr);
  EXPECT_EQ(bare.TrueDisplayText(), nullptr);
  EXPECT_EQ(bare.FalseDisplayText(), nullptr);
  EXPECT_EQ(FeatureOf(bare), "%%BeginFeature: *Bare False\n\n%%EndFeature\n");

  PointerList none;
  PPDXRangeControl range("*KRCopies", "Copies", none, nullptr, 0, 1, 9, 1, 1, true);
  for (void* other : {static_cast<void*>(nullptr), static_cast<void*>(&range)}) {
    EXPECT_FALSE(IsTrue(other));
    SetValue(other, true);
    EXPECT_EQ(BooleanPostScript(other, nullptr), 0);
    EXPECT_EQ(TrueDisplayText(other), nullptr);
    EXPECT_EQ(FalseDisplayText(other), nullptr);
    EXPECT_FALSE(DefaultState(other));
  }
  EXPECT_EQ(range.GetValue(), 1);
}
