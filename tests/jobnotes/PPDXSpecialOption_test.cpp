// The special option: a fixed keyword/value pair of the PPD that nothing can change from a
// string.
#include "PPDX/PPDObjects/Controls/PPDXSpecialOption.h"

#include <gtest/gtest.h>

#include <string>

#include "JobNoteFixtures.h"
#include "foundation/PointerList.h"

namespace {

using jobnotes_test::JobNoteTest;
using jobnotes_test::MallocCode;

TEST_F(JobNoteTest, SpecialOptionHoldsItsValue) {
  PointerList flags;
  flags.PushBack(new CString("Spooler"));
  PPDXSpecialOption option("*KRUTF8_Version", "UTF8 Version", flags, "7", MallocCode("code"), 4,
                           true);
  EXPECT_EQ(option.Type(), kSpecialOptionControl);
  EXPECT_STREQ(option.Keyword(), "*KRUTF8_Version");
  EXPECT_EQ(option.CFStringUserName(), "UTF8 Version");
  EXPECT_TRUE(option.IsSpooler());
  EXPECT_EQ(option.PostScript(nullptr), 4);
  EXPECT_STREQ(static_cast<char const*>(*option.GetValue()), "7");
  EXPECT_EQ(option.CopyCurrentControlValueString(), "7");
  EXPECT_EQ(option.CopyPresetValueString(), "7");
  EXPECT_TRUE(IsSpecialOptionControl(&option));
  EXPECT_STREQ(GetSpecialOptionValue(&option), "7");
}

TEST_F(JobNoteTest, SpecialOptionCannotBeSetFromAString) {
  PointerList flags;
  PPDXSpecialOption option("*Paragon", "Paragon", flags, "True", nullptr, 0, false);
  option.SetCurrentControlWithCFString("False");
  EXPECT_STREQ(GetSpecialOptionValue(&option), "True");
  option.SetPresetValueString("False");
  EXPECT_STREQ(GetSpecialOptionValue(&option), "True");
  option.ResetToDefaultValue();
  EXPECT_STREQ(GetSpecialOptionValue(&option), "");
  EXPECT_EQ(option.CopyCurrentControlValueString(), "");
}

TEST_F(JobNoteTest, SpecialOptionValueIsReadAsAscii) {
  PointerList flags;
  PPDXSpecialOption no_value("*KRNone", "None", flags, nullptr, nullptr, 0, true);
  EXPECT_EQ(no_value.CopyCurrentControlValueString(), "");
  EXPECT_EQ(GetSpecialOptionValue(&no_value), nullptr);
  PPDXSpecialOption accented("*KRName", "Name", flags, "caf\xC3\xA9", nullptr, 0, true);
  EXPECT_EQ(accented.CopyCurrentControlValueString(), std::nullopt);
  EXPECT_STREQ(GetSpecialOptionValue(&accented), "caf\xC3\xA9");
}

TEST_F(JobNoteTest, DefaultSpecialOptionIsEmptyAndHidden) {
  PPDXSpecialOption option;
  EXPECT_EQ(option.Type(), kSpecialOptionControl);
  EXPECT_EQ(option.Keyword(), nullptr);
  EXPECT_FALSE(option.IsVisible());
  EXPECT_STREQ(GetSpecialOptionValue(&option), "");
}

TEST_F(JobNoteTest, SpecialOptionFlatFunctionsRefuseNullAndOtherControls) {
  auto note = jobnotes_test::MakeNote({.notes = "x"});
  EXPECT_FALSE(IsSpecialOptionControl(nullptr));
  EXPECT_EQ(GetSpecialOptionValue(nullptr), nullptr);
  EXPECT_FALSE(IsSpecialOptionControl(note.get()));
  EXPECT_EQ(GetSpecialOptionValue(note.get()), nullptr);
}

}  // namespace
