// The job note as a control: its texts, flags, display rule, reset, pop-up state, presets and
// flat functions.
#include "PPDX/PPDObjects/Controls/PPDXJobNote.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "JobNoteFixtures.h"
#include "PPDX/PPDObjects/Controls/PPDXSpecialOption.h"
#include "foundation/PointerList.h"
#include "security/KRCFCrypto.h"

namespace {

using jobnotes_test::JobNoteTest;
using jobnotes_test::MakeNote;

constexpr char kPassPhrase[] = "7C3E91A4-5D2B-4E8F-9A06-B1F3C8D2E57A";

TEST(JobNoteFlagTable, NamesAndBitsInTableOrder) {
  const char* const names[] = {
      "Alpha",         "Numeric", "Decimal",      "Required",   "Remembered", "Password",
      "AlwaysDisplay", "Resume",  "Member",       "OnOfSwitch", "LengthReq",  "SecPrint",
      "Command",       "Space",   "Negative",     "Encrypt",    "MultiSpace", "MultiComma",
      "LCD",           "Hyphen",  "TwoCharField", "NoComma",    "MinLength",  "UTF8",
      "AESEncrypt",    "PopupJN"};
  ASSERT_EQ(std::size(jnFlags), std::size(names));
  for (size_t i = 0; i < std::size(names); ++i) {
    EXPECT_STREQ(jnFlags[i].name, names[i]) << "row " << i;
    EXPECT_EQ(jnFlags[i].bit, static_cast<int>(i)) << names[i];
  }
  // The prefixes that extension support allows end at these rows.
  EXPECT_STREQ(jnFlags[8].name, "Member");
  EXPECT_STREQ(jnFlags[11].name, "SecPrint");
  EXPECT_STREQ(jnFlags[14].name, "Negative");
}

// Each accessor and its flat twin answer for their own bit and no other.
struct FlagAccessor {
  JobNoteFlag flag;
  bool (PPDXJobNote::*accessor)() const;
  bool (*flat)(void*);
};

const FlagAccessor kAccessors[] = {
    {kJobNoteAlpha, &PPDXJobNote::IsAlpha, IsJobNoteAlpha},
    {kJobNoteNumeric, &PPDXJobNote::IsNumeric, IsJobNoteNumeric},
    {kJobNoteDecimal, &PPDXJobNote::IsDecimal, IsJobNoteDecimal},
    {kJobNoteRequired, &PPDXJobNote::IsRequired, IsJobNoteRequired},
    {kJobNoteRemembered, &PPDXJobNote::Remember, IsJobNoteRemembered},
    {kJobNotePassword, &PPDXJobNote::IsPassword, IsJobNotePassword},
    {kJobNoteAlwaysDisplay, &PPDXJobNote::AlwaysDisplay, IsJobNoteAlwaysDisplay},
    {kJobNoteResume, &PPDXJobNote::Resume, IsJobNoteResume},
    {kJobNoteMember, &PPDXJobNote::IsMember, IsJobNoteMember},
    {kJobNoteOnOffSwitch, &PPDXJobNote::IsOnOffSwitch, IsJobNoteOnOffSwitch},
    {kJobNoteLengthReq, &PPDXJobNote::IsLengthReq, IsJobNoteLengthReq},
    {kJobNoteSecPrint, &PPDXJobNote::IsSecPrint, IsJobNoteSecPrint},
    {kJobNoteSpace, &PPDXJobNote::IsSpace, IsJobNoteSpace},
    {kJobNoteNegative, &PPDXJobNote::IsNegative, IsJobNoteNegative},
    {kJobNoteEncrypt, &PPDXJobNote::IsEncrypt, IsJobNoteEncrypt},
    {kJobNoteMultiSpace, &PPDXJobNote::IsMultiSpace, IsJobNoteMultiSpace},
    {kJobNoteMultiComma, &PPDXJobNote::IsMultiComma, IsJobNoteMultiComma},
    {kJobNoteLCD, &PPDXJobNote::IsLCD, IsJobNoteLCD},
    {kJobNoteHyphen, &PPDXJobNote::IsHyphen, IsJobNoteHyphen},
    {kJobNoteTwoCharField, &PPDXJobNote::IsTwoCharFields, IsJobNoteTwoCharFields},
    {kJobNoteNoComma, &PPDXJobNote::IsNoComma, IsJobNoteNoComma},
    {kJobNoteUTF8, &PPDXJobNote::IsUTF8, IsJobNoteUTF8},
    {kJobNoteAESEncrypt, &PPDXJobNote::IsAESEncrypt, IsJobNoteAESEncrypt},
    {kJobNotePopupJN, &PPDXJobNote::IsPopupJN, IsJobNotePopupJN},
};

TEST_F(JobNoteTest, EachFlagAccessorReadsItsOwnBit) {
  for (const FlagAccessor& row : kAccessors) {
    auto only = MakeNote({.flags = row.flag});
    auto others = MakeNote({.flags = ~row.flag});
    EXPECT_TRUE((only.get()->*row.accessor)()) << "flag " << std::hex << row.flag;
    EXPECT_TRUE(row.flat(only.get())) << "flag " << std::hex << row.flag;
    EXPECT_FALSE((others.get()->*row.accessor)()) << "flag " << std::hex << row.flag;
    EXPECT_FALSE(row.flat(others.get())) << "flag " << std::hex << row.flag;
  }
}

TEST_F(JobNoteTest, AnyTextMeansNoCharacterFlag) {
  EXPECT_TRUE(MakeNote({.flags = 0})->IsAnyText());
  EXPECT_TRUE(MakeNote({.flags = kJobNoteHyphen | kJobNoteLCD | kJobNotePassword})->IsAnyText());
  for (JobNoteFlag flag : {kJobNoteAlpha, kJobNoteNumeric, kJobNoteDecimal, kJobNoteSpace,
                           kJobNoteNegative, kJobNoteMultiSpace, kJobNoteMultiComma}) {
    EXPECT_FALSE(MakeNote({.flags = flag})->IsAnyText()) << std::hex << flag;
  }
}

TEST_F(JobNoteTest, ConstructionTakesTheTextAndCopiesTheDefault) {
  auto note = MakeNote({.keyword = "*KRAccount",
                        .flags = kJobNoteNumeric,
                        .notes = "1234",
                        .maxLength = 8,
                        .minLength = 4,
                        .controlFlags = {"Spooler"}});
  EXPECT_EQ(note->Type(), kJobNoteControl);
  EXPECT_STREQ(note->Keyword(), "*KRAccount");
  EXPECT_STREQ(note->GetNotes(), "1234");
  EXPECT_STREQ(note->GetDefaultNotes(), "1234");
  EXPECT_FALSE(note->GetNotesOnValue());
  EXPECT_EQ(note->MaxLength(), 8);
  EXPECT_EQ(note->MinLength(), 4);
  EXPECT_EQ(note->Flags(), kJobNoteNumeric);
  EXPECT_TRUE(note->IsSpooler());

  // The default is a copy: changing the text leaves it alone.
  note->SetNotes("99");
  EXPECT_STREQ(note->GetNotes(), "99");
  EXPECT_STREQ(note->GetDefaultNotes(), "1234");
  note->SetDefaultNotes("0");
  EXPECT_STREQ(note->GetDefaultNotes(), "0");
  EXPECT_STREQ(note->GetNotes(), "99");

  note->SetNotesOnValue(true);
  EXPECT_TRUE(note->GetNotesOnValue());
}

TEST_F(JobNoteTest, NoteWithoutTextHasNothingToGive) {
  auto note = MakeNote({.notes = nullptr});
  EXPECT_EQ(note->GetNotes(), nullptr);
  EXPECT_EQ(note->GetDefaultNotes(), nullptr);
  EXPECT_EQ(note->CopyNotes(), std::string());
  EXPECT_EQ(note->CopyPresetValueString(), std::nullopt);
  // A reset restores "no default", which is no text.
  note->SetNotes("typed");
  note->ResetToDefaultValue();
  EXPECT_EQ(note->GetNotes(), nullptr);
}

TEST_F(JobNoteTest, SetNotesAcceptsNullAndItsOwnText) {
  auto note = MakeNote({.notes = "abc"});
  note->SetNotes(note->GetNotes());
  EXPECT_STREQ(note->GetNotes(), "abc");
  note->SetNotes(nullptr);
  EXPECT_EQ(note->GetNotes(), nullptr);
  note->SetUTF8Notes("d\xC3\xA9j\xC3\xA0");
  EXPECT_STREQ(note->GetNotes(), "d\xC3\xA9j\xC3\xA0");
}

TEST_F(JobNoteTest, IsPopupJNRecordsThePopupNoteOnceAndLogsOnce) {
  auto plain = MakeNote({.flags = kJobNoteNumeric});
  EXPECT_FALSE(plain->IsPopupJN());
  EXPECT_FALSE(Globals().popupJobNotesFoundOne);
  EXPECT_TRUE(log_.empty());

  auto popup = MakeNote({.flags = kJobNotePopupJN});
  auto other_popup = MakeNote({.flags = kJobNotePopupJN});
  EXPECT_TRUE(popup->IsPopupJN());
  EXPECT_TRUE(popup->IsPopupJN());
  EXPECT_TRUE(other_popup->IsPopupJN());
  EXPECT_TRUE(Globals().popupJobNotesFoundOne);
  EXPECT_EQ(log_, std::vector<std::string>{"At least one PUJN found !!!!!!!!"});
}

TEST_F(JobNoteTest, OkayToDisplayLooksOnlyAtVisibilityUnlessHiddenAreIncluded) {
  auto visible = MakeNote({.visible = true});
  auto hidden = MakeNote({.visible = false});
  ASSERT_TRUE(visible->IsOrphan());  // a parentless note still shows
  struct Row {
    _DISPLAY_OPTIONS_ options;
    bool visible_shown;
    bool hidden_shown;
  };
  for (const Row& row : {Row{0, true, false}, Row{1, true, false}, Row{2, true, true},
                         Row{3, true, true}, Row{4, true, true}}) {
    EXPECT_EQ(visible->OkayToDisplay(row.options), row.visible_shown) << row.options;
    EXPECT_EQ(hidden->OkayToDisplay(row.options), row.hidden_shown) << row.options;
  }
}

// CopyNotes reads the 8-bit text by the job-notes language and the server's UTF-8 level.
TEST_F(JobNoteTest, CopyNotesReadsTheTextInTheEncodingOfTheMoment) {
  struct Row {
    char const* name;
    bool japanese;
    int utf8_level;
    quill::TextEncodingId system;
    char const* bytes;
    std::optional<std::string> expected;
  };
  const Row rows[] = {
      {"Japanese reads Shift-JIS", true, 7, quill::kEncodingUTF8, "\x93\xFA\x96\x7B",
       "\xE6\x97\xA5\xE6\x9C\xAC"},
      {"level below 5 reads the system encoding", false, 4, quill::kEncodingMacRoman, "caf\x8E",
       "caf\xC3\xA9"},
      {"level 5 reads UTF-8", false, 5, quill::kEncodingMacRoman, "caf\xC3\xA9", "caf\xC3\xA9"},
      {"level 5 refuses bytes that are not UTF-8", false, 5, quill::kEncodingUTF8, "caf\x8E",
       std::nullopt},
      {"Japanese refuses bytes that are not Shift-JIS", true, 7, quill::kEncodingUTF8,
       "\x81\x20\xFF", std::nullopt},
  };
  for (const Row& row : rows) {
    Globals().popupJobNotesLangIsJapanese = row.japanese;
    Globals().KRUTF8Version = row.utf8_level;
    quill::TextEncoding::SetSystemEncoding(row.system);
    auto note = MakeNote({.notes = row.bytes});
    EXPECT_EQ(note->CopyNotes(), row.expected) << row.name;
    EXPECT_EQ(note->CopyCurrentControlValueString(), row.expected) << row.name;
    char* flat = CopyJobNoteNotes(note.get());
    EXPECT_EQ(flat ? std::optional<std::string>(flat) : std::nullopt, row.expected) << row.name;
    std::free(flat);
  }
}

TEST_F(JobNoteTest, SettingFromAStringStoresItsEightBitForm) {
  auto note = MakeNote({.notes = "old"});
  // Below level 5 the text is kept in the application's encoding.
  quill::TextEncoding::SetApplicationEncoding(quill::kEncodingMacRoman);
  Globals().KRUTF8Version = 0;
  note->SetCurrentControlWithCFString("caf\xC3\xA9");
  EXPECT_STREQ(note->GetNotes(), "caf\x8E");
  // From level 7 on it is UTF-8.
  Globals().KRUTF8Version = 7;
  note->SetCurrentControlWithCFString("caf\xC3\xA9");
  EXPECT_STREQ(note->GetNotes(), "caf\xC3\xA9");
  EXPECT_EQ(note->CopyNotes(), "caf\xC3\xA9");
  // A note made without text gets one.
  auto empty = MakeNote({.notes = nullptr});
  empty->SetCurrentControlWithCFString("x");
  EXPECT_STREQ(empty->GetNotes(), "x");
}

TEST_F(JobNoteTest, PresetValueIsEncipheredAndReadsBackIntoAnotherNote) {
  auto source = MakeNote({.keyword = "*DeptPassword", .notes = "initial"});
  source->SetCurrentControlWithCFString("s3cr\xC3\xA9t");
  std::optional<std::string> preset = source->CopyPresetValueString();
  ASSERT_TRUE(preset.has_value());
  EXPECT_EQ(preset->find("s3cr"), std::string::npos);
  EXPECT_EQ(KRCFCreateDecryptedString(*preset, kPassPhrase), "s3cr\xC3\xA9t");

  auto target = MakeNote({.keyword = "*DeptPassword", .notes = "other"});
  Globals().KRUTF8Version = 7;
  target->SetPresetValueString(*preset);
  EXPECT_STREQ(target->GetNotes(), "s3cr\xC3\xA9t");
  std::optional<std::string> again = target->CopyPresetValueString();
  ASSERT_TRUE(again.has_value());
  EXPECT_EQ(KRCFCreateDecryptedString(*again, kPassPhrase), "s3cr\xC3\xA9t");
}

TEST_F(JobNoteTest, PresetValueOfAFreshNoteIsItsInitialText) {
  auto note = MakeNote({.notes = "from the PPD"});
  auto preset = note->CopyPresetValueString();
  ASSERT_TRUE(preset.has_value());
  EXPECT_EQ(KRCFCreateDecryptedString(*preset, kPassPhrase), "from the PPD");
}

TEST_F(JobNoteTest, PresetValueFollowsStringsNotEightBitSetters) {
  auto note = MakeNote({.notes = "start"});
  note->SetCurrentControlWithCFString("typed");
  note->SetNotes("set by the program");
  auto preset = note->CopyPresetValueString();
  ASSERT_TRUE(preset.has_value());
  EXPECT_EQ(KRCFCreateDecryptedString(*preset, kPassPhrase), "typed");
}

TEST_F(JobNoteTest, ColourKeywordsKeepPlainPresetTextBothWays) {
  for (char const* keyword : {"*KRSimulation", "*KROutProfile", "*KRRGBOverride", "*KRControlBar",
                              "*KRSpotPriority", "*KRGrayOverride"}) {
    auto note = MakeNote({.keyword = keyword, .notes = "old"});
    note->SetPresetValueString("ISO Coated v2");
    EXPECT_STREQ(note->GetNotes(), "ISO Coated v2") << keyword;
    EXPECT_EQ(note->CopyPresetValueString(), "ISO Coated v2") << keyword;

    // What one note writes, a note of the same keyword reads back unchanged.
    auto restored = MakeNote({.keyword = keyword, .notes = "other"});
    restored->SetPresetValueString(*note->CopyPresetValueString());
    EXPECT_STREQ(restored->GetNotes(), "ISO Coated v2") << keyword;
  }
}

TEST_F(JobNoteTest, UndecipherablePresetChangesNothingAndLogsNoSecret) {
  auto note = MakeNote({.keyword = "*KRUserAuthPwd", .notes = "kept"});
  note->SetCurrentControlWithCFString("hunter2");
  for (char const* bad : {"", "not base64 !!", "AAAA", "QUJDREVGR0hJSktMTU5PUA=="}) {
    note->SetPresetValueString(bad);
    EXPECT_STREQ(note->GetNotes(), "hunter2") << bad;
  }
  // A value enciphered under another pass phrase fails on its padding.
  auto foreign = KRCFCreateEncryptedString("intruder", "another pass phrase");
  ASSERT_TRUE(foreign.has_value());
  note->SetPresetValueString(*foreign);
  EXPECT_STREQ(note->GetNotes(), "hunter2");
  (void)note->CopyPresetValueString();
  ASSERT_FALSE(log_.empty());  // the failures are reported, just without the secrets
  for (const std::string& line : log_) {
    EXPECT_EQ(line.find(kPassPhrase), std::string::npos) << line;
    EXPECT_EQ(line.find("hunter2"), std::string::npos) << line;
    EXPECT_EQ(line.find("intruder"), std::string::npos) << line;
  }
}

// Reset by the pop-up state: rows start from a note whose PPD default is "dflt" and whose text
// was changed to "typed".
TEST_F(JobNoteTest, ResetFollowsThePopupJobNoteState) {
  struct Row {
    char const* name;
    bool done_initializing;
    bool found_one;
    bool defaults_button;
    bool popup;
    char const* text;
    char const* default_text;
  };
  const Row rows[] = {
      {"ordinary note", false, false, false, false, "dflt", "dflt"},
      {"ordinary note, Defaults pressed", false, false, true, false, "dflt", "dflt"},
      {"popup note, no Defaults", false, false, false, true, "dflt", "dflt"},
      {"popup note, Defaults pressed", false, false, true, true, "", ""},
      {"popup note, Defaults pressed, set up with popups", true, true, true, true, "", ""},
      {"set up without popups keeps the default", true, false, true, true, "dflt", "dflt"},
  };
  for (const Row& row : rows) {
    ResetProcessGlobals();
    Globals().popupJobNotesDoneInitializing = row.done_initializing;
    Globals().popupJobNotesFoundOne = row.found_one;
    Globals().popupJobNotesDefaultsButton = row.defaults_button;
    auto note = MakeNote({.flags = row.popup ? kJobNotePopupJN : 0u, .notes = "dflt"});
    note->SetNotes("typed");
    note->ResetToDefaultValue();
    EXPECT_STREQ(note->GetNotes(), row.text) << row.name;
    EXPECT_STREQ(note->GetDefaultNotes(), row.default_text) << row.name;
  }
}

TEST_F(JobNoteTest, PopupNoteStaysEmptyAfterDefaults) {
  auto popup = MakeNote({.flags = kJobNotePopupJN, .notes = "ACC-1"});
  Globals().popupJobNotesDefaultsButton = true;
  popup->ResetToDefaultValue();
  Globals().popupJobNotesDefaultsButton = false;
  popup->SetNotes("ACC-2");
  popup->ResetToDefaultValue();
  EXPECT_STREQ(popup->GetNotes(), "");
  ResetControlToDefault(popup.get());
  EXPECT_STREQ(popup->GetNotes(), "");
}

TEST_F(JobNoteTest, FlatFunctionsForwardToTheNote) {
  auto note = MakeNote(
      {.flags = kJobNoteAlpha | kJobNoteUTF8, .notes = "a", .maxLength = 20, .minLength = 3});
  void* control = note.get();
  EXPECT_TRUE(IsJobNoteControl(control));
  EXPECT_STREQ(GetJobNoteNotes(control), "a");
  SetJobNoteNotes(control, "b");
  EXPECT_STREQ(GetJobNoteNotes(control), "b");
  SetJobNoteUTF8Notes(control, "c");
  EXPECT_STREQ(GetJobNoteNotes(control), "c");
  SetJobNoteUTF8Notes(control, nullptr);
  EXPECT_STREQ(GetJobNoteNotes(control), "c");
  SetJobNoteDefaultNotes(control, "d");
  EXPECT_STREQ(GetJobNoteDefaultNotes(control), "d");
  SetJobNoteNotesOn(control, true);
  EXPECT_TRUE(GetJobNoteNotesOn(control));
  EXPECT_EQ(GetJobNoteMaxLength(control), 20);
  EXPECT_EQ(GetJobNoteMinLength(control), 3);
  EXPECT_EQ(GetJobNoteFlags(control), kJobNoteAlpha | kJobNoteUTF8);
  EXPECT_FALSE(IsJobNoteAnyText(control));
}

TEST_F(JobNoteTest, FlatFunctionsAnswerNothingForNullOrAnotherKindOfControl) {
  PointerList no_flags;
  PPDXSpecialOption option("*KRUTF8_Version", "UTF8", no_flags, "7", nullptr, 0, true);
  for (void* control : {static_cast<void*>(nullptr), static_cast<void*>(&option)}) {
    EXPECT_FALSE(IsJobNoteControl(control));
    EXPECT_EQ(GetJobNoteNotes(control), nullptr);
    EXPECT_EQ(GetJobNoteDefaultNotes(control), nullptr);
    EXPECT_EQ(CopyJobNoteNotes(control), nullptr);
    SetJobNoteNotes(control, "x");
    SetJobNoteUTF8Notes(control, "x");
    SetJobNoteDefaultNotes(control, "x");
    SetJobNoteNotesOn(control, true);
    EXPECT_FALSE(GetJobNoteNotesOn(control));
    EXPECT_EQ(GetJobNoteMaxLength(control), 0);
    EXPECT_EQ(GetJobNoteMinLength(control), 0);
    EXPECT_EQ(GetJobNoteFlags(control), 0u);
    EXPECT_FALSE(IsJobNoteAnyText(control));
    for (const FlagAccessor& row : kAccessors) EXPECT_FALSE(row.flat(control));
  }
  EXPECT_STREQ(static_cast<char const*>(*option.GetValue()), "7");
}

}  // namespace
