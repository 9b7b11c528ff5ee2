// How the parser takes the lines of a file: the line numbers its errors carry, the three kinds of
// line end, and numbers read the same whatever the locale.
#include <clocale>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "ParserFixture.h"
#include "PPDX/PPDObjects/Controls/PPDXCustomPageSizeControl.h"
#include "PPDX/PPDObjects/Controls/PPDXFloatRangeControl.h"
#include "PPDX/PPDObjects/Controls/PPDXPopupControl.h"
#include "PPDX/PPDObjects/Controls/PPDXRangeControl.h"
#include "PPDX/PPDObjects/PPDXGroup.h"
#include "PPDX/PPDObjects/PPDXGroups.h"
#include "PPDX/PPDObjects/PPDXProperties.h"
#include "PPDX/PPDObjects/PPDXProperty.h"
#include "PPDX/PPDXErrorObj.h"

using namespace parser_test;

namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The text with every line feed replaced by `line_end`.
std::string WithLineEnds(const std::string& text, const std::string& line_end) {
  std::string out;
  for (char c : text) c == '\n' ? out += line_end : out += c;
  return out;
}

// Code, keyword and line of every error, in list order.
std::vector<std::string> ErrorLines(KRTPPD& ppd) {
  std::vector<std::string> out;
  PPDXErrors* errors = ppd.GetErrors();
  for (size_t i = 0; i < errors->Count(); ++i) {
    PPDXErrorObj* e = errors->At(i);
    out.push_back(std::to_string(e->Code()) + " " + (e->Keyword() ? e->Keyword() : "") + " @" +
                  std::to_string(e->Line()));
  }
  return out;
}

}  // namespace

class ParseLines : public ParserTest {
 protected:
  // Everything a reader of the tree sees: pages, groups with their parents, every control with
  // its type, name, value and items, the errors with their lines, and the constraint answer for
  // every option of every popup.
  std::string Describe(KRTPPD& ppd) {
    // Choices that leave some options constrained.
    ppd.SetValueForKey("*KRFinisher", "None");
    ppd.SetValueForKey("*PageSize", "SRA3");
    std::string out;
    const _DISPLAY_OPTIONS_ saved = KRTPPD::Options();
    KRTPPD::Options(3);
    for (PPDXProperty* page = ppd.GetProperties()->First(); page; page = ppd.GetProperties()->Next()) {
      out += std::string("page ") + page->Keyword() + " '" + page->CFStringUserName() + "'\n";
    }
    for (PPDXGroup* group = ppd.GetGroups()->First(); group; group = ppd.GetGroups()->Next()) {
      out += std::string("group ") + group->Keyword() + " '" + group->CFStringUserName() +
             "' in " + (group->GetParent() ? group->GetParent()->Keyword() : "-") + "\n";
    }
    CNTL_TYPE type;
    for (PPDXControl* c = ppd.GetControls()->First(type); c; c = ppd.GetControls()->Next(type)) {
      out += std::string("control ") + c->Keyword() + " type " + std::to_string(type) + " '" +
             c->CFStringUserName() + "' = " + c->CopyPresetValueString().value_or("-") + "\n";
      if (auto* popup = dynamic_cast<PPDXPopupControl*>(c)) {
        for (_PopupItem* item = popup->FirstItem(); item; item = popup->NextItem()) {
          out += std::string("  item ") + item->Keyword() + " constrained " +
                 std::to_string(ppd.IsKVConstrained(c->Keyword(), item->Keyword())) + "\n";
        }
      }
    }
    KRTPPD::Options(saved);
    for (const std::string& error : ErrorLines(ppd)) out += "error " + error + "\n";
    return out;
  }
};

TEST_F(ParseLines, ErrorsCarryTheLineWhereTheyWereFound) {
  const std::string kBody =
      kHeader + kSkeleton +                                         // lines 1-9
      "*%KRShortcut: *Nowhere\n"                                    // 10
      "*%KRTFlags: *Duplex Spooler\n"                               // 11
      "*% a comment instead of the control\n"                       // 12
      "\n"                                                          // 13
      "*%KRTFlags: *KRCopies Spooler\n*%KRTGroup: *KRCopies G\n"  // 14, 15
      "*%KRTRange: *KRCopies/Copies: (1;999;1;1) \"\"\n"            // 16
      "*UIConstraints: *A\n"                                        // 17
      "*UIConstraints: *A x\n";                                     // 18
  const std::vector<std::string> expected = {
      std::to_string(PPDErr_ControlParsing) + " *Duplex @12",
      std::to_string(PPDErr_NoPostscript) + " *KRCopies @16",
      std::to_string(PPDErr_BadConstraint) + " *A @18",
      std::to_string(PPDErr_BadShortcut) + " *Nowhere @10",
  };
  // The same lines with every kind of line end, and one over-long line in front of them.
  for (const std::string line_end : {"\n", "\r\n", "\r"}) {
    ParsedPPD ppd = Parse(WithLineEnds(kBody, line_end));
    EXPECT_EQ(ErrorLines(*ppd), expected) << "line end " << static_cast<int>(line_end[0]);
  }
  std::string long_line = "*% " + std::string(600, 'x') + "\n";
  ParsedPPD ppd = Parse(kHeader + long_line + "*UIConstraints: *A x\n");
  EXPECT_EQ(ErrorLines(*ppd).front(), std::to_string(PPDErr_BadConstraint) + " *A @6");

  // The header is line 1; the empty tree belongs to no line.
  ParsedPPD old = Parse("*PPD-Adobe: \"4.2\"\n");
  EXPECT_EQ(ErrorLines(*old), (std::vector<std::string>{
                                  std::to_string(PPDErr_NotPPDFile) + "  @1",
                                  std::to_string(PPDErr_NoPropertyPages) + "  @0",
                                  std::to_string(PPDErr_NoGroups) + "  @0",
                                  std::to_string(PPDErr_NoControls) + "  @0"}));
}

TEST_F(ParseLines, EveryKindOfLineEndGivesTheSameTree) {
  const std::string sample = ReadFile(quill::testing::ExamplePath("QuillSample.ppd"));
  ASSERT_FALSE(sample.empty());
  ParsedPPD lf = Parse(sample);
  const std::string expected = Describe(*lf);
  ASSERT_NE(expected.find("control *Duplex"), std::string::npos) << expected;
  ASSERT_NE(expected.find("constrained 1"), std::string::npos) << expected;
  for (const std::string line_end : {"\r\n", "\r"}) {
    ParsedPPD other = Parse(WithLineEnds(sample, line_end));
    EXPECT_EQ(Describe(*other), expected) << "line end " << static_cast<int>(line_end[1]);
  }
  // A damaged copy keeps its errors and their lines too.
  const std::string damaged = sample + "*%KRTFlags: *Late Spooler\n*% no definition\n"
                                       "*UIConstraints: *Duplex\n*UIConstraints: *Duplex a\n";
  ParsedPPD damaged_lf = Parse(damaged);
  const std::string damaged_expected = Describe(*damaged_lf);
  for (const std::string line_end : {"\r\n", "\r"}) {
    ParsedPPD other = Parse(WithLineEnds(damaged, line_end));
    EXPECT_EQ(Describe(*other), damaged_expected);
  }
}

TEST_F(ParseLines, NumbersReadTheSameUnderACommaDecimalLocale) {
  const char* locale = nullptr;
  for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "de_DE"}) {
    if (std::setlocale(LC_NUMERIC, name) != nullptr) {
      locale = name;
      break;
    }
  }
  if (locale == nullptr) {
    GTEST_SKIP() << "no comma-decimal locale is installed (scripts/install-deps.sh makes "
                    "de_DE.UTF-8)";
  }
  ASSERT_EQ(std::string(std::localeconv()->decimal_point), ",");

  const std::string body =
      kHeader + kSkeleton + "*%KRTGroupName: QPPaperSource/Paper: True\n" +
      "*%KRTFlags: *KRGamma Spooler\n*%KRTGroup: *KRGamma G\n"
      "*%KRTFloatRange: *KRGamma/Gamma: (0.5;2.25;0.05;1.75) \"g\"\n"
      "*%KRTFlags: *KRScale Spooler\n*%KRTGroup: *KRScale G\n"
      "*%KRTFloatRange: *KRScale/Scale: (-1.5;.5;0.25;-0.75) \"s\"\n"
      "*%KRTFlags: *KRCopies Spooler\n*%KRTGroup: *KRCopies G\n"
      "*%KRTRange: *KRCopies/Copies: (-3;999;2;12) \"c\"\n"
      "*%ParamCustomPrintSize Width: 1 points 36.5 1296.25\n"
      "*%ParamCustomPrintSize Height: 2 points 0.75 1870.5\n";
  ParsedPPD ppd = Parse(body);
  std::setlocale(LC_NUMERIC, "C");

  struct Case {
    const char* keyword;
    double min, max, increment, default_value;
  };
  const Case ranges[] = {{"*KRGamma", 0.5, 2.25, 0.05, 1.75}, {"*KRScale", -1.5, 0.5, 0.25, -0.75}};
  for (const Case& c : ranges) {
    auto* range = dynamic_cast<PPDXFloatRangeControl*>(Control(*ppd, c.keyword));
    ASSERT_NE(range, nullptr) << c.keyword;
    EXPECT_FLOAT_EQ(range->MinVal(), c.min) << c.keyword;
    EXPECT_FLOAT_EQ(range->MaxVal(), c.max) << c.keyword;
    EXPECT_FLOAT_EQ(range->Increment(), c.increment) << c.keyword;
    EXPECT_FLOAT_EQ(range->DefaultValue(), c.default_value) << c.keyword;
  }
  auto* copies = dynamic_cast<PPDXRangeControl*>(Control(*ppd, "*KRCopies"));
  ASSERT_NE(copies, nullptr);
  EXPECT_EQ(copies->MinVal(), -3);
  EXPECT_EQ(copies->MaxVal(), 999);
  EXPECT_EQ(copies->Increment(), 2);
  EXPECT_EQ(copies->DefaultValue(), 12);
  auto* size = dynamic_cast<PPDXCustomPageSizeControl*>(Control(*ppd, "*CustomPrintSize"));
  ASSERT_NE(size, nullptr);
  EXPECT_FLOAT_EQ(size->MinWidth(), 36.5f);
  EXPECT_FLOAT_EQ(size->MaxWidth(), 1296.25f);
  EXPECT_FLOAT_EQ(size->MinHeight(), 0.75f);
  EXPECT_FLOAT_EQ(size->MaxHeight(), 1870.5f);
}
