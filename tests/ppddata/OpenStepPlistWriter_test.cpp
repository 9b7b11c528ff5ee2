#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "ppddata/OpenStepPlist.h"

namespace {

using quill::OpenStepPlist;

TEST(OpenStepPlistWriter, RoundTripsEveryTextTheReaderAccepts) {
  const std::string texts[] = {
      "plain",
      "\"\"",
      "()",
      "{}",
      "( a, 'b', \"c d\", (), {}, )",
      "{ alice = \"110\\nNote\\n\"; \"bob smith\" = ( 1, 2 ); carol = { x = 1.5; }; }",
      "{ \"2\" = x; key = value; key = replaced; }",
      R"("\a\b\f\v\t\r\n \"q\" \\ \'")",
      R"("\000\001\037\177 digits after an escape: \0012")",
      "\"caf\xC3\xA9 \xFF\xFE not UTF-8\"",
      R"("\U00e9\Ud83d\Ude00\Ude00 \351")",
      "// comment\n/* block */ { path = /usr/lib:a_b$c; slash = \"//not a comment\"; }",
      "{ \"/*\" = \"//\"; \"=\" = \";\"; \"{}\" = \"()\"; \",\" = \"'\"; }",
      "{ empty = \"\"; \"\" = empty; }",
      "((((((((deep))))))))",
      std::string("\"embedded ") + '\0' + " NUL\"",
  };
  for (const std::string& text : texts) {
    std::string error;
    auto first = OpenStepPlist::Parse(text, &error);
    ASSERT_TRUE(first) << text << ": " << error;
    std::string written = first->ToText();
    auto second = OpenStepPlist::Parse(written, &error);
    ASSERT_TRUE(second) << written << ": " << error;
    EXPECT_TRUE(*second == *first) << text << "\nwritten as\n" << written;
    EXPECT_EQ(second->ToText(), written) << "writing is stable";
  }
}

TEST(OpenStepPlistWriter, BuildsAndWritesTheRecordDictionary) {
  OpenStepPlist dict = OpenStepPlist::MakeDictionary();
  EXPECT_TRUE(dict.Set("alice", OpenStepPlist("110\nNote1\nsaved\n")));
  EXPECT_TRUE(dict.Set("bob smith", OpenStepPlist("0")));
  EXPECT_TRUE(dict.Set("alice", OpenStepPlist("replaced")));
  OpenStepPlist list = OpenStepPlist::MakeArray();
  EXPECT_TRUE(list.Append(OpenStepPlist("a/b")));
  EXPECT_TRUE(list.Append(OpenStepPlist::MakeDictionary()));
  EXPECT_TRUE(dict.Set("list", list));
  EXPECT_EQ(dict.ToText(),
            "{\n"
            "    alice = replaced;\n"
            "    \"bob smith\" = 0;\n"
            "    list = (\n"
            "        \"a/b\",\n"
            "        {}\n"
            "    );\n"
            "}");
  // Building only changes values of the right type.
  OpenStepPlist text("x");
  EXPECT_FALSE(text.Set("k", OpenStepPlist("v")));
  EXPECT_FALSE(text.Append(OpenStepPlist("v")));
  EXPECT_FALSE(list.Set("k", OpenStepPlist("v")));
  EXPECT_FALSE(dict.Append(OpenStepPlist("v")));
  EXPECT_TRUE(text == OpenStepPlist("x"));
}

}  // namespace
