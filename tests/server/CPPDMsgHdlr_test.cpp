#include "server/CPPDMsgHdlr.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "ppddata/BlockTestData.h"
#include "support/TempDir.h"

namespace {

using namespace quill::testing;

// The bytes of a wide text as the spooler side stores it: 32-bit units in host order.
std::string WideBytes(const std::wstring& text) {
  std::string bytes(text.size() * sizeof(wchar_t), '\0');
  std::memcpy(bytes.data(), text.data(), bytes.size());
  return bytes;
}

TEST(CPPDMsgHdlr, ReadsTheBlockStoredUnderTheKRPrefix) {
  TempDir dir;
  const std::wstring wide = L"<plist><string>Caf\u00e9 \u20ac \U0001F600</string></plist>";
  Attributes attributes = BlockOf("KRDriverPreference", WideBytes(wide));
  Attributes unprefixed = BlockOf("localPreset", "not this one");
  Attributes prefixed = BlockOf("KRlocalPreset", std::string("a\0b", 3));
  attributes.insert(attributes.end(), unprefixed.begin(), unprefixed.end());
  attributes.insert(attributes.end(), prefixed.begin(), prefixed.end());
  std::string ppd = dir.Write("queue.ppd", PPDText(attributes));

  CPPDMsgHdlr preference("DriverPreference", ppd);
  EXPECT_EQ(preference.GetStringData(), wide);
  EXPECT_EQ(preference.GetCStringData(), WideBytes(wide));

  CPPDMsgHdlr presets("localPreset", ppd);
  EXPECT_EQ(presets.GetCStringData(), std::string("a\0b", 3));
  // Three bytes are less than one wide character.
  EXPECT_EQ(presets.GetStringData(), L"");
}

TEST(CPPDMsgHdlr, WideTextDropsATrailingPartialCharacter) {
  TempDir dir;
  std::string bytes = WideBytes(L"ab") + "\x01\x02";
  std::string ppd = dir.Write("queue.ppd", PPDText(BlockOf("KRInvalidPrinterAddress", bytes)));
  CPPDMsgHdlr flag("InvalidPrinterAddress", ppd);
  EXPECT_EQ(flag.GetStringData(), L"ab");
  EXPECT_EQ(flag.GetCStringData(), bytes);
  EXPECT_EQ(flag.Discard(), 2);
  EXPECT_EQ(flag.Discard(), -1);
}

TEST(CPPDMsgHdlr, AnswersEmptyWithoutAPPDOrABlock) {
  TempDir dir;
  std::string ppd = dir.Write("queue.ppd", PPDText(BlockOf("KRPopupJnData", "{ a = b; }")));
  const std::string missing = (dir.path() / "missing.ppd").string();
  const std::string not_a_ppd = dir.Write("text.ppd", "*KRPopupJnData0000: \"eJwDAAAAAAE=\"\n");
  struct Case {
    const char* what;
    std::string name;
    std::string path;
  } cases[] = {
      {"empty path", "PopupJnData", ""},
      {"missing file", "PopupJnData", missing},
      {"not a PPD", "PopupJnData", not_a_ppd},
      {"no such block", "LocalJPPresets", ppd},
  };
  for (const Case& c : cases) {
    CPPDMsgHdlr handler(c.name, c.path);
    EXPECT_EQ(handler.GetCStringData(), "") << c.what;
    EXPECT_EQ(handler.GetStringData(), L"") << c.what;
    EXPECT_EQ(handler.Discard(), -1) << c.what;
  }
}

}  // namespace
