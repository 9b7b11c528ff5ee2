// What a job note puts into the job: its feature block, the value substituted into its PPD code
// (hex, comment and plain modes) and the comment line of a note without code.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "JobNoteFixtures.h"
#include "PPDX/PPDObjects/Controls/PPDXJobNote.h"

namespace {

using jobnotes_test::JobNoteTest;
using jobnotes_test::MakeNote;

// The note's block written into a buffer of exactly the size it asks for, so that the sanitizer
// sees any byte written past it.
std::string Output(PPDXJobNote& note) {
  const long size = note.PostScript(nullptr);
  if (size <= 0) return {};
  std::vector<unsigned char> buffer(static_cast<size_t>(size));
  const long written = note.PostScript(buffer.data());
  EXPECT_EQ(written, size);
  return std::string(buffer.begin(), buffer.end());
}

std::string Block(std::string const& keyword, std::string const& choice, std::string const& body) {
  return "%%BeginFeature: " + keyword + " " + choice + "\n" + body + "%%EndFeature\n";
}

TEST_F(JobNoteTest, NoteWithoutCodeWritesTheCommentLineOfItsFlagOrKeyword) {
  struct Row {
    char const* keyword;
    JobNoteFlag flags;
    char const* body;
  };
  const Row rows[] = {
      {"*KRNote", kJobNoteResume, "%%PersPassword: T1\n"},
      {"*KRNote", kJobNoteMember, "%%DeptPassword: T1\n"},
      {"*KRNote", kJobNoteResume | kJobNoteMember, "%%PersPassword: T1\n"},
      {"*Notes1", kJobNoteMember, "%%DeptPassword: T1\n"},  // the flag wins over the keyword
      {"*Notes1", 0, "%%KRTCustom1: T1\n"},
      {"*Notes2", 0, "%%KRTCustom2: T1\n"},
      {"*Instruc", 0, "%%KRTCustom3: T1\n"},
      // Keywords match exactly.
      {"*Instruct", 0, "%%EmptyOption\n\n"},
      {"*Notes", 0, "%%EmptyOption\n\n"},
      {"*notes1", 0, "%%EmptyOption\n\n"},
      {"*KRNote", kJobNoteNumeric | kJobNoteEncrypt, "%%EmptyOption\n\n"},
  };
  for (const Row& row : rows) {
    auto note = MakeNote({.keyword = row.keyword, .flags = row.flags, .notes = "T1"});
    EXPECT_EQ(Output(*note), Block(row.keyword, "T1", row.body))
        << row.keyword << " flags " << std::hex << row.flags;
  }
}

TEST_F(JobNoteTest, NoteWithCodeSubstitutesItsText) {
  struct Row {
    char const* name;
    char const* keyword;
    char const* code;
    char const* text;
    char const* body;
  };
  const Row rows[] = {
      {"a placeholder inside a string becomes a hex string", "*KRNote", "(<*KRNote>) KRsetnote\n",
       "A(B)", "<41284229> KRsetnote\n"},
      {"a bare placeholder becomes a hex string", "*KRNote", "/N <*KRNote> def\n", "A\\",
       "/N <415C> def\n"},
      {"plain keywords insert the text with backslashes doubled", "*KRDSPassword",
       "(<*KRDSPassword>) pw\n", "A(B)\\", "(A(B)\\\\) pw\n"},
      {"comment code takes the text as it is", "*KRNote", "%%KRNote: <*KRNote>\n", "A(B)\\",
       "%%KRNote: A(B)\\\n"},
  };
  for (const Row& row : rows) {
    auto note = MakeNote({.keyword = row.keyword, .notes = row.text, .code = row.code});
    EXPECT_EQ(Output(*note), Block(row.keyword, row.text, row.body)) << row.name;
    // The flat function gives the same block.
    std::vector<unsigned char> buffer(static_cast<size_t>(GetPostScript(note.get(), nullptr)));
    EXPECT_EQ(GetPostScript(note.get(), buffer.data()), static_cast<long>(buffer.size()));
    EXPECT_EQ(std::string(buffer.begin(), buffer.end()), Block(row.keyword, row.text, row.body));
  }
}

// Inject itself, for the values a job note hands it.
TEST_F(JobNoteTest, InjectModesForJobNoteValues) {
  struct Row {
    char const* name;
    char const* keyword;
    char const* code;
    char const* value;
    char const* expected;
  };
  const Row rows[] = {
      {"hex", "*KRNote", "(<*KRNote>)", "A(B)", "<41284229>"},
      {"hex, every placeholder", "*KRNote", "<*KRNote> (<*KRNote>)", "A", "<41> <41>"},
      {"hex, bytes above 0x7F", "*KRNote", "(<*KRNote>)", "\xC3\xA9", "<C3A9>"},
      {"empty value is not hex", "*KRNote", "(<*KRNote>)", "", "()"},
      {"*KRDSPassword plain", "*KRDSPassword", "(<*KRDSPassword>)", "A(B)", "(A(B))"},
      {"*KRDSPassword doubles backslashes", "*KRDSPassword", "(<*KRDSPassword>)", "a\\b",
       "(a\\\\b)"},
      {"*KRDSFileName plain", "*KRDSFileName", "(<*KRDSFileName>)", "f.ps", "(f.ps)"},
      {"*KRDSUserName plain, in Mac Roman", "*KRDSUserName", "(<*KRDSUserName>)", "Jos\xC3\xA9",
       "(Jos\x8E)"},
      {"comment: no hex, no doubling", "*KRNote", "%%KRNote: <*KRNote>", "a\\b(c)",
       "%%KRNote: a\\b(c)"},
      {"another keyword's placeholder stays", "*KRNote", "(<*KROther>)", "A", "(<*KROther>)"},
  };
  for (const Row& row : rows) {
    auto note = MakeNote({.keyword = row.keyword});
    unsigned char* out = nullptr;
    const long length = note->Inject(row.keyword, reinterpret_cast<const unsigned char*>(row.code),
                                     static_cast<long>(std::strlen(row.code)), row.value, out);
    ASSERT_NE(out, nullptr) << row.name;
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out), static_cast<size_t>(length)), row.expected)
        << row.name;
    EXPECT_EQ(out[length], '\0') << row.name;
    std::free(out);
  }
}

TEST(ReplaceWithBackslashIfNeeded, EscapesEveryParenthesis) {
  struct Row {
    char const* token;
    char const* text;
    char const* expected;
  };
  const Row rows[] = {
      {"(", "a(b(c", "a\\050b\\050c"},
      {")", "a)b)", "a\\051b\\051"},
      {"(", "abc", "abc"},
      {"(", "", ""},
  };
  for (const Row& row : rows) {
    char* text = strdup(row.text);
    char* result = replaceWithBackslashIfNeeded(row.token, text);
    EXPECT_STREQ(result, row.expected) << row.text;
    if (std::strcmp(row.text, row.expected) == 0) {
      EXPECT_EQ(result, text);  // nothing to escape: the very same buffer comes back
    }
    std::free(result);
  }
}

TEST_F(JobNoteTest, TextIsCutTo511BytesForTheCodeButNotForTheChoice) {
  for (size_t size : {511u, 512u, 4096u}) {
    const std::string text = std::string(size - 1, 'x') + "y";
    const std::string cut = text.substr(0, 511);

    auto member = MakeNote({.flags = kJobNoteMember, .notes = text.c_str()});
    EXPECT_EQ(Output(*member), Block("*KRNote", text, "%%DeptPassword: " + cut + "\n")) << size;

    auto coded = MakeNote({.notes = text.c_str(), .code = "%%KRNote: <*KRNote>\n"});
    EXPECT_EQ(Output(*coded), Block("*KRNote", text, "%%KRNote: " + cut + "\n")) << size;

    std::string hex;
    for (char c : cut) hex += c == 'x' ? "78" : "79";
    auto hexed = MakeNote({.notes = text.c_str(), .code = "(<*KRNote>)\n"});
    EXPECT_EQ(Output(*hexed), Block("*KRNote", text, "<" + hex + ">\n")) << size;
  }
}

TEST_F(JobNoteTest, NoTextOrNoKeywordWritesNothing) {
  unsigned char buffer[8];
  std::memset(buffer, '#', sizeof buffer);
  auto no_text = MakeNote({.notes = nullptr, .code = "(<*KRNote>)"});
  EXPECT_EQ(no_text->PostScript(nullptr), 0);
  EXPECT_EQ(no_text->PostScript(buffer), 0);
  auto cleared = MakeNote({.notes = "x"});
  cleared->SetNotes(nullptr);
  EXPECT_EQ(cleared->PostScript(buffer), 0);
  for (char const* keyword : {static_cast<char const*>(nullptr), ""}) {
    auto no_keyword = MakeNote({.keyword = keyword, .flags = kJobNoteMember, .notes = "x"});
    EXPECT_EQ(no_keyword->PostScript(buffer), 0);
  }
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), sizeof buffer), "########");
}

TEST_F(JobNoteTest, CodeOfNoUsableLengthCountsAsNoCode) {
  struct Row {
    char const* name;
    std::string_view code;
    long length;
  };
  const Row rows[] = {
      {"zero length", "(<*KRNote>)", 0},
      {"negative length", "(<*KRNote>)", -7},
      {"no code but a length", std::string_view(), 12},
  };
  for (const Row& row : rows) {
    auto note = MakeNote({.notes = "T", .code = row.code, .codeLength = row.length});
    EXPECT_EQ(Output(*note), Block("*KRNote", "T", "%%EmptyOption\n\n")) << row.name;
  }
}

TEST_F(JobNoteTest, CodeIsRebuiltAfterEveryChangeOfText) {
  auto note = MakeNote({.keyword = "*Notes1", .notes = "one", .code = {}});
  EXPECT_EQ(Output(*note), Block("*Notes1", "one", "%%KRTCustom1: one\n"));
  note->SetNotes("two");
  EXPECT_EQ(Output(*note), Block("*Notes1", "two", "%%KRTCustom1: two\n"));
  note->SetCurrentControlWithCFString("three");
  EXPECT_EQ(Output(*note), Block("*Notes1", "three", "%%KRTCustom1: three\n"));
  note->SetUTF8Notes("four");
  EXPECT_EQ(Output(*note), Block("*Notes1", "four", "%%KRTCustom1: four\n"));
  note->ResetToDefaultValue();
  EXPECT_EQ(Output(*note), Block("*Notes1", "one", "%%KRTCustom1: one\n"));

  auto coded = MakeNote({.notes = "A", .code = "(<*KRNote>)\n"});
  EXPECT_EQ(Output(*coded), Block("*KRNote", "A", "<41>\n"));
  coded->SetUTF8Notes("B");
  EXPECT_EQ(Output(*coded), Block("*KRNote", "B", "<42>\n"));
}

TEST_F(JobNoteTest, EmptyTextStillWritesItsBlock) {
  // An empty text is a text: the block is written with an empty choice.
  auto note = MakeNote({.notes = "", .code = "(<*KRNote>)\n"});
  EXPECT_EQ(Output(*note), Block("*KRNote", "", "()\n"));
}

}  // namespace
