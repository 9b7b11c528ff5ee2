#include "connection/KRTMeridiaPrinterPList.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "connection/PrinterListFile.h"
#include "platform/PrintSession.h"
#include "platform/SystemInfo.h"
#include "support/TempDir.h"

namespace {

using quill::KRTMeridiaPrinterPList;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

// An XML property-list array of the given elements: strings as written, "<true/>" and "<false/>"
// kept as booleans.
std::string ArrayXML(const std::vector<std::string>& items) {
  std::string xml =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<array>\n";
  for (const std::string& item : items) {
    xml += (item == "<true/>" || item == "<false/>") ? item : "<string>" + item + "</string>";
    xml += "\n";
  }
  return xml + "</array>\n</plist>\n";
}

// The working array's elements as text (booleans as "<true/>" / "<false/>").
std::vector<std::string> Elements(const KRTMeridiaPrinterPList& list) {
  std::vector<std::string> out;
  plist_t array = list.Array();
  for (uint32_t i = 0; i < plist_array_get_size(array); ++i) {
    plist_t item = plist_array_get_item(array, i);
    if (plist_get_node_type(item) == PLIST_BOOLEAN) {
      uint8_t value = 0;
      plist_get_bool_val(item, &value);
      out.push_back(value ? "<true/>" : "<false/>");
    } else {
      char* text = nullptr;
      plist_get_string_val(item, &text);
      out.push_back(text ? text : "?");
      std::free(text);
    }
  }
  return out;
}

constexpr const char* kEnd = KRTMeridiaPrinterPList::kDataEnd;

TEST(KRTMeridiaPrinterPList, RecordsAreFoundOnlyAtRecordStarts) {
  // A queue named "2" must not match the form marker of another record, and a block line equal
  // to a queue name must not be taken for that queue's record.
  KRTMeridiaPrinterPList list(ArrayXML({
      "office", "10.0.0.1", "<true/>", "2", "1:3", "lab", "2", "10.0.0.9", kEnd,
      "Lab", "lab.example", "<false/>", "2", kEnd,
      "2", "10.0.0.2", "<true/>", "2", kEnd,
  }));
  bool found = false;
  EXPECT_EQ(list.Exists("LAB", found), 9);
  EXPECT_TRUE(found);
  EXPECT_EQ(list.Find("lab"), "lab.example");
  EXPECT_FALSE(list.getIPEnabled("lab"));
  EXPECT_EQ(list.Find("2"), "10.0.0.2");
  EXPECT_TRUE(list.getIPEnabled("2"));
  EXPECT_EQ(list.Find("10.0.0.9"), "");
  EXPECT_EQ(list.Exists("missing", found), -1);
  EXPECT_FALSE(found);
  EXPECT_THAT(list.QueueNames(), ElementsAre("office", "Lab", "2"));
  std::vector<std::string> lines;
  ASSERT_TRUE(list.GetDataBlob("Office", 1, lines));
  EXPECT_THAT(lines, ElementsAre("lab", "2", "10.0.0.9"));
  EXPECT_FALSE(list.Modified());
}

TEST(KRTMeridiaPrinterPList, AddsUpdatesAndReplacesBlocks) {
  KRTMeridiaPrinterPList list("");
  EXPECT_TRUE(list.Add("office", "10.0.0.1", true));
  EXPECT_TRUE(list.Add("lab", "", false));
  EXPECT_TRUE(list.AddDataBlob("office", 1, {"wm one", "wm two"}));
  EXPECT_TRUE(list.AddDataBlob("office", 11, {"eleven"}));
  EXPECT_TRUE(list.AddDataBlob("office", 1, {"replaced"}));
  EXPECT_TRUE(list.AddDataBlob("nobody", 1, {"dropped"}));
  EXPECT_TRUE(list.Add("OFFICE", "10.0.0.5", false));
  EXPECT_TRUE(list.setIPEnabled("office", true));
  EXPECT_FALSE(list.setIPEnabled("nobody", true));
  EXPECT_THAT(Elements(list),
              ElementsAre("office", "10.0.0.5", "<true/>", "2", "1:1", "replaced", "11:1", "eleven",
                          kEnd, "lab", "", "<false/>", "2", kEnd));
  std::vector<std::string> lines;
  EXPECT_TRUE(list.GetDataBlob("office", 11, lines));
  EXPECT_FALSE(list.GetDataBlob("office", 2, lines));
  EXPECT_FALSE(list.GetDataBlob("nobody", 1, lines));
  EXPECT_THAT(lines, ElementsAre("eleven"));
  EXPECT_TRUE(list.Modified());
}

TEST(KRTMeridiaPrinterPList, OldFormsConvertWithoutTouchingTheNextRecord) {
  struct Case {
    const char* what;
    std::vector<std::string> before;
    std::vector<std::string> after;
  } cases[] = {
      {"form 0 with a closing element",
       {"q", "a", "<true/>", "0", "x", "next", "b", "<false/>", "2", kEnd},
       {"q", "new", "<true/>", "2", kEnd, "next", "b", "<false/>", "2", kEnd}},
      {"form 0 followed directly by a record",
       {"q", "a", "<true/>", "0", "next", "b", "<false/>", "2", kEnd},
       {"q", "new", "<true/>", "2", kEnd, "next", "b", "<false/>", "2", kEnd}},
      {"form 1 with lines, followed directly by a record",
       {"q", "a", "<true/>", "1", "2", "l1", "l2", "next", "b", "<false/>", "2", kEnd},
       {"q", "new", "<true/>", "2", kEnd, "next", "b", "<false/>", "2", kEnd}},
      {"form 1 with a closing element",
       {"q", "a", "<true/>", "1", "1", "l1", "end", "next", "b", "<false/>", "2", kEnd},
       {"q", "new", "<true/>", "2", kEnd, "next", "b", "<false/>", "2", kEnd}},
      {"form 1 as the last record", {"q", "a", "<true/>", "1", "0"},
       {"q", "new", "<true/>", "2", kEnd}},
  };
  for (const Case& c : cases) {
    KRTMeridiaPrinterPList list(ArrayXML(c.before));
    std::vector<std::string> lines;
    EXPECT_FALSE(list.GetDataBlob("q", 1, lines)) << c.what << ": old forms hold no blocks";
    EXPECT_TRUE(list.Add("q", "new", true)) << c.what;
    EXPECT_EQ(Elements(list), c.after) << c.what;
  }
}

TEST(KRTMeridiaPrinterPList, LineCountsAreCheckedAgainstTheArray) {
  // The header claims five lines but only two and the end marker follow.
  KRTMeridiaPrinterPList list(
      ArrayXML({"q", "a", "<true/>", "2", "1:5", "l1", "l2", kEnd, "r", "b", "<false/>", "2", kEnd}));
  std::vector<std::string> lines;
  EXPECT_FALSE(list.GetDataBlob("q", 1, lines));
  EXPECT_THAT(lines, IsEmpty());
  EXPECT_FALSE(list.AddDataBlob("q", 2, {"x"})) << "a damaged record is not written into";
  EXPECT_EQ(list.Find("r"), "b");
}

TEST(KRTMeridiaPrinterPList, BlockLinesKeepTheirCountWhateverTheirBytes) {
  KRTMeridiaPrinterPList list("");
  list.Add("q", "a", true);
  std::vector<char> slots(3 * KRTMeridiaPrinterPList::kLineSlot, 'x');
  slots[1023] = '\0';                                // slot 0: 1023 bytes, its NUL not stored
  std::string bad = "bad \xFF\xFE utf8 \x01";
  std::copy(bad.begin(), bad.end(), slots.begin() + 1024);
  slots[1024 + bad.size()] = '\0';
  std::copy_n("<&>", 4, slots.begin() + 2048);
  ASSERT_TRUE(list.AddDataBlob("q", 3, 1, slots.data()));

  char* xml = nullptr;
  uint32_t length = 0;
  plist_to_xml(list.Array(), &xml, &length);
  KRTMeridiaPrinterPList reloaded(std::string(xml, length));
  plist_to_xml_free(xml);
  std::vector<std::string> lines;
  ASSERT_TRUE(reloaded.GetDataBlob("q", 1, lines));
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], std::string(1023, 'x'));
  EXPECT_EQ(lines[1], "bad \xEF\xBF\xBD\xEF\xBF\xBD utf8 \xEF\xBF\xBD");
  EXPECT_EQ(lines[2], "<&>");
}

TEST(KRTMeridiaPrinterPList, TextWithANulByteIsRefusedNotCrashedOn) {
  // libplist keeps a NUL byte inside a string of XML text and then reports lengths past it.
  std::string xml = ArrayXML({"q", "a", "<true/>", "2", kEnd});
  xml.insert(xml.find("<string>q") + 9, std::string("\x01\0", 2));
  KRTMeridiaPrinterPList list(xml);
  EXPECT_FALSE(list.SourceReadable());
  EXPECT_THAT(list.QueueNames(), IsEmpty());
}

TEST(PropertyListFile, AListThatCannotBeReadIsNeverSavedOver) {
  quill::PrintSession::Reset();
  for (const char* text : {"not a property list", "<plist><dict><key>a</key><string>b</string></dict></plist>"}) {
    KRTMeridiaPrinterPList list(text);
    EXPECT_FALSE(list.SourceReadable()) << text;
    EXPECT_THAT(list.QueueNames(), IsEmpty());
    list.Add("q", "a", true);
    EXPECT_FALSE(list.Save()) << text;
  }
  // A readable list with no printer chosen: nothing is sent, and the failure is reported.
  KRTMeridiaPrinterPList list(ArrayXML({"q", "a", "<true/>", "2", kEnd}));
  EXPECT_TRUE(list.Save()) << "unchanged: nothing to send";
  list.Add("q", "b", true);
  EXPECT_FALSE(list.Save());
  EXPECT_EQ(list.ErrorText(), "no printer chosen");
}

TEST(PropertyListFile, OldSystemsKeepTheListInTheHomeFolder) {
  quill::testing::TempDir home;
  const char* old_home = std::getenv("HOME");
  std::string saved_home = old_home ? old_home : "";
  setenv("HOME", home.path().c_str(), 1);
  quill::SystemInfo::SetVersion({10, 6});
  std::filesystem::create_directories(home.path() / "Library/Preferences");
  {
    KRTMeridiaPrinterPList list;
    EXPECT_TRUE(list.SourceReadable());
    list.Add("office", "10.0.0.1", true);
    list.AddDataBlob("office", 1, {"line"});
    EXPECT_TRUE(list.Save());
  }
  {
    KRTMeridiaPrinterPList list;
    EXPECT_EQ(list.Find("office"), "10.0.0.1");
  }
  home.Write("Library/Preferences/KRT.MeridiaPrinterV2.plist", "garbage");
  {
    KRTMeridiaPrinterPList list;
    list.Add("office", "10.0.0.2", true);
    EXPECT_FALSE(list.Save());
  }
  quill::SystemInfo::Reset();
  setenv("HOME", saved_home.c_str(), 1);
}

TEST(PrinterListFile, KeepsThePCFileNames) {
  quill::testing::TempDir bundle;
  bundle.Write("a/PrinterList.plist",
               "<plist><dict><key>PCFILENAME</key><array><string>KRQ1.PPD</string>"
               "<string>KRQ2.PPD</string></array></dict></plist>");
  bundle.Write("b/PrinterList.plist",
               "<plist><dict><key>PCFILENAME</key><string>ONE.PPD</string></dict></plist>");
  bundle.Write("c/PrinterList.plist", "<plist><dict><key>Other</key><string>x</string></dict></plist>");
  quill::PrinterListFile a((bundle.path() / "a").string());
  EXPECT_TRUE(a.IsValid());
  EXPECT_THAT(a.PCFileNames(), ElementsAre("KRQ1.PPD", "KRQ2.PPD"));
  quill::PrinterListFile b((bundle.path() / "b").string());
  EXPECT_THAT(b.PCFileNames(), ElementsAre("ONE.PPD"));
  EXPECT_FALSE(quill::PrinterListFile((bundle.path() / "c").string()).IsValid());
  EXPECT_FALSE(quill::PrinterListFile((bundle.path() / "none").string()).IsValid());
}

}  // namespace
