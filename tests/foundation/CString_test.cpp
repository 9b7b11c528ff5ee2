#include "foundation/CString.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "foundation/ProcessGlobals.h"
#include "platform/TextEncoding.h"

using quill::TextEncoding;

namespace {

// Resets the process-wide state that display-text conversion reads.
class CStringTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetProcessGlobals();
    TextEncoding::Reset();
  }
  void TearDown() override {
    ResetProcessGlobals();
    TextEncoding::Reset();
  }
};

char const* Buffer(CString const& s) { return static_cast<char const*>(s); }

}  // namespace

TEST_F(CStringTest, CopiesTextAndTreatsNullAsNoBuffer) {
  CString none;
  EXPECT_EQ(Buffer(none), nullptr);
  EXPECT_EQ(none.Size(), 0u);
  EXPECT_TRUE(none.Empty());

  CString from_null(static_cast<char const*>(nullptr));
  EXPECT_EQ(Buffer(from_null), nullptr);

  char text[] = "abc";
  CString copy(text);
  text[0] = 'x';
  EXPECT_STREQ(Buffer(copy), "abc");
  EXPECT_EQ(copy.Size(), 3u);

  CString empty("");
  ASSERT_NE(Buffer(empty), nullptr);
  EXPECT_TRUE(empty.Empty());

  CString other(copy);
  EXPECT_NE(Buffer(other), Buffer(copy));
  EXPECT_STREQ(Buffer(other), "abc");

  copy = static_cast<char const*>(nullptr);
  EXPECT_EQ(Buffer(copy), nullptr);
  EXPECT_EQ(copy.Size(), 0u);
}

TEST_F(CStringTest, AssigningItsOwnTextIsSafe) {
  CString s("abcdef");
  char const* held = Buffer(s);
  s = held;  // the very buffer: nothing happens
  EXPECT_EQ(Buffer(s), held);
  s = s;
  EXPECT_STREQ(Buffer(s), "abcdef");

  // A pointer inside the buffer must be copied before the buffer is freed.
  s = Buffer(s) + 2;
  EXPECT_STREQ(Buffer(s), "cdef");
  EXPECT_EQ(s.Size(), 4u);
}

TEST_F(CStringTest, MoveLeavesTheSourceEmpty) {
  CString a("text");
  CString b(std::move(a));
  EXPECT_STREQ(Buffer(b), "text");
  EXPECT_EQ(Buffer(a), nullptr);  // NOLINT(bugprone-use-after-move)
  CString c;
  c = std::move(b);
  EXPECT_STREQ(Buffer(c), "text");
  EXPECT_EQ(c.Size(), 4u);
}

TEST_F(CStringTest, ComparesWithStringsAndTexts) {
  struct Case {
    char const* lhs;
    char const* rhs;
    bool equal;
  };
  const std::vector<Case> cases = {
      {"abc", "abc", true},     {"abc", "abd", false},  {"abc", "ab", false},
      {"", "", true},           {nullptr, "", true},     // no buffer compares as ""
      {nullptr, "abc", false},  {"abc", nullptr, true},  // a string with no buffer matches anything
      {nullptr, nullptr, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.lhs ? c.lhs : "(null)") + " == " + (c.rhs ? c.rhs : "(null)"));
    EXPECT_EQ(CString(c.lhs) == CString(c.rhs), c.equal);
  }
  // With a plain text there is no wildcard: a null text is "".
  EXPECT_FALSE(CString("abc") == static_cast<char const*>(nullptr));
  EXPECT_TRUE(CString() == static_cast<char const*>(nullptr));
  EXPECT_TRUE(CString("abc") == "abc");
  EXPECT_TRUE(CString("abc") != "abcd");
  EXPECT_TRUE(CString("Caf\xC3\xA9") == std::string("Caf\xC3\xA9"));
  EXPECT_FALSE(CString("Caf") == std::string("Caf\xC3\xA9"));
}

TEST_F(CStringTest, AppendsInPlace) {
  struct Case {
    char const* start;
    char const* added;
    char const* expected;  // null: no buffer
  };
  const std::vector<Case> cases = {
      {nullptr, "", nullptr}, {nullptr, nullptr, nullptr}, {nullptr, "x", "x"}, {"", "", ""},
      {"ab", "", "ab"},       {"ab", "cd", "abcd"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.start ? c.start : "(null)") + " + " +
                 (c.added ? c.added : "(null)"));
    CString s(c.start);
    CString& result = s + c.added;
    EXPECT_EQ(&result, &s);
    if (c.expected == nullptr) {
      EXPECT_EQ(Buffer(s), nullptr);
    } else {
      EXPECT_STREQ(Buffer(s), c.expected);
      EXPECT_EQ(s.Size(), std::strlen(c.expected));
    }
  }
  CString twice("ab");
  twice + Buffer(twice);  // appending its own text reads it before the old buffer goes
  EXPECT_STREQ(Buffer(twice), "abab");
}

TEST_F(CStringTest, ReplacesTheFirstOccurrenceOnly) {
  struct Case {
    char const* text;
    char const* what;
    char const* with;
    char const* expected;
  };
  const std::vector<Case> cases = {
      {"a-b-c", "-", "+", "a+b-c"}, {"abcabc", "abc", "", "abc"},
      {"abc", "c", "xyz", "abxyz"}, {"abc", "a", "aa", "aabc"},
      {"abc", "x", "y", "abc"},     {"abc", "", "y", "abc"},  // an empty pattern has no occurrence
      {"abc", nullptr, "y", "abc"}, {"abc", "b", nullptr, "ac"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    CString s(c.text);
    s.Replace(CString(c.what), CString(c.with));
    EXPECT_STREQ(Buffer(s), c.expected);
    EXPECT_EQ(s.Size(), std::strlen(c.expected));
  }
  CString none;
  none.Replace(CString("a"), CString("b"));
  EXPECT_EQ(Buffer(none), nullptr);
}

TEST_F(CStringTest, RemovesAndInsertsAtPositionsInsideTheText) {
  CString s("abcdef");
  s.Remove(Buffer(s) + 1, 2);
  EXPECT_STREQ(Buffer(s), "adef");
  EXPECT_EQ(s.Size(), 4u);
  s.Remove(Buffer(s) + 2, 100);  // stops at the end
  EXPECT_STREQ(Buffer(s), "ad");
  EXPECT_EQ(s.Size(), 2u);
  s.Remove(Buffer(s) + 2, 1);  // at the NUL: nothing to remove
  char const elsewhere[] = "zz";
  s.Remove(elsewhere, 1);
  EXPECT_STREQ(Buffer(s), "ad");

  s.Insert(Buffer(s) + 1, "bc");
  EXPECT_STREQ(Buffer(s), "abcd");
  s.Insert(Buffer(s), ">");
  s.Insert(Buffer(s) + s.Size(), "<");
  EXPECT_STREQ(Buffer(s), ">abcd<");
  EXPECT_EQ(s.Size(), 6u);
  s.Insert(Buffer(s) + 1, "");
  s.Insert(elsewhere, "x");
  s.Insert(Buffer(s) + 3, Buffer(s));  // its own text
  EXPECT_STREQ(Buffer(s), ">ab>abcd<cd<");

  CString none;
  none.Insert(nullptr, "x");
  EXPECT_EQ(Buffer(none), nullptr);
}

TEST_F(CStringTest, ContainsIgnoresCase) {
  struct Case {
    char const* text;
    char const* part;
    bool contains;
  };
  const std::vector<Case> cases = {
      {"xabcx", "ABC", true}, {"XABCX", "abc", true},  {"abc", "abc", true},
      {"abc", "abcd", false}, {"ab c", "bc", false},   {"abc", "", true},
      {nullptr, "a", false},  {"abc", nullptr, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.text ? c.text : "(null)") + " / " + (c.part ? c.part : "(null)"));
    EXPECT_EQ(CString(c.text).Contains(c.part), c.contains);
  }
}

TEST_F(CStringTest, ClearBufferAndInitializeEmptyTheString) {
  CString s("abc");
  s.ClearBuffer();
  EXPECT_EQ(Buffer(s), nullptr);
  EXPECT_EQ(s.Size(), 0u);
  s = "def";
  s.Initialize();
  EXPECT_EQ(Buffer(s), nullptr);
  EXPECT_TRUE(s.Empty());
}

TEST(CStringEncoding, ChoosesTheEncodingForDisplayText) {
  constexpr quill::TextEncodingId app = quill::kEncodingMacRoman;
  constexpr quill::TextEncodingId utf8 = quill::kEncodingUTF8;
  struct Case {
    int level;
    bool japanese;
    bool document_server;
    quill::TextEncodingId expected;
  };
  const std::vector<Case> cases = {
      {0, false, false, app},  {4, false, false, app},  {4, false, true, app},
      {-1, false, false, app}, {5, false, false, utf8}, {6, false, false, utf8},
      {5, false, true, app},   {6, false, true, app},   {7, false, false, utf8},
      {7, false, true, utf8},  {12, false, true, utf8}, {5, true, false, app},
      {7, true, false, app},   {7, true, true, app},    {4, true, false, app},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "level " << c.level << " japanese " << c.japanese
                                      << " document server " << c.document_server);
    EXPECT_EQ(CString::EncodingForDisplayText(c.level, c.japanese, c.document_server, app),
              c.expected);
  }
}

TEST_F(CStringTest, AssignsDisplayTextInTheEncodingOfTheServerLevel) {
  TextEncoding::SetApplicationEncoding(quill::kEncodingMacRoman);
  CString s;
  s = std::string("Caf\xC3\xA9");  // level 0: the application's encoding
  EXPECT_STREQ(Buffer(s), "Caf\x8E");
  EXPECT_EQ(s.Size(), 4u);

  Globals().KRUTF8Version = 7;
  s = std::string("Caf\xC3\xA9");
  EXPECT_STREQ(Buffer(s), "Caf\xC3\xA9");
  EXPECT_EQ(s.Size(), 5u);

  Globals().popupJobNotesLangIsJapanese = true;
  s = std::string("Caf\xC3\xA9");
  EXPECT_STREQ(Buffer(s), "Caf\x8E");
}

TEST_F(CStringTest, FailedDisplayTextAssignmentGivesEmptyText) {
  TextEncoding::SetApplicationEncoding(quill::kEncodingMacRoman);
  for (const std::string& text : {std::string("\xE6\x97\xA5"),  // no Mac Roman equivalent
                                  std::string("bad \xC3")}) {   // not UTF-8
    CString s("old");
    s = text;
    ASSERT_NE(Buffer(s), nullptr);
    EXPECT_STREQ(Buffer(s), "");
    EXPECT_EQ(s.Size(), 0u);
  }
}

TEST_F(CStringTest, ConstructsFromDisplayTextInTheSystemEncoding) {
  // Size() is the byte count held, not the character count of the display text.
  CString utf8(std::string("Caf\xC3\xA9 \xE6\x97\xA5"));
  EXPECT_STREQ(Buffer(utf8), "Caf\xC3\xA9 \xE6\x97\xA5");
  EXPECT_EQ(utf8.Size(), std::strlen(Buffer(utf8)));
  EXPECT_EQ(utf8.Size(), 9u);

  TextEncoding::SetSystemEncoding(quill::kEncodingISOLatin1);
  CString latin(std::string("Caf\xC3\xA9"));
  EXPECT_STREQ(Buffer(latin), "Caf\xE9");
  EXPECT_EQ(latin.Size(), 4u);

  CString failed(std::string("\xE6\x97\xA5"));
  EXPECT_EQ(Buffer(failed), nullptr);
  EXPECT_EQ(failed.Size(), 0u);
}
