#include "server/DeviceManagement.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace quill {
namespace {

const char kDocument[] =
    "<Category name=\"UI-Modification\">\n"
    "<Controls>\n"
    "<KRTPPD key=\"PadCoverTray\" default=\"Tray2\"/>\n"
    "<KRTPPD key=\"MM_A1\" default=\"Plain\"/>\n"
    "<KRTPPD key=\"RangeProp3\" default=\"1-4\"/>\n"
    "<KRTPPD key=\"SlipSheet_Tray\" default=\"Tray1\"/>\n"
    "<KRTPPD key=\"CoverPage_Text\" default=\"Hello &amp; bye\"/>\n"
    "<KRTPPD key=\"KRPCName\" default=\"Glossy\"/>\n"
    "<KRTPPD key=\"KRJobName\" default=\"Weekly\"/>\n"
    "<KRTPPD key=\"CustomPrintSize\" default=\"210x297\"/>\n"
    "<KRTPPD key=\"Duplex\" default=\"DuplexNoTumble\"/>\n"
    "</Controls>\n"
    "<Lock>\n"
    "<KRTPPD key=\"Collate\" value=\"True\"/>\n"
    "<KRTPPD key=\"Staple\" value=\"False\"/>\n"
    "</Lock>\n"
    "<Show>\n"
    "<KRTPPD key=\"Duplex\" value=\"False\"/>\n"
    "<KRTPPD key=\"MediaTypeEx\" value=\"False\"/>\n"
    "<KRTPPD key=\"InputSlot\" value=\"True\"/>\n"
    "</Show>\n"
    "</Category>\n"
    "<Show><KRTPPD key=\"Resolution\" value=\"False\"/></Show>\n";

TEST(DeviceManagement, HiddenAndLockedOptions) {
  const struct {
    const char* keyword;
    bool hidden;
    bool locked;
  } cases[] = {
      {"*Duplex", true, false},
      {"Duplex", true, false},           // the asterisk is optional
      {"*MediaType", false, false},      // matched with its quotes: not MediaTypeEx
      {"*MediaTypeEx", true, false},
      {"*InputSlot", false, false},      // shown explicitly
      {"*Resolution", false, false},     // only after </Show> and outside the category
      {"*Collate", false, true},
      {"*Staple", false, false},
      {"*", false, false},
      {"", false, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(dmtHides(kDocument, c.keyword), c.hidden) << c.keyword;
    EXPECT_EQ(dmtLocks(kDocument, c.keyword), c.locked) << c.keyword;
  }
  EXPECT_FALSE(dmtHides(nullptr, "*Duplex"));
  EXPECT_FALSE(dmtHides(kDocument, nullptr));
  EXPECT_FALSE(dmtHides("", "*Duplex"));
}

TEST(DeviceManagement, TheValueMustBelongToTheKeywordsElement) {
  const struct {
    const char* show;
    bool hidden;
  } cases[] = {
      {"<KRTPPD key=\"Duplex\" value=\"True\"/>\n<KRTPPD key=\"A\" value=\"False\"/>", false},
      {"<KRTPPD value=\"False\" key=\"Duplex\"/>", false},  // the value must follow the key
      {"<KRTPPD key=\"Duplex\" value=\"False\">", false},   // no end of element at all
      {"<KRTPPD key=\"Duplex\"\n value=\"False\"/>", true},
  };
  for (const auto& c : cases) {
    const std::string text = std::string("<Category name=\"UI-Modification\"><Show>\n") + c.show +
                             "\n</Show></Category>";
    EXPECT_EQ(dmtHides(text.c_str(), "*Duplex"), c.hidden) << c.show;
  }
}

TEST(DeviceManagement, HiddenKeysCarryTheirAsterisk) {
  std::vector<std::string> keys{"*Existing"};
  ASSERT_TRUE(fetchHiddenKeysFromDMTXML(kDocument, keys));
  EXPECT_EQ(keys, (std::vector<std::string>{"*Existing", "*Duplex", "*InputSlot", "*MediaTypeEx"}));
  std::vector<std::string> none;
  EXPECT_FALSE(fetchHiddenKeysFromDMTXML("<Category name=\"UI-Modification\"></Category>", none));
  EXPECT_FALSE(fetchHiddenKeysFromDMTXML(nullptr, none));
  EXPECT_TRUE(none.empty());
}

TEST(DeviceManagement, DefaultsOutsideThePPDOptionsGoWhereTheyBelong) {
  const std::set<std::string> job_notes{"*KRJobName"};
  const std::set<std::string> controls{"*CustomPrintSize", "*Duplex", "*KRJobName"};
  const auto defaults = dmtNonPPDDefaults(
      kDocument, [&](std::string_view k) { return job_notes.count(std::string(k)) > 0; },
      [&](std::string_view k) { return controls.count(std::string(k)) > 0; });

  struct Expected {
    DMTNonPPDTarget target;
    std::string key;
    std::string value;
  };
  const std::vector<Expected> expected{
      {DMTNonPPDTarget::kCoverPage, "*CoverPage_Text", "Hello & bye"},
      {DMTNonPPDTarget::kCustomPrintSize, "*CustomPrintSize", "210x297"},
      {DMTNonPPDTarget::kJobNote, "*KRJobName", "Weekly"},
      {DMTNonPPDTarget::kPaperCatalog, "*KRPCName", "Glossy"},
      {DMTNonPPDTarget::kMixedMedia, "*MM_A1", "Plain"},
      {DMTNonPPDTarget::kPadCover, "*PadCoverTray", "Tray2"},
      {DMTNonPPDTarget::kMixedMedia, "*RangeProp3", "1-4"},
      {DMTNonPPDTarget::kSlipSheet, "*SlipSheet_Tray", "Tray1"},
  };  // key order; Duplex is an ordinary option and is left out
  ASSERT_EQ(defaults.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(defaults[i].target, expected[i].target) << expected[i].key;
    EXPECT_EQ(defaults[i].settingsKey, expected[i].key);
    EXPECT_EQ(defaults[i].settingsValue, expected[i].value);
    EXPECT_EQ(defaults[i].key, std::wstring(expected[i].key.begin(), expected[i].key.end()));
  }

  // Without the tree's answers neither job notes nor the custom size are taken.
  const auto plain = dmtNonPPDDefaults(kDocument, {}, {});
  EXPECT_EQ(plain.size(), expected.size() - 2);
  EXPECT_TRUE(dmtNonPPDDefaults(nullptr, {}, {}).empty());
}

}  // namespace
}  // namespace quill
