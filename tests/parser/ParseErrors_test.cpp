// The parse of malformed and unusual PPD lines: which error each gives, in which order, and
// whether the parse goes on.
#include <string>
#include <utility>
#include <vector>

#include "ParserFixture.h"
#include "PPDX/PPDXErrorObj.h"

using namespace parser_test;

namespace {

using ErrorList = std::vector<std::pair<short, std::string>>;

struct Case {
  const char* name;
  std::string body;  // after the header and the skeleton
  ErrorList errors;
  _PARSE_OPTIONS_ options = 3;
  bool skeleton = true;
};

const std::string kMirrorWithMaybe =
    "*%KRTFlags: *KRMirror Spooler\n*%KRTGroup: *KRMirror G\n*OpenUI *KRMirror/Mirror: Boolean\n"
    "*DefaultKRMirror: False\n*KRMirror True/On: \"t\"\n*KRMirror Maybe/Maybe: \"m\"\n"
    "*CloseUI: *KRMirror\n";

const std::string kPopupWithoutFlags =
    "*OpenUI *Duplex/Duplex: PickOne\n*DefaultDuplex: None\n*Duplex None/Off: \"\"\n"
    "*CloseUI: *Duplex\n";

const std::string kOrphanPopup =
    "*%KRTFlags: *X Spooler\n*OpenUI *X/X: PickOne\n*DefaultX: A\n*X A/A: \"\"\n*CloseUI: *X\n";

}  // namespace

class ParseErrors : public ParserTest {};

TEST_F(ParseErrors, EachMalformedLineGivesItsError) {
  const std::vector<Case> cases = {
      {"clean", Popup("*A", {"x", "y"}), {}},
      {"OpenUI without flags makes no control", kPopupWithoutFlags, {{PPDErr_NoControls, ""}}},
      {"flags followed by a comment",
       "*%KRTFlags: *Duplex Spooler|Command\n*% a comment\n" + kPopupWithoutFlags,
       {{PPDErr_ControlParsing, "*Duplex"}, {PPDErr_NoControls, ""}}},
      {"flags without a keyword", "*%KRTFlags:\n" + Popup("*A", {"x"}),
       {{PPDErr_ControlParsing, ""}}},
      {"second default ends the parse",
       "*%KRTFlags: *A Spooler\n*%KRTGroup: *A G\n*OpenUI *A/A: PickOne\n*DefaultA: x\n"
       "*DefaultA: y\n*A x/X: \"\"\n*CloseUI: *A\n" + Popup("*B", {"z"}),
       {{PPDErr_PopupParsing, "*A"}, {PPDErr_NoControls, ""}}},
      {"boolean with a third option", kMirrorWithMaybe + Popup("*After", {"a"}),
       {{PPDErr_BooleanParsing, "*KRMirror"}}},
      {"two-way data lines are skipped", "*KRBidiData0001: \"abc\"\n" + Popup("*A", {"x"}), {}},
      {"unknown UI type",
       "*%KRTFlags: *X Spooler\n*%KRTGroup: *X G\n*OpenUI *X/X: PickSome\n*CloseUI: *X\n",
       {{PPDErr_InvalidOpenUIType, "*X"}, {PPDErr_NoControls, ""}}},
      {"no parent without orphan parsing", kOrphanPopup,
       {{PPDErr_NoParent, "*X"}, {PPDErr_NoControls, ""}}, 0},
      {"orphan kept with orphan parsing", kOrphanPopup,
       {{PPDErr_InvalidParent, "*X"}, {PPDErr_NoControls, ""}}, 1},
      {"duplicate control", Popup("*A", {"x"}) + Popup("*A", {"y"}), {{PPDErr_Duplicate, "*A"}}},
      {"popup without a default",
       "*%KRTFlags: *A Spooler\n*%KRTGroup: *A G\n*OpenUI *A/A: PickOne\n*A x/X: \"\"\n"
       "*CloseUI: *A\n",
       {{PPDErr_NoDefaultValueFlag, "*A"}}},
      {"group name without keyword", "*%KRTGroupName: /Name: True\n" + Popup("*A", {"x"}),
       {{PPDErr_GroupNameParsing, ""}}},
      {"group name declared twice", "*%KRTGroupName: G/Again: True\n" + Popup("*A", {"x"}),
       {{PPDErr_Duplicate, "G"}}},
      {"parent line without keywords", "*%KRTParent:\n" + Popup("*A", {"x"}),
       {{PPDErr_ParentParsing, ""}}},
      {"roll-down under a missing pane",
       "*%KRTGroupName: R/R: True\n*%KRTParent: R/Nowhere: True|Rolldown\n" + Popup("*A", {"x"}),
       {{PPDErr_ParentParsingNoParent, "Nowhere"}}},
      {"sub-group name without keyword", "*%KRTSubGroupName:\n" + Popup("*A", {"x"}),
       {{PPDErr_SubGroupNameParsing, ""}}},
      {"property page without keyword", "*%KRTPropPage:\n" + Popup("*A", {"x"}),
       {{PPDErr_PropPageParsing, ""}}},
      {"property page twice", "*%KRTPropPage: P/Again: True\n" + Popup("*A", {"x"}),
       {{PPDErr_Duplicate, "P"}}},
      {"constraint without a second key", "*UIConstraints: *A x\n" + Popup("*A", {"x"}),
       {{PPDErr_BadConstraint, "*A"}}},
      {"OpenUIKRT group is skipped",
       "*%KRTFlags: *K Spooler\n*OpenUIKRT *K/K: PickOne\n*K A/A: \"\"\n*CloseUIKRT: *K\n" +
           Popup("*After", {"a"}),
       {{PPDErr_OpenUIKRTParsing2, "*K"}}},
      {"OpenUIKRT group never closed",
       "*%KRTFlags: *K Spooler\n*OpenUIKRT *K/K: PickOne\n*K A/A: \"\"\n",
       {{PPDErr_OpenUIKRTParsing2, "*K"}, {PPDErr_OpenUIKRTParsing1, "*K"}, {PPDErr_NoControls, ""}}},
      {"group line for another control",
       "*%KRTFlags: *A Spooler\n*%KRTGroup: *B G\n" + Popup("*C", {"x"}), {}},
      {"group line followed by nothing known",
       "*%KRTFlags: *A Spooler\n*%KRTGroup: *A G\n*Unknown: x\n" + Popup("*C", {"x"}),
       {{PPDErr_GroupParsing, "*A"}}},
      {"range", "*%KRTFlags: *KRCopies Spooler\n*%KRTGroup: *KRCopies G\n"
                "*%KRTRange: *KRCopies/Copies: (1;999;1;1) \"<*KRCopies>\"\n", {}},
      {"range without parenthesis",
       "*%KRTFlags: *KRCopies Spooler\n*%KRTGroup: *KRCopies G\n"
       "*%KRTRange: *KRCopies/Copies: 1;999;1;1) \"x\"\n",
       {{PPDErr_RangeParsing, "*KRCopies"}, {PPDErr_NoControls, ""}}},
      {"range for another keyword",
       "*%KRTFlags: *KRCopies Spooler\n*%KRTGroup: *KRCopies G\n"
       "*%KRTRange: *KROther/Copies: (1;9;1;1) \"x\"\n",
       {{PPDErr_RangeParsing, "*KRCopies"}, {PPDErr_NoControls, ""}}},
      {"range with empty code",
       "*%KRTFlags: *KRCopies Spooler\n*%KRTGroup: *KRCopies G\n"
       "*%KRTRange: *KRCopies/Copies: (1;999;1;1) \"\"\n",
       {{PPDErr_NoPostscript, "*KRCopies"}}},
      {"shortcuts: invalid at once, unknown after the parse",
       "*%KRShortcut: *KR_PROP_WATERMARK\n*%KRShortcut: *Missing\n" + Popup("*A", {"x"}) +
           "*%KRShortcut: *A\n",
       {{PPDErr_BadShortcut, "*KR_PROP_WATERMARK"}, {PPDErr_BadShortcut, "*Missing"}}},
      {"popup never closed",
       "*%KRTFlags: *A Spooler\n*%KRTGroup: *A G\n*OpenUI *A/A: PickOne\n*DefaultA: x\n"
       "*A x/X: \"\"\n",
       {{PPDErr_PopupParsing, "*A"}, {PPDErr_NoControls, ""}}},
      {"boolean never closed: no control, no error",
       "*%KRTFlags: *B Spooler\n*%KRTGroup: *B G\n*OpenUI *B/B: Boolean\n*DefaultB: True\n",
       {{PPDErr_NoControls, ""}}},
      {"popup in a plain group",
       "*%KRTGroupName: Plain/Plain: True\n*%KRTFlags: *A Spooler\n*%KRTGroup: *A Plain\n"
       "*OpenUI *A/A: PickOne\n*DefaultA: x\n*A x/X: \"\"\n*CloseUI: *A\n",
       {{PPDErr_InvalidParent, "*A"}, {PPDErr_NoControls, ""}}},
      {"range without translation",
       "*%KRTFlags: *KRCopies Spooler\n*%KRTGroup: *KRCopies G\n*%KRTRange: *KRCopies\n",
       {{PPDErr_RangeParsing, "*KRCopies"}, {PPDErr_NoControls, ""}}},
      {"job note without keyword", "*%KRTJobNote:\n" + Popup("*A", {"x"}),
       {{PPDErr_JobNoteParsing, ""}}},
      {"header 4.2", "", {{PPDErr_NotPPDFile, ""}, {PPDErr_NoPropertyPages, ""},
                          {PPDErr_NoGroups, ""}, {PPDErr_NoControls, ""}}, 3, false},
  };
  for (const auto& c : cases) {
    std::string text = c.skeleton ? kHeader + kSkeleton + c.body
                                   : "*PPD-Adobe: \"4.2\"\n" + kSkeleton + Popup("*A", {"x"});
    ParsedPPD ppd = Parse(text, c.options);
    EXPECT_EQ(Errors(*ppd), c.errors) << c.name;
  }
}

TEST_F(ParseErrors, OnlyTheFatalOnesInvalidateThePPD) {
  ParsedPPD fine = Parse(kHeader + kSkeleton + "*UIConstraints: *A x\n" + Popup("*A", {"x"}));
  EXPECT_TRUE(fine->IsValidPPD());
  ParsedPPD fatal = Parse(kHeader + kSkeleton +
                          "*%KRTFlags: *K Spooler\n*OpenUIKRT *K/K: PickOne\n");
  EXPECT_FALSE(fatal->IsValidPPD());
}

TEST_F(ParseErrors, AllErrorsFatalIsTheCallersChoice) {
  // A tree parsed once keeps its errors; the flag then judges them.
  ParsedPPD ppd = Parse(kHeader + kSkeleton + "*UIConstraints: *A x\n" + Popup("*A", {"x"}));
  ppd->AllErrorsFatal(true);
  EXPECT_FALSE(ppd->IsValidPPD());
}

TEST_F(ParseErrors, UnsupportedJobNoteFlagDependsOnExtensionSupport) {
  const std::string note = "*%KRTJobNote: *KRPin/PIN: 8|Numeric|Encrypt\n*%KRPin: \"(<*KRPin>)\"\n";
  KRTPPD::SetExtensions(1);
  ParsedPPD limited = Parse(kHeader + kSkeleton + note + Popup("*A", {"x"}));
  EXPECT_EQ(Errors(*limited), (ErrorList{{PPDErr_UnsupportedJobNoteFlag, "*KRPin"}}));
  EXPECT_EQ(Control(*limited, "*KRPin"), nullptr);

  KRTPPD::SetExtensions(0xFFFFFFFFu);
  ParsedPPD full = Parse(kHeader + kSkeleton + note + Popup("*A", {"x"}));
  EXPECT_TRUE(Errors(*full).empty());
  EXPECT_NE(Control(*full, "*KRPin"), nullptr);
}

TEST_F(ParseErrors, FilesThatAreNoPPD) {
  struct FileCase {
    const char* name;
    std::string text;
    short first_error;
  };
  const std::vector<FileCase> cases = {
      {"empty file", "", PPDErr_FileError},
      {"text", "hello\n", PPDErr_NotPPDFile},
      {"4.2", "*PPD-Adobe: \"4.2\"\n", PPDErr_NotPPDFile},
  };
  for (const auto& c : cases) {
    ParsedPPD ppd = Parse(c.text);
    ASSERT_FALSE(Errors(*ppd).empty()) << c.name;
    EXPECT_EQ(Errors(*ppd).front().first, c.first_error) << c.name;
    EXPECT_TRUE(ppd->GetErrors()->First()->IsFatal()) << c.name;
    EXPECT_FALSE(ppd->IsValidPPD()) << c.name;
  }
  auto* missing = new KRTPPD(dir_.path().string() + "/missing.ppd", 3);
  EXPECT_EQ(missing->GetErrors()->First()->Code(), PPDErr_FileError);
  missing->Release();
}
