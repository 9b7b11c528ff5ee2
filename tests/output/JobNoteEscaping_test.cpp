// Job-note texts at entry and in the note's own code: no text can end its line or its string.
#include <gtest/gtest.h>

#include <string>

#include "OutputFixtures.h"
#include "output/KRTJobTicket.h"

namespace quill::testing {
namespace {

using EscapingTest = OutputTest;

TEST_F(EscapingTest, ControlCharactersAreRefusedAtEntry) {
  auto ppd = Load();
  PPDXJobNote* note = Note(*ppd, "*Notes1");  // no character flags: any text
  for (const char* text : {"a\nb", "a\rb", "tab\t", "\x01", "del\x7F", "next\xC2\x85line"}) {
    std::string why;
    EXPECT_EQ(note->CheckValue(text, &why), kValueCharacterRefused) << text;
    EXPECT_EQ(why, "has a control character, which no job note takes");
  }
  for (const char* text : {"a(b)", "%%EndFeature", "caf\xC3\xA9", ""}) {
    EXPECT_TRUE(note->AcceptsValue(text)) << text;
  }
}

TEST_F(EscapingTest, PlainValuesCannotEndTheirString) {
  struct Row {
    const char* text;
    const char* code;  // what the note's code becomes
  };
  const Row rows[] = {
      {"A(B)", "(A(B)) KRsetdspassword\n"},             // balanced: part of the string
      {"a) evil (", "(a\\) evil \\() KRsetdspassword\n"},  // both ends escaped
      {"x))", "(x\\)\\)) KRsetdspassword\n"},
      {"((y)", "(\\((y)) KRsetdspassword\n"},
      {"\\)", "(\\\\\\)) KRsetdspassword\n"},  // a backslash does not hide the parenthesis
  };
  for (const Row& row : rows) {
    auto ppd = Load();
    Note(*ppd, "*KRDSPassword")->SetNotes(row.text);
    KRTJobTicket ticket(nullptr, nullptr, CreatePostscriptDataFileKey());
    KRTJobNoteList list(ppd.get(), false);
    ASSERT_EQ(list.outInjectionData(&ticket, nullptr), KRTJobNoteList::kStatusOk);
    const std::string expected = std::string("%%BeginFeature: *KRDSPassword ") + row.text + "\n" +
                                 row.code + "%%EndFeature\n";
    EXPECT_EQ(ticket.Pieces()->back().data, expected) << row.text;
  }
}

}  // namespace
}  // namespace quill::testing
