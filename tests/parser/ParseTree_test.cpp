// What the parser builds from well-formed vendor keywords: pages, panes, roll-downs, controls of
// every kind, shortcuts, special options, the injection block and the pop-up job-note preferences.
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "ParserFixture.h"
#include "PPDX/PPDObjects/Controls/PPDXBooleanControl.h"
#include "PPDX/PPDObjects/Controls/PPDXCustomPageSizeControl.h"
#include "PPDX/PPDObjects/Controls/PPDXFloatRangeControl.h"
#include "PPDX/PPDObjects/Controls/PPDXJobNote.h"
#include "PPDX/PPDObjects/Controls/PPDXJobNoteFlags.h"
#include "PPDX/PPDObjects/Controls/PPDXPopupControl.h"
#include "PPDX/PPDObjects/Controls/PPDXRangeControl.h"
#include "PPDX/PPDObjects/Controls/PPDXSpecialOption.h"
#include "PPDX/PPDObjects/PPDXGroups.h"
#include "PPDX/PPDObjects/PPDXProperties.h"
#include "PPDX/PPDObjects/PPDXProperty.h"
#include "PPDX/PPDObjects/PPDXRollDown.h"
#include "PPDX/PPDObjects/PPDXScrollPane.h"
#include "PPDX/PPDObjects/PPDXShortcuts.h"
#include "PPDX/PPDXErrorObj.h"
#include "platform/Log.h"
#include "server/CFileHdlr.h"
#include "constraints/UIConstraints.h"

using namespace parser_test;

class ParseTree : public ParserTest {};

TEST_F(ParseTree, TheBundledSample) {
  ParsedPPD ppd = Parse(*[] {
    static std::string text;
    std::ifstream in(quill::testing::ExamplePath("QuillSample.ppd"));
    text.assign(std::istreambuf_iterator<char>(in), {});
    return &text;
  }());
  EXPECT_TRUE(ppd->IsValidPPD());
  EXPECT_TRUE(Errors(*ppd).empty());
  EXPECT_STREQ(ppd->VendorFileVersion(), "4.1.0");
  EXPECT_STREQ(ppd->VendorMacVersion(), "4.1.7");
  EXPECT_STREQ(ppd->VendorVersion(), "4.1.7");  // the Mac version wins
  EXPECT_EQ(Control(*ppd, "*KRNeverSeen"), nullptr);  // behind the end marker

  // Page > pane > roll-down > control.
  auto* page_size = Control(*ppd, "*PageSize");
  ASSERT_NE(page_size, nullptr);
  auto* roll_down = dynamic_cast<PPDXRollDown*>(page_size->GetParent());
  ASSERT_NE(roll_down, nullptr);
  EXPECT_STREQ(roll_down->Keyword(), "QPPaperSource");
  EXPECT_EQ(roll_down->CFStringUserName(), "Paper Source ");  // translations get one space
  auto* pane = dynamic_cast<PPDXScrollPane*>(roll_down->GetParent());
  ASSERT_NE(pane, nullptr);
  auto* page = dynamic_cast<PPDXProperty*>(pane->GetParent());
  ASSERT_NE(page, nullptr);
  EXPECT_STREQ(page->Keyword(), "KRPPBasic");
  EXPECT_FALSE(page->ShowInApp());
  EXPECT_TRUE(page->ShowInPrintProp());
  EXPECT_EQ(page->GetScrollDown(), pane);

  auto* finisher = dynamic_cast<PPDXPopupControl*>(Control(*ppd, "*KRFinisher"));
  ASSERT_NE(finisher, nullptr);
  EXPECT_TRUE(finisher->IsInstallableOption());
  EXPECT_EQ(finisher->CopyCurrentControlValueString(), "FS100");

  std::vector<std::string> shortcuts;
  for (PPDXControl* c = ppd->GetShortcuts()->First(); c; c = ppd->GetShortcuts()->Next()) {
    shortcuts.emplace_back(c->Keyword());
  }
  EXPECT_EQ(shortcuts, (std::vector<std::string>{"*PageSize", "*Duplex", "*KRColorMode",
                                                 "*KRStaple"}));
}

TEST_F(ParseTree, PopupItemsDefaultsAndCode) {
  ParsedPPD ppd = Parse(kHeader + kSkeleton +
                        "*%KRTFlags: *PageSize Spooler|Command\n*%KRTGroup: *PageSize G\n"
                        "*OpenUI *PageSize/Paper Size: PickOne\n*OrderDependency: 30 AnySetup\n"
                        "*DefaultPageSize: Tabloid\n"
                        "*PageSize A4/A4 Caf<E9>: \"a4 code\"\n"
                        "*PageSize Letter: \"line one\nline two\"\n"
                        "*CloseUI: *PageSize\n");
  auto* popup = dynamic_cast<PPDXPopupControl*>(Control(*ppd, "*PageSize"));
  ASSERT_NE(popup, nullptr);
  EXPECT_EQ(popup->CFStringUserName(), "Paper Size");
  EXPECT_STREQ(popup->GetDefaultKeyword(), "A4");  // the default named no item
  EXPECT_EQ(popup->CopyCurrentControlValueString(), "A4");
  EXPECT_TRUE(popup->IsCommand());
  EXPECT_TRUE(popup->IsSpooler());

  _PopupItem* a4 = popup->FirstItem();
  ASSERT_NE(a4, nullptr);
  EXPECT_EQ(a4->LocalizedName(), "A4 Caf\xC3\xA9");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(a4->Code()), a4->CodeLength()), "a4 code\n");
  _PopupItem* letter = popup->NextItem();
  ASSERT_NE(letter, nullptr);
  EXPECT_FALSE(letter->LocalizedName().has_value());  // no translation
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(letter->Code()), letter->CodeLength()),
            "line one\nline two\n");

  // Every option is known to the constraint store.
  EXPECT_GE(ppd->GetUIConstraints()->GetConstraintStrings()->Find("Letter"), 0);
}

TEST_F(ParseTree, BooleanRangeFloatAndCustomPageSize) {
  ParsedPPD ppd = Parse(
      kHeader + kSkeleton +
      "*%KRTFlags: *KRMirror Spooler\n*%KRTGroup: *KRMirror G\n*OpenUI *KRMirror/Mirror: Boolean\n"
      "*DefaultKRMirror: True\n*KRMirror True/On: \"on\"\n*KRMirror False/Off: \"\"\n"
      "*CloseUI: *KRMirror\n"
      "*%KRTFlags: *KRCopies Spooler\n*%KRTGroup: *KRCopies G\n"
      "*%KRTRange: *KRCopies/Copies: (1;999;2;5) \"<*KRCopies>\"\n"
      "*%KRTFlags: *KRGamma Spooler\n*%KRTGroup: *KRGamma G\n"
      "*%KRTFloatRange: *KRGamma/Gamma: (0.5;2.0;0.1;1.5) \"<*KRGamma>\"\n"
      "*%ParamCustomPrintSize Width: 1 points 283 1296\n"
      "*%ParamCustomPrintSize Height: 2 points 420 1870\n");
  EXPECT_TRUE(Errors(*ppd).empty());
  auto* mirror = dynamic_cast<PPDXBooleanControl*>(Control(*ppd, "*KRMirror"));
  ASSERT_NE(mirror, nullptr);
  EXPECT_TRUE(mirror->IsTrue());
  EXPECT_STREQ(mirror->TrueDisplayText(), "On");
  auto* copies = dynamic_cast<PPDXRangeControl*>(Control(*ppd, "*KRCopies"));
  ASSERT_NE(copies, nullptr);
  EXPECT_EQ(copies->MinVal(), 1);
  EXPECT_EQ(copies->MaxVal(), 999);
  EXPECT_EQ(copies->Increment(), 2);
  EXPECT_EQ(copies->DefaultValue(), 5);
  auto* gamma = dynamic_cast<PPDXFloatRangeControl*>(Control(*ppd, "*KRGamma"));
  ASSERT_NE(gamma, nullptr);
  EXPECT_FLOAT_EQ(gamma->MaxVal(), 2.0f);
  EXPECT_FLOAT_EQ(gamma->DefaultValue(), 1.5f);

  // Two lines, one control holding both pairs of limits.
  auto* custom = dynamic_cast<PPDXCustomPageSizeControl*>(Control(*ppd, "*CustomPrintSize"));
  ASSERT_NE(custom, nullptr);
  EXPECT_FLOAT_EQ(custom->MinWidth(), 283);
  EXPECT_FLOAT_EQ(custom->MaxWidth(), 1296);
  EXPECT_FLOAT_EQ(custom->MinHeight(), 420);
  EXPECT_FLOAT_EQ(custom->MaxHeight(), 1870);
  EXPECT_EQ(ppd->GetControls()->CustomPageSizeCount(), 0);  // an orphan: no QPPaperSource
}

TEST_F(ParseTree, JobNotesInBothForms) {
  ParsedPPD ppd = Parse(kHeader + kSkeleton +
                        "*%KRTGroupName: QPKRNotes/Notes: True\n"
                        "*%KRTParent: QPKRNotes/Pane: True|Rolldown\n"
                        "*%KRTFlags: *KRAccount Spooler|Command\n*%KRTGroup: *KRAccount G\n"
                        "*%KRTJobNote: *KRAccount/Account: 16|Numeric|Required|MinLength5\n"
                        "*%DefaultKRAccount: \"1234\"\n"
                        "*%KRAccount: \"%%KRAccount: (<*KRAccount>)\"\n"
                        "*%KRTJobNote: *KRName/Name: 63|Alpha|Space|MinLength123|Bogus\n"
                        "*%DefaultKRName: Untitled\n"
                        "*%KRName: \"(<*KRName>) show\"\n"
                        "*%KRTJobNote: *KRPass/Pass: 8|MinLength\n*%Other: \"x\"\n");
  EXPECT_TRUE(Errors(*ppd).empty());

  auto* account = dynamic_cast<PPDXJobNote*>(Control(*ppd, "*KRAccount"));
  ASSERT_NE(account, nullptr);
  EXPECT_EQ(account->MaxLength(), 16);
  EXPECT_EQ(account->MinLength(), 5);
  EXPECT_EQ(account->Flags(), kJobNoteNumeric | kJobNoteRequired);  // no MinLength bit
  EXPECT_STREQ(account->GetNotes(), "1234");
  EXPECT_STREQ(account->GetParent()->Keyword(), "G");
  EXPECT_TRUE(account->IsCommand());
  EXPECT_EQ(account->CodeLength(), static_cast<long>(std::strlen("%%KRAccount: (<*KRAccount>)\n")));

  auto* name = dynamic_cast<PPDXJobNote*>(Control(*ppd, "*KRName"));
  ASSERT_NE(name, nullptr);
  EXPECT_EQ(name->MinLength(), -2);
  EXPECT_EQ(name->Flags(), kJobNoteAlpha | kJobNoteSpace);  // unknown words are ignored
  EXPECT_STREQ(name->GetNotes(), "Untitled");
  EXPECT_STREQ(name->GetParent()->Keyword(), "QPKRNotes");
  EXPECT_EQ(name->ControlFlagCount(), 0);

  auto* pass = dynamic_cast<PPDXJobNote*>(Control(*ppd, "*KRPass"));
  ASSERT_NE(pass, nullptr);
  EXPECT_EQ(pass->Flags(), kJobNoteMinLength);
  EXPECT_EQ(pass->MinLength(), 0);
  EXPECT_EQ(pass->CodeLength(), 0);  // the next line was no code line of this note
}

TEST_F(ParseTree, HiddenPagesAndGroupsNeedHiddenParsing) {
  const std::string text = kHeader + kSkeleton + "*%KRTPropPage: H/Hidden: False\n" +
                           "*%KRTGroupName: HG/Hidden group: False\n" + Popup("*A", {"x"});
  ParsedPPD with_hidden = Parse(text, 3);
  EXPECT_NE(with_hidden->GetProperties()->Find("H", true), nullptr);
  ParsedPPD without = Parse(text, 1);
  EXPECT_EQ(without->GetProperties()->Find("H", true), nullptr);
  // Declared groups that no line placed become parentless groups with orphan parsing.
  EXPECT_NE(with_hidden->GetGroups()->Find("HG", true), nullptr);
  EXPECT_EQ(without->GetGroups()->Find("HG", true), nullptr);
  ParsedPPD no_orphans = Parse(kHeader + kSkeleton + "*%KRTGroupName: O/Orphan: True\n", 0);
  EXPECT_EQ(no_orphans->GetGroups()->Find("O", true), nullptr);
}

TEST_F(ParseTree, SpecialOptions) {
  ParsedPPD ppd = Parse(kHeader + kSkeleton + "*%KRTSpecialOption: *KRUTF8_Version: 7\n" +
                        "*%KRTSpecialOption: *KRNoValue:\n");
  auto* option = dynamic_cast<PPDXSpecialOption*>(Control(*ppd, "*KRUTF8_Version"));
  ASSERT_NE(option, nullptr);
  EXPECT_EQ(option->CopyCurrentControlValueString(), "7");
  EXPECT_EQ(Control(*ppd, "*KRNoValue"), nullptr);
}

TEST_F(ParseTree, InjectionBlockBecomesTheCustomXML) {
  const std::wstring xml = L"<Category name=\"UI-Modification\"><Lock>*Duplex</Lock></Category>";
  std::string records;
  CFileHdlr::fileWriteData("*DMT_Injection", xml.data(), xml.size() * sizeof(wchar_t), &records);
  ParsedPPD ppd = Parse(kHeader + kSkeleton + records + Popup("*A", {"x"}));
  EXPECT_EQ(ppd->InjectionText(), records);
  ASSERT_NE(ppd->CustomXMLText(), nullptr);
  EXPECT_STREQ(ppd->CustomXMLText(),
               "<Category name=\"UI-Modification\"><Lock>*Duplex</Lock></Category>");
}

TEST_F(ParseTree, InlineInjectionBlockIsReadPastAndLogged) {
  std::vector<std::string> log;
  auto previous = quill::SetLogSink([&](std::string_view m) { log.emplace_back(m); });
  ParsedPPD ppd = Parse(kHeader + kSkeleton + "*%KRTSpecialOption: *DMT_Injection: True\n\n" +
                        "*DMT_X0000: 2\n" + "*DMT_X0001: \"" + std::string(40, 'a') + "\"\n" +
                        "*DMT_X0002: \"" + std::string(40, 'b') + "\"\n" + Popup("*A", {"x"}));
  quill::SetLogSink(previous);
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(log[0], "KRTPPD::ParseSpecialOption True");
  EXPECT_EQ(log[1], "*DMT_X0000: 2");
  EXPECT_EQ(ppd->CustomXMLText(), nullptr);
  EXPECT_NE(Control(*ppd, "*A"), nullptr);  // parsing went on after the block
  EXPECT_EQ(Control(*ppd, "*DMT_Injection"), nullptr);
}

TEST_F(ParseTree, AnnotatingHostsStopAtTheAnnotationsEnd) {
  const std::string text = kHeader + kSkeleton + Popup("*A", {"x"}) + "*% APLANNOTATE END\n" +
                           Popup("*B", {"y"});
  for (const auto& [host, stops] : std::vector<std::pair<std::string, bool>>{
           {"com.apple.preview", true}, {"com.adobe.InDesign", true}, {"org.example.app", false}}) {
    quill::SystemInfo::SetHostBundleIdentifier(host);
    ParsedPPD ppd = Parse(text);
    EXPECT_NE(Control(*ppd, "*A"), nullptr) << host;
    EXPECT_EQ(Control(*ppd, "*B") == nullptr, stops) << host;
  }
}

TEST_F(ParseTree, ConstraintLinesAreResolvedAfterTheParse) {
  // The constraint names *B before its options are known; the open option expands afterwards.
  ParsedPPD ppd = Parse(kHeader + kSkeleton + "*UIConstraints: *A on *B\n" +
                        "*%KRTUIRequires: *A off *B x\n" + Popup("*A", {"off", "on"}) +
                        Popup("*B", {"None", "x", "y"}));
  EXPECT_FALSE(ppd->IsKVConstrained("*B", "x"));  // *A is off
  ASSERT_TRUE(ppd->SetValueForKey("*B", "y"));
  EXPECT_TRUE(ppd->IsKVConstrained("*A", "on"));
  ASSERT_TRUE(ppd->SetValueForKey("*B", "None"));
  EXPECT_FALSE(ppd->IsKVConstrained("*A", "on"));  // "None" is never constrained
  EXPECT_FALSE(ppd->IsKVConstrained("*B", "y"));   // requires lines never constrain
}
