// Which texts a job note takes as typed, and why it refuses the others; a special option takes
// none.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "JobNoteFixtures.h"
#include "PPDX/PPDObjects/Controls/PPDXSpecialOption.h"

using namespace jobnotes_test;

TEST_F(JobNoteTest, AcceptedTextsAreKeptAsTyped) {
  struct Case {
    JobNoteFlag flags;
    long maxLength;
    std::string value;
    ValueRefusal refusal;
    std::string why;
  };
  const std::vector<Case> cases = {
      {kJobNoteNumeric, 8, "12345678", kValueAccepted, ""},
      {kJobNoteNumeric, 8, "123456789", kValueTooLong, "is longer than 8 characters"},
      {kJobNoteNumeric, 8, "12ab", kValueCharacterRefused,
       "has the character \"a\", which the note refuses"},
      {kJobNoteNumeric | kJobNoteHyphen, 8, "12-34", kValueAccepted, ""},
      {kJobNoteDecimal, 8, "3,5", kValueAccepted, ""},
      {kJobNoteDecimal, 8, "-3", kValueCharacterRefused,
       "has the character \"-\", which the note refuses"},
      {kJobNoteLCD | kJobNoteAlpha, 8, "a b", kValueCharacterRefused,
       "has the character \" \", which the note refuses"},
      {0, 8, "any text", kValueAccepted, ""},
      {0, 8, "", kValueAccepted, ""},
      // The maximum counts characters, not bytes: four accented letters in eight bytes.
      {0, 4, "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9", kValueAccepted, ""},
      {0, 0, std::string(600, 'x'), kValueAccepted, ""},  // no maximum
      {kJobNoteAlpha, 8, "\xC3\xA9", kValueCharacterRefused,
       "has the character \"\xC3\xA9\", which the note refuses"},  // ASCII letters only
      {0, 8, "Caf\xE9", kValueNotText, "is not UTF-8 text"},
  };
  Globals().KRUTF8Version = 7;  // kept as UTF-8: every character can be held
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    auto note = MakeNote({.flags = c.flags, .notes = "old", .maxLength = c.maxLength});
    std::string why;
    EXPECT_EQ(note->CheckValue(c.value, &why), c.refusal);
    EXPECT_EQ(why, c.why);
    if (c.refusal == kValueAccepted) {
      note->SetCurrentControlWithCFString(c.value);
      EXPECT_EQ(note->CopyNotes(), c.value);
    }
  }
}

TEST_F(JobNoteTest, TextTheNoteCannotHoldInItsEncodingIsRefused) {
  // Below UTF-8 level 5 the note keeps its text in the application's 8-bit encoding, and the
  // setter would keep "" for a character that encoding lacks.
  quill::TextEncoding::SetApplicationEncoding(quill::kEncodingMacRoman);
  Globals().KRUTF8Version = 0;
  auto note = MakeNote({.notes = "old"});
  std::string why;
  EXPECT_EQ(note->CheckValue("caf\xC3\xA9", &why), kValueAccepted);
  EXPECT_EQ(note->CheckValue("\xE6\x97\xA5\xE6\x9C\xAC", &why), kValueNotText);
  EXPECT_EQ(why, "has characters the note's text encoding cannot hold");
  Globals().KRUTF8Version = 7;
  EXPECT_EQ(note->CheckValue("\xE6\x97\xA5\xE6\x9C\xAC", nullptr), kValueAccepted);
}

TEST_F(JobNoteTest, SpecialOptionRefusesEveryValue) {
  PointerList flags;
  PPDXSpecialOption option("*KRUTF8_Version", "UTF-8", flags, "7", nullptr, 0, false);
  for (const std::string value : {"7", "8", ""}) {
    std::string why;
    EXPECT_EQ(option.CheckValue(value, &why), kValueServerOption) << value;
    EXPECT_EQ(why, "belongs to the server and cannot be set");
  }
  int32_t refusal = 0;
  EXPECT_FALSE(ControlAcceptsValue(&option, "7", &refusal, nullptr, 0));
  EXPECT_EQ(refusal, kValueServerOption);
}
