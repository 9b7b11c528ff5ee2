#include "ppddata/OpenStepPlist.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

using quill::OpenStepPlist;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

// Parses a copy of `text` in a buffer of exactly its size, so that the address sanitizer sees any
// read past its end.
std::optional<OpenStepPlist> ParseExact(const std::string& text, std::string* error = nullptr) {
  auto buffer = std::make_unique<char[]>(text.size());
  std::copy(text.begin(), text.end(), buffer.get());
  return OpenStepPlist::Parse(std::string_view(buffer.get(), text.size()), error);
}

TEST(OpenStepPlist, ParsesNestedDictionariesAndArrays) {
  auto plist = ParseExact(
      "// preferences\n"
      "{\n"
      "    alice = \"110\\nNote\\n\";\n"
      "    \"bob smith\" = ( one, 'two', \"three\", ( ), { } , );\n"
      "    /* nested */ carol = { x = 1.5; y = -2; path = /usr/lib:a_b$c; };\n"
      "    alice = replaced;\n"
      "}\n");
  ASSERT_TRUE(plist);
  ASSERT_TRUE(plist->IsDictionary());
  EXPECT_THAT(plist->Keys(), ElementsAre("alice", "bob smith", "carol"));
  EXPECT_EQ(plist->Find("alice")->String(), "replaced");

  const OpenStepPlist* bob = plist->Find("bob smith");
  ASSERT_TRUE(bob && bob->IsArray());
  ASSERT_EQ(bob->Items().size(), 5u);
  EXPECT_EQ(bob->Items()[1].String(), "two");
  EXPECT_TRUE(bob->Items()[3].IsArray());
  EXPECT_TRUE(bob->Items()[4].IsDictionary());

  const OpenStepPlist* carol = plist->Find("carol");
  ASSERT_TRUE(carol && carol->IsDictionary());
  EXPECT_EQ(carol->Find("path")->String(), "/usr/lib:a_b$c");
  EXPECT_EQ(carol->Find("y")->String(), "-2");
  EXPECT_EQ(carol->Find("z"), nullptr);
  EXPECT_EQ(bob->Find("one"), nullptr);
  EXPECT_TRUE(carol->Items().empty());
}

TEST(OpenStepPlist, DecodesEscapes) {
  struct Case {
    std::string quoted;
    std::string text;
  } cases[] = {
      {R"("a\nb\tc\rd")", "a\nb\tc\rd"},
      {R"("\a\b\f\v")", "\a\b\f\v"},
      {R"("say \"hi\" \\ 'x' \'")", "say \"hi\" \\ 'x' '"},
      {R"('it\'s "quoted"')", "it's \"quoted\""},
      {R"("\101\060\7x")", "A0\ax"},
      {R"("\351")", "\xC3\xA9"},
      {R"("\U00e9\U20AC\U41")", "\xC3\xA9\xE2\x82\xAC\x41"},
      {R"("\Ud83d\Ude00")", "\xF0\x9F\x98\x80"},
      {R"("\Ud83d x")", "\xEF\xBF\xBD x"},
      {R"("\Ude00")", "\xEF\xBF\xBD"},
      {R"("\Uzz")", "Uzz"},
      {R"("\q")", "q"},
      {"\"line\nbreak\"", "line\nbreak"},
      {"\"caf\xC3\xA9\"", "caf\xC3\xA9"},
      {R"("")", ""},
  };
  for (const Case& c : cases) {
    std::string error;
    auto plist = ParseExact(c.quoted, &error);
    ASSERT_TRUE(plist) << c.quoted << ": " << error;
    EXPECT_TRUE(plist->IsString());
    EXPECT_EQ(plist->String(), c.text) << c.quoted;
  }
}

TEST(OpenStepPlist, RejectsMalformedText) {
  const char* cases[] = {
      "",
      "   // only a comment",
      "{ a = b }",
      "{ a b; }",
      "{ a = ; }",
      "{ a = b;",
      "{ (a) = b; }",
      "{ a = b; } }",
      "( a b )",
      "( a, ",
      "(",
      "\"unterminated",
      "\"ends in a backslash\\",
      "'\\U12",
      "/* unterminated comment",
      "{ a = /* unterminated",
      "<0fbd77>",
      "{ a = <01>; }",
      "a b",
      "#",
      "{ a = \"x\" ; ; }",
  };
  for (const char* text : cases) {
    std::string error;
    EXPECT_FALSE(ParseExact(text, &error)) << text;
    EXPECT_THAT(error, HasSubstr("line ")) << text;
  }
  std::string error;
  EXPECT_FALSE(ParseExact("{\n a = b;\n c = d\n}", &error));
  EXPECT_EQ(error, "line 4: expected ';'");
  EXPECT_FALSE(ParseExact(std::string("{ a = b; }\0", 11), &error));
}

TEST(OpenStepPlist, LimitsNesting) {
  auto nested = [](int depth) {
    return std::string(static_cast<size_t>(depth), '(') +
           std::string(static_cast<size_t>(depth), ')');
  };
  EXPECT_TRUE(ParseExact(nested(OpenStepPlist::kMaxDepth)));
  std::string error;
  EXPECT_FALSE(ParseExact(nested(OpenStepPlist::kMaxDepth + 1), &error));
  EXPECT_THAT(error, HasSubstr("nesting deeper than 128"));
  EXPECT_FALSE(ParseExact(std::string(100000, '{')));
  EXPECT_FALSE(ParseExact(std::string(100000, '(')));
}

}  // namespace
