#include "ppddata/KRPDEData.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "foundation/ProcessGlobals.h"
#include "platform/SystemInfo.h"
#include "ppddata/BlockTestData.h"
#include "support/TempDir.h"

namespace {

using namespace quill::testing;

class KRPDEDataReadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetProcessGlobals();
    quill::SystemInfo::SetUserName("bob");
  }
  void TearDown() override {
    ResetProcessGlobals();
    quill::SystemInfo::Reset();
  }

  // Makes the current PPD hold `block` as "PopupJnData" (no block for nothing).
  void UsePPD(const std::optional<std::string>& block) {
    Attributes attributes = {{"KRDisplayJobTracking", "True"}};
    if (block) {
      Attributes data = BlockOf("KRPopupJnData", *block);
      attributes.insert(attributes.end(), data.begin(), data.end());
    }
    Globals().currentPPDPath = dir_.Write("queue.ppd", PPDText(attributes));
  }

  struct Result {
    int code;
    std::string out;
    int length;
  };
  Result Read() {
    std::vector<char> out(kKRPDERecordBufferSize, 'x');
    int length = -7;
    int code = KRPDEDataRead("ignored", out.data(), &length);
    EXPECT_EQ(out[static_cast<size_t>(std::max(length, 0))], '\0');
    return {code, std::string(out.data(), static_cast<size_t>(std::max(length, 0))), length};
  }

  TempDir dir_;
};

TEST_F(KRPDEDataReadTest, ReadsTheCurrentUsersRecord) {
  const std::string record = "110\nKRNote1\nsaved one\n\n\n\n\n\n\n\n\n";
  struct Case {
    const char* what;
    std::optional<std::string> block;
    int code;
    std::string record;
  } cases[] = {
      {"two users, quoted with escapes",
       "{\n    alice = \"010\\nKRNote1\\n\";\n    bob = \"110\\nKRNote1\\nsaved "
       "one\\n\\n\\n\\n\\n\\n"
       "\\n\\n\\n\";\n}",
       0, record},
      {"unquoted value, comments, quoted key",
       "/* prefs */ { \"alice\" = 010; // old\n bob = 112; }", 0, "112"},
      {"non-ASCII text from \\U escapes", "{ bob = \"111\\nN\\nCaf\\U00e9 \\U20ac\\n\"; }", 0,
       "111\nN\nCaf\xC3\xA9 \xE2\x82\xAC\n"},
      {"text after a NUL is not read", std::string("{ bob = 112; }") + '\0' + "garbage", 0, "112"},
      {"no block", std::nullopt, 0, ""},
      {"empty block", "", 0, ""},
      {"no entry for the user", "{ alice = 112; }", 1, ""},
      {"entry that is not a string", "{ bob = { a = b; }; }", 1, ""},
      {"root that is an array", "( bob, 112 )", 1, ""},
      {"not a property list", "<?xml version=\"1.0\"?><plist><dict/></plist>", 1, ""},
      {"unterminated dictionary", "{ bob = 112;", 1, ""},
      {"NUL first", std::string(1, '\0') + "{ bob = 112; }", 1, ""},
  };
  for (const Case& c : cases) {
    UsePPD(c.block);
    Result r = Read();
    EXPECT_EQ(r.code, c.code) << c.what;
    EXPECT_EQ(r.out, c.record) << c.what;
    EXPECT_EQ(r.length, static_cast<int>(c.record.size())) << c.what;
  }
}

TEST_F(KRPDEDataReadTest, ReturnsOneWithoutAPPDPath) {
  Result r = Read();
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.length, 0);
  EXPECT_EQ(r.out, "");
}

TEST_F(KRPDEDataReadTest, AnUnreadablePPDHoldsNoRecord) {
  Globals().currentPPDPath = (dir_.path() / "missing.ppd").string();
  Result r = Read();
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.length, 0);
}

TEST_F(KRPDEDataReadTest, CutsAnOversizedRecordToTheBufferOnACharacterBoundary) {
  // 4094 ASCII bytes, then a two-byte character that does not fit the 4095 usable bytes.
  std::string record = std::string(4094, 'a') + "\\U00e9tail";
  UsePPD("{ bob = \"" + record + "\"; }");
  Result r = Read();
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out, std::string(4094, 'a'));

  std::vector<char> out(4);
  EXPECT_EQ(KRPDEDataRead(nullptr, out.data(), nullptr), -1);
  int length = 0;
  EXPECT_EQ(KRPDEDataRead(nullptr, nullptr, &length), -1);
}

}  // namespace
