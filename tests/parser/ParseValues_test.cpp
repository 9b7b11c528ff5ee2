// The parsed tree as the panel uses it: the key/value interface, the constraint question with the
// print-size rule, the pop-up job-note preferences, and files that must not break the parser.
#include <fstream>
#include <iterator>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "ParserFixture.h"
#include "PPDX/PPDObjects/Controls/PPDXBooleanControl.h"
#include "PPDX/PPDObjects/Controls/PPDXJobNote.h"
#include "PPDX/PPDObjects/Controls/PPDXPopupControl.h"
#include "PPDX/PPDObjects/Controls/PopupItem.h"
#include "PPDX/PPDXErrorObj.h"
#include "foundation/PointerList.h"
#include "platform/Log.h"
#include "ppddata/BlockTestData.h"

using namespace parser_test;

class ParseValues : public ParserTest {};

TEST_F(ParseValues, KeyValueInterface) {
  ParsedPPD ppd = Parse(
      kHeader + kSkeleton + Popup("*Duplex", {"None", "DuplexTumble"}) +
      "*%KRTGroupName: KRPPInstallableOptions/Installed: True\n"
      "*%KRTParent: KRPPInstallableOptions/Pane: True|Rolldown\n" +
      "*%KRTFlags: *KRFinisher Spooler\n*%KRTGroup: *KRFinisher KRPPInstallableOptions\n"
      "*OpenUI *KRFinisher/Finisher: PickOne\n*DefaultKRFinisher: None\n"
      "*KRFinisher None/None: \"\"\n*KRFinisher FS1/FS1: \"\"\n*CloseUI: *KRFinisher\n");
  EXPECT_EQ(ppd->CopyValueForKey("*Duplex"), "None");
  EXPECT_TRUE(ppd->SetValueForKey("*Duplex", "DuplexTumble"));
  EXPECT_EQ(ppd->CopyValueForKey("*Duplex"), "DuplexTumble");
  EXPECT_FALSE(ppd->SetValueForKey("*NoSuchKey", "x"));
  EXPECT_EQ(ppd->CopyValueForKey("*NoSuchKey"), std::nullopt);
  EXPECT_EQ(ppd->GetPPDXControlForKey("*Duplex" + std::string(40, 'x')), nullptr);

  auto values = ppd->CopyAllValues();
  EXPECT_EQ(values["*Duplex"], "DuplexTumble");
  EXPECT_EQ(values["*KRFinisher"], "None");
  // Installable options keep their value when all values are set back.
  ppd->SetAllValues({{"*Duplex", "None"}, {"*KRFinisher", "FS1"}});
  EXPECT_EQ(ppd->CopyValueForKey("*Duplex"), "None");
  EXPECT_EQ(ppd->CopyValueForKey("*KRFinisher"), "None");
}

TEST_F(ParseValues, PrintSizeStandsForThePageSize) {
  const std::string text = kHeader + kSkeleton + Popup("*PageSize", {"A4", "SRA3"}) +
                           Popup("*KRPrintSize", {"SameAsPageSize", "A4", "SRA3"}) +
                           Popup("*Duplex", {"None", "DuplexTumble"}) +
                           "*UIConstraints: *Duplex DuplexTumble *KRPrintSize SRA3\n"
                           "*UIConstraints: *KRPrintSize SRA3 *Duplex DuplexTumble\n";
  ParsedPPD ppd = Parse(text);
  // Print size "same as the page size", page size A4: nothing stands against duplex.
  EXPECT_FALSE(ppd->IsKVConstrained("*Duplex", "DuplexTumble"));
  ppd->SetValueForKey("*PageSize", "SRA3");
  EXPECT_TRUE(ppd->IsKVConstrained("*Duplex", "DuplexTumble"));
  EXPECT_EQ(ppd->CopyValueForKey("*KRPrintSize"), "SameAsPageSize");  // set back after asking
  // A custom page size chosen in the page setup stands in instead.
  Globals().customPageSizeSelectedInPageSetup = true;
  EXPECT_FALSE(ppd->IsKVConstrained("*Duplex", "DuplexTumble"));
  Globals().customPageSizeSelectedInPageSetup = false;

  // With a print size of its own, asking about "SameAsPageSize" asks about the page size.
  ppd->SetValueForKey("*KRPrintSize", "A4");
  ppd->SetValueForKey("*PageSize", "SRA3");
  EXPECT_FALSE(ppd->IsKVConstrained("*Duplex", "DuplexTumble"));
  ppd->SetValueForKey("*Duplex", "DuplexTumble");
  ppd->SetValueForKey("*PageSize", "A4");
  EXPECT_EQ(ppd->IsKVConstrained("*KRPrintSize", "SameAsPageSize"),
            ppd->IsKVConstrained("*KRPrintSize", "A4"));
  ppd->SetValueForKey("*PageSize", "SRA3");
  EXPECT_TRUE(ppd->IsKVConstrained("*KRPrintSize", "SameAsPageSize"));
}

TEST_F(ParseValues, PopupJobNotePreferencesOfTheUser) {
  quill::SystemInfo::SetUserName("alice");
  const std::string plist =
      "{ bob = \"000\"; alice = \"121*KRAcct\\nhello caf\\U00e9\\n*KROther\\n\\n\\n\\n\\n\\n\\n\\n\"; }";
  std::string blocks;
  for (const auto& [name, value] : quill::testing::BlockOf("KRPopupJnData", plist)) {
    blocks += "*" + name + ": \"" + value + "\"\n";
  }
  const std::string text =
      kHeader + kSkeleton + blocks +
      "*%KRTFlags: *KRDisplayJobTracking Spooler\n*%KRTGroup: *KRDisplayJobTracking G\n"
      "*OpenUI *KRDisplayJobTracking/Track: Boolean\n*DefaultKRDisplayJobTracking: False\n"
      "*KRDisplayJobTracking True/On: \"\"\n*KRDisplayJobTracking False/Off: \"\"\n"
      "*CloseUI: *KRDisplayJobTracking\n" +
      Popup("*KRAccountSetting", {"One", "Two"}) +
      "*%KRTFlags: *KRAcct Spooler\n*%KRTGroup: *KRAcct G\n"
      "*%KRTJobNote: *KRAcct/Account: 16|Alpha|PopupJN\n*%KRAcct: \"(<*KRAcct>)\"\n"
      "*%KRTFlags: *KRAcct2 Spooler\n*%KRTGroup: *KRAcct2 G\n"
      "*%KRTJobNote: *KRAcct2/Account 2: 16|Alpha|PopupJN\n*%DefaultKRAcct2: \"old\"\n"
      "*%KRAcct2: \"(<*KRAcct2>)\"\n";
  path_ = dir_.Write("prefs.ppd", text);
  Globals().currentPPDPath = path_;
  std::vector<std::string> log;
  auto previous = quill::SetLogSink([&](std::string_view m) { log.emplace_back(m); });
  auto* raw = new KRTPPD(path_, 3);
  raw->Retain();
  ParsedPPD ppd(raw);
  quill::SetLogSink(previous);

  EXPECT_EQ(Globals().popupJobNotePrefs.setting, '2');
  auto* tracking = dynamic_cast<PPDXBooleanControl*>(Control(*ppd, "*KRDisplayJobTracking"));
  ASSERT_NE(tracking, nullptr);
  EXPECT_TRUE(tracking->IsTrue());
  EXPECT_TRUE(tracking->DefaultState());
  EXPECT_EQ(ppd->CopyValueForKey("*KRAccountSetting"), "Two");
  auto* note = dynamic_cast<PPDXJobNote*>(Control(*ppd, "*KRAcct"));
  ASSERT_NE(note, nullptr);
  EXPECT_STREQ(note->GetNotes(), "hello caf\x8E");  // Mac Roman
  EXPECT_STREQ(note->GetDefaultNotes(), "hello caf\x8E");
  auto* other = dynamic_cast<PPDXJobNote*>(Control(*ppd, "*KRAcct2"));
  ASSERT_NE(other, nullptr);
  EXPECT_STREQ(other->GetNotes(), "");  // a pop-up note without saved text is emptied
  EXPECT_NE(std::find(log.begin(), log.end(),
                      "KRTPPD::ReadPUJNPrefs: Enable/Setting/ShowLast '121' "),
            log.end());
  EXPECT_NE(std::find(log.begin(), log.end(), "KRTPPD::ReadPUJNPrefs 1 '*KRAcct' \n"), log.end());
}

TEST_F(ParseValues, NoPreferencesAreLogged) {
  std::vector<std::string> log;
  auto previous = quill::SetLogSink([&](std::string_view m) { log.emplace_back(m); });
  ParsedPPD without_path = Parse(kHeader + kSkeleton);
  Globals().currentPPDPath = dir_.Write("noblock.ppd", kHeader + kSkeleton);
  ParsedPPD without_block = Parse(kHeader + kSkeleton);
  quill::SetLogSink(previous);
  EXPECT_NE(std::find(log.begin(), log.end(), "KRTPPD::ReadPUJNPrefs: KRPDEDataRead anErr 1"),
            log.end());
  EXPECT_NE(std::find(log.begin(), log.end(),
                      "There are no preferences in the accounting popup file."),
            log.end());
}

TEST_F(ParseValues, RuntimePopups) {
  ParsedPPD ppd = Parse(kHeader + kSkeleton + Popup("*A", {"x"}));
  PointerList items;
  items.PushBack(new _PopupItem("One", std::string("One"), nullptr, 0));
  items.PushBack(new _PopupItem("Two", std::string("Two"), nullptr, 0));
  PPDXPopupControl* popup =
      ppd->PPDCreatePopupMenu("G", "*KRPreset", "Preset", items, new CString("Two"));
  ASSERT_NE(popup, nullptr);
  EXPECT_EQ(ppd->CopyValueForKey("*KRPreset"), "Two");
  EXPECT_STREQ(popup->GetParent()->Keyword(), "G");

  PointerList fresh;
  fresh.PushBack(new _PopupItem("Two", std::string("Two"), nullptr, 0));
  fresh.PushBack(new _PopupItem("Three", std::string("Three"), nullptr, 0));
  EXPECT_TRUE(ppd->PPDReconcilePopupMenu("*KRPreset", "Preset", fresh, new CString("Three")));
  EXPECT_EQ(ppd->CopyValueForKey("*KRPreset"), "Two");  // the current keyword survives
  PointerList unused;
  unused.PushBack(new _PopupItem("X", std::nullopt, nullptr, 0));
  EXPECT_FALSE(ppd->PPDReconcilePopupMenu("*Missing", "M", unused, nullptr));
}

TEST_F(ParseValues, ParsedItemsKeepTheirTextsAndCanBeReplaced) {
  // The parser lays a popup's items out together with their codes; each item must still carry
  // its own keyword, name and code bytes, whatever their lengths, and the items must go cleanly
  // when a reconcile replaces them and when the tree goes.
  // Over 255 bytes, on lines of their own as PPD lines are kept short.
  const std::string line(100, 'x');
  const std::string long_code = line + "\n" + line + "\n" + line;
  ParsedPPD ppd = Parse(kHeader + kSkeleton +
                        "*%KRTFlags: *KRTray Spooler\n*%KRTGroup: *KRTray G\n"
                        "*OpenUI *KRTray/Tray: PickOne\n*DefaultKRTray: Missing\n"
                        "*KRTray Empty/Nothing: \"\"\n"
                        "*KRTray One: \"1\"\n"
                        "*KRTray Seven/Seven bytes: \"1234567\"\n"
                        "*KRTray LongName/A display name well past the inline size: \"" +
                        long_code + "\"\n*CloseUI: *KRTray\n");
  auto* popup = dynamic_cast<PPDXPopupControl*>(Control(*ppd, "*KRTray"));
  ASSERT_NE(popup, nullptr);
  const struct {
    const char* keyword;
    std::optional<std::string> name;
    std::string code;
  } want[] = {{"Empty", "Nothing", ""},  // a non-empty code is kept with a line end
              {"One", std::nullopt, "1\n"},
              {"Seven", "Seven bytes", "1234567\n"},
              {"LongName", "A display name well past the inline size", long_code + "\n"}};
  ASSERT_EQ(popup->ItemCount(), 4);
  size_t i = 0;
  for (_PopupItem* item = popup->FirstItem(); item != nullptr; item = popup->NextItem(), ++i) {
    SCOPED_TRACE(want[i].keyword);
    EXPECT_STREQ(item->Keyword(), want[i].keyword);
    EXPECT_EQ(item->LocalizedName(), want[i].name);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(item->Code()),
                          static_cast<size_t>(item->CodeLength())),
              want[i].code);
  }
  // A default naming no option falls back to the first option.
  EXPECT_EQ(ppd->CopyValueForKey("*KRTray"), "Empty");
  ASSERT_TRUE(ppd->SetValueForKey("*KRTray", "Seven"));

  PointerList fresh;
  fresh.PushBack(new _PopupItem("Seven", std::string("Seven"), nullptr, 0));
  fresh.PushBack(new _PopupItem("Eight", std::string("Eight"), nullptr, 0));
  EXPECT_TRUE(ppd->PPDReconcilePopupMenu("*KRTray", "Tray", fresh, new CString("Eight")));
  EXPECT_EQ(ppd->CopyValueForKey("*KRTray"), "Seven");
  EXPECT_EQ(popup->ItemCount(), 2);
}

TEST_F(ParseValues, SameFileSamePCFileName) {
  const std::string text = kHeader + kSkeleton;
  ParsedPPD a = Parse(text);
  auto* again = new KRTPPD(path_, 3);
  EXPECT_TRUE(*a == *again);
  again->Release();
  ParsedPPD b = Parse(text);  // another file
  EXPECT_FALSE(*a == *b);
}

TEST_F(ParseValues, DestructorRestoresTheDisplayOptions) {
  KRTPPD::Options(1);
  { ParsedPPD ppd = Parse(kHeader + kSkeleton + Popup("*A", {"x"})); }
  EXPECT_EQ(KRTPPD::Options(), 1u);
}

// Files that must parse without crash, hang or leak; the tree built so far stays usable.
TEST_F(ParseValues, HostileFiles) {
  std::string huge = kHeader + kSkeleton;
  for (int i = 0; huge.size() < 4'000'000; ++i) huge += Popup("*K" + std::to_string(i), {"a", "b"});
  struct Case {
    const char* name;
    std::string text;
  };
  const std::vector<Case> cases = {
      {"truncated inside a popup",
       kHeader + kSkeleton + "*%KRTFlags: *A Spooler\n*%KRTGroup: *A G\n*OpenUI *A/A: PickOne\n"
                             "*A x/X: \"unterminated"},
      {"NUL bytes", kHeader + kSkeleton + std::string("*%KRTFlags: *A\0Spooler\n", 23) +
                        Popup("*B", {"x"})},
      {"CR only", [] {
         std::string t = kHeader + kSkeleton + Popup("*A", {"x"});
         for (char& c : t) c = c == '\n' ? '\r' : c;
         return t;
       }()},
      {"line of 255 bytes", kHeader + kSkeleton + "*%" + std::string(253, 'x') + "\n" +
                                Popup("*A", {"x"})},
      {"line of 256 bytes", kHeader + kSkeleton + "*%" + std::string(254, 'x') + "\n" +
                                Popup("*A", {"x"})},
      {"unbalanced quotes", kHeader + kSkeleton + "*ModelName: \"open\n*NickName: x\"\"\"\n" +
                                Popup("*A", {"x"})},
      {"0xFF byte", kHeader + kSkeleton + "*%KRTGroupName: \xFF\n" + Popup("*A", {"x"})},
      {"several megabytes", huge},
  };
  for (const auto& c : cases) {
    ParsedPPD ppd = Parse(c.text);
    EXPECT_NE(ppd->GetControls(), nullptr) << c.name;
    EXPECT_NO_THROW((void)ppd->CopyAllValues()) << c.name;  // the tree stays usable
  }
  ParsedPPD cr_only = Parse(cases[2].text);
  EXPECT_NE(Control(*cr_only, "*A"), nullptr);
  ParsedPPD big = Parse(huge);
  EXPECT_NE(Control(*big, "*K1000"), nullptr);
}

// The bundled sample with bytes damaged at random (fixed seed): every variant parses without a
// crash, a leak or a hang, and the tree it leaves can still be walked.
TEST_F(ParseValues, DamagedSamplesParseSafely) {
  std::ifstream in(quill::testing::ExamplePath("QuillSample.ppd"), std::ios::binary);
  const std::string sample((std::istreambuf_iterator<char>(in)), {});
  std::mt19937 random(20261210);
  static constexpr char kInteresting[] = {'\0', '\n', '\r', '"', ':', '/', '*', '|', '(', ')',
                                          ';', ' ', '\xFF', '%'};
  for (int round = 0; round < 150; ++round) {
    std::string text = sample;
    const int edits = 1 + static_cast<int>(random() % 8);
    for (int e = 0; e < edits; ++e) {
      const size_t at = random() % text.size();
      switch (random() % 3) {
        case 0: text[at] = kInteresting[random() % sizeof kInteresting]; break;
        case 1: text.erase(at, random() % 64); break;
        default: text.insert(at, std::string(random() % 300, 'x')); break;
      }
    }
    if (random() % 4 == 0) text.resize(random() % text.size());
    ParsedPPD ppd = Parse(text);
    EXPECT_NO_THROW((void)ppd->CopyAllValues()) << "round " << round;
  }
}

// A line too long for the line buffer is left out, and the lines behind it are still read; so is
// a last line without its line end.
TEST_F(ParseValues, LongLinesAndTheLastLineDoNotEndTheParse) {
  struct Case {
    const char* name;
    std::string middle;
  };
  const std::vector<Case> cases = {
      {"254 bytes", "*%" + std::string(252, 'x') + "\n"},
      {"255 bytes", "*%" + std::string(253, 'x') + "\n"},
      {"256 bytes", "*%" + std::string(254, 'x') + "\n"},
      {"2000 bytes", "*%KRTGroupName: " + std::string(1984, 'x') + "\n"},
      {"long line ending in CR LF", "*%" + std::string(600, 'x') + "\r\n"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> log;
    auto previous = quill::SetLogSink([&](std::string_view m) { log.emplace_back(m); });
    ParsedPPD ppd = Parse(kHeader + kSkeleton + c.middle + Popup("*A", {"x"}) +
                          "*%KRTSpecialOption: *KRLast: 1");
    quill::SetLogSink(previous);
    EXPECT_NE(Control(*ppd, "*A"), nullptr) << c.name;
    EXPECT_NE(Control(*ppd, "*KRLast"), nullptr) << c.name;
    EXPECT_TRUE(Errors(*ppd).empty()) << c.name;
    const bool skipped = std::find(log.begin(), log.end(),
                                   "KRTPPD::Parse skips a line longer than 255 bytes") != log.end();
    EXPECT_EQ(skipped, c.middle.size() > 255) << c.name;  // 255 bytes and the line end do not fit
  }
}

TEST_F(ParseValues, ByteFFAndTheEndMarkerEndTheParse) {
  for (const std::string& stop : {std::string("*%KRTGroupName: \xFF\n"),
                                  std::string("*% End of PPD file\n")}) {
    ParsedPPD ppd = Parse(kHeader + kSkeleton + Popup("*A", {"x"}) + stop + Popup("*B", {"y"}));
    EXPECT_NE(Control(*ppd, "*A"), nullptr);
    EXPECT_EQ(Control(*ppd, "*B"), nullptr);
  }
}
