// quill tree, check and lint as users and scripts run them.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <nlohmann/json.hpp>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

#include "support/Run.h"
#include "support/TempDir.h"

using quill::testing::ExamplePath;
using quill::testing::RunQuill;

namespace {
const std::string kSample = ExamplePath("QuillSample.ppd");
}

TEST(TreeCommand, OutlineShowsPagesPanesRollDownsAndValues) {
  auto run = RunQuill({"tree", kSample, "--set", "*Duplex=DuplexTumble"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("Page KRPPBasic: \"Basic\"\n  Pane QPBasicPane: \"Basic Settings \"\n"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("      *Duplex (popup) \"2-Sided Printing\" = DuplexTumble\n"),
            std::string::npos)
      << run.out;
}

TEST(TreeCommand, SetTakesEachKindOfControlAsTyped) {
  auto run = RunQuill({"tree", kSample, "--json", "--set", "KRAccount=4711", "--set",
                       "KRToneCurve=1.5", "--set", "CustomPrintSize=612 792"});
  ASSERT_EQ(run.status, 0) << run.err;
  std::map<std::string, nlohmann::json> controls;
  const auto tree = nlohmann::json::parse(run.out);
  for (const auto& c : tree["controls"]) controls[c["keyword"]] = c;
  // A job note takes its plain text, not the enciphered form that presets store.
  EXPECT_EQ(controls["*KRAccount"]["value"], "4711");
  EXPECT_EQ(controls["*KRToneCurve"]["value"], "1.500");
  EXPECT_EQ(controls["*CustomPrintSize"]["value"], "612.000000 792.000000");
}

TEST(TreeCommand, JsonDescribesTheWholeTree) {
  auto run = RunQuill({"tree", kSample, "--json", "--set", "*KRCopies=12", "--set",
                       "*KRMirror=true"});
  ASSERT_EQ(run.status, 0) << run.err;
  auto tree = nlohmann::json::parse(run.out);
  EXPECT_EQ(tree["file"], kSample);
  EXPECT_EQ(tree["valid_ppd"], true);
  EXPECT_EQ(tree["header"]["vendor_mac_version"], "4.1.7");
  EXPECT_TRUE(tree["errors"].empty());
  EXPECT_EQ(tree["shortcuts"],
            nlohmann::json::array({"*PageSize", "*Duplex", "*KRColorMode", "*KRStaple"}));
  EXPECT_TRUE(tree["custom_xml"].is_null());

  std::map<std::string, nlohmann::json> controls;
  for (const auto& c : tree["controls"]) controls[c["keyword"]] = c;
  EXPECT_EQ(controls["*KRCopies"]["value"], "12");
  EXPECT_EQ(controls["*KRCopies"]["type"], "range");
  EXPECT_EQ(controls["*KRCopies"]["max"], 9999);
  EXPECT_EQ(controls["*KRMirror"]["value"], "True");
  EXPECT_EQ(controls["*KRFinisher"]["installable"], true);
  EXPECT_EQ(controls["*KRPunch"]["multiple_choice"], true);
  EXPECT_EQ(controls["*PageSize"]["items"][0],
            (nlohmann::json{{"keyword", "A4"}, {"name", "A4"}, {"selected", true}}));
  EXPECT_EQ(controls["*KRAccount"]["note_flags"],
            nlohmann::json::array({"Numeric", "Required", "Remembered", "PopupJN"}));
  EXPECT_EQ(controls["*KRSecurePassword"]["min_length"], 4);
  EXPECT_EQ(controls["*KRUTF8_Version"]["value"], "7");
  EXPECT_EQ(controls["*CustomPrintSize"]["max_height"], 1870);

  std::map<std::string, nlohmann::json> groups;
  for (const auto& g : tree["groups"]) groups[g["keyword"]] = g;
  EXPECT_EQ(groups["QPPaperSource"]["kind"], "roll_down");
  EXPECT_EQ(groups["QPPaperSource"]["parent"], "QPBasicPane");
  EXPECT_EQ(groups["QPBasicPane"]["kind"], "scroll_pane");
  EXPECT_EQ(tree["properties"][0]["scroll_pane"], "QPBasicPane");
}

TEST(TreeCommand, JsonTextIsLaidOutAndEscapedAsADocumentDump) {
  // Names with quotes, backslashes, control characters, valid and invalid UTF-8: the tree is
  // written while walking it, and must read back to the same texts and be exactly the text a
  // JSON library writes for the document (two-space indent, invalid UTF-8 replaced).
  std::ifstream sample(kSample);
  std::string text((std::istreambuf_iterator<char>(sample)), std::istreambuf_iterator<char>());
  auto replace = [&text](const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
      text.replace(at, from.size(), to);
    }
  };
  replace("LanguageEncoding: ISOLatin1", "LanguageEncoding: UTF-8");
  replace("2-Sided Printing", "q\"uo\\te\ttab\x01\x1f\x7f");
  replace("Short-Edge Binding", "caf\xc3\xa9 \xf0\x9f\x98\x80");
  replace("Long-Edge Binding", "cut \xc3 and \xed\xa0\x80");
  replace("(0.5;2.0;0.1;1.0)", "(0.25;1e20;0.1;1.0)");
  quill::testing::TempDir dir;
  const std::string ppd = dir.Write("escapes.ppd", text);

  auto run = RunQuill({"tree", ppd, "--json"});
  ASSERT_EQ(run.status, 0) << run.err;
  const auto tree = nlohmann::ordered_json::parse(run.out);
  EXPECT_EQ(tree.dump(2) + "\n", run.out);

  std::map<std::string, nlohmann::ordered_json> controls;
  for (const auto& c : tree["controls"]) controls[c["keyword"]] = c;
  const auto& duplex = controls["*Duplex"];
  EXPECT_EQ(duplex["name"], "q\"uo\\te\ttab\x01\x1f\x7f");
  EXPECT_EQ(duplex["items"][2]["name"], "caf\xc3\xa9 \xf0\x9f\x98\x80");
  EXPECT_EQ(duplex["items"][1]["name"], "cut \xef\xbf\xbd and \xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd");
  EXPECT_NE(run.out.find(R"("name": "q\"uo\\te\ttab\u0001\u001f)" "\x7f\""), std::string::npos);
  EXPECT_EQ(controls["*KRToneCurve"]["min"], 0.25);
  EXPECT_NE(run.out.find("\"max\": 1.0000000200408773e+20,"), std::string::npos);
}

TEST(TreeCommand, JsonWriteFailureIsNotSuccess) {
  // A full disk under the output: the tree command says so and exits non-zero.
  const std::string command = std::string("exec '") + QUILL_CLI_PATH + "' tree --json '" +
                              kSample + "' > /dev/full";
  const int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 74);
}

TEST(CheckCommand, AnswersPairsAfterTheChoices) {
  auto run = RunQuill({"check", kSample, "--set", "*PageSize=SRA3", "*Duplex=DuplexTumble",
                       "*Duplex=None"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "*Duplex=DuplexTumble constrained\n*Duplex=None allowed\n");

  auto json = RunQuill({"check", kSample, "--json", "*Duplex=DuplexTumble"});
  EXPECT_EQ(nlohmann::json::parse(json.out),
            nlohmann::json::parse(R"([{"key":"*Duplex","option":"DuplexTumble","constrained":false}])"));
}

TEST(CheckCommand, KeysWithOrWithoutTheirAsterisk) {
  // As lp -o users type them; the answer names the control's keyword.
  auto run = RunQuill({"check", kSample, "--set", "PageSize=SRA3", "Duplex=DuplexTumble",
                       "*Duplex=None"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "*Duplex=DuplexTumble constrained\n*Duplex=None allowed\n");
}

TEST(CheckCommand, AsksAboutTheOptionAValueStandsFor) {
  // A boolean set as "true" is the option "True" of the constraint lines.
  std::ifstream sample(kSample);
  std::string text((std::istreambuf_iterator<char>(sample)), std::istreambuf_iterator<char>());
  text.insert(text.find("*% End of PPD file"),
              "*UIConstraints: *PageSize SRA3 *KRMirror True\n"
              "*UIConstraints: *KRMirror True *PageSize SRA3\n");
  quill::testing::TempDir dir;
  const std::string ppd = dir.Write("mirror.ppd", text);
  auto run = RunQuill({"check", ppd, "--set", "PageSize=SRA3", "KRMirror=true", "KRMirror=false"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "*KRMirror=True constrained\n*KRMirror=False allowed\n");
}

TEST(CheckCommand, ListsConflicts) {
  auto run = RunQuill({"check", kSample, "--conflicts", "--set", "*KRFinisher=None"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "*KRStaple=TopLeft constrained\n*KRStaple=DualLeft constrained\n");
}

TEST(LintCommand, ReportsErrorsWithTheirLinesAndValidity) {
  quill::testing::TempDir dir;
  const std::string broken = dir.Write("broken.ppd",
                                       "*PPD-Adobe: \"4.3\"\n"
                                       "*% a comment\n"
                                       "*%KRShortcut: *Missing\n"
                                       "*%KRTFlags: *A Spooler\n"
                                       "*OpenUIKRT *A/A: PickOne\n");
  auto run = RunQuill({"lint", broken});
  EXPECT_EQ(run.status, 1);
  // An error found only after the whole file was read (the empty tree) has no line.
  EXPECT_EQ(run.out, broken + ":5: PPDErr_OpenUIKRTParsing2 (34) *A\n" +
                         broken + ":5: PPDErr_OpenUIKRTParsing1 (10) *A, fatal\n" +
                         broken + ":3: PPDErr_BadShortcut (19) *Missing\n" +
                         broken + ": PPDErr_NoPropertyPages (25)\n" +
                         broken + ": PPDErr_NoGroups (26)\n" +
                         broken + ": PPDErr_NoControls (27)\n" +
                         broken + ": not a valid PPD\n");

  auto json = RunQuill({"lint", broken, "--json"});
  auto report = nlohmann::json::parse(json.out);
  EXPECT_EQ(report["valid_ppd"], false);
  EXPECT_EQ(report["errors"][0]["name"], "PPDErr_OpenUIKRTParsing2");
  EXPECT_EQ(report["errors"][0]["fatal"], false);
  EXPECT_EQ(report["errors"][0]["line"], 5);
  EXPECT_EQ(report["errors"][2]["line"], 3);
  EXPECT_TRUE(report["errors"][3]["line"].is_null());

  auto sample = RunQuill({"lint", kSample});
  EXPECT_EQ(sample.status, 0);
  EXPECT_EQ(sample.out, kSample + ": valid PPD\n");
}

TEST(PPDCommands, BadArgumentsExitWithStatus2) {
  struct Case {
    std::vector<std::string> args;
    std::string err;
  };
  const std::vector<Case> cases = {
      {{"tree", "/nonexistent.ppd"}, "quill: cannot read /nonexistent.ppd\n"},
      {{"tree", kSample, "--set", "*Nope=1"}, "quill: no key *Nope in " + kSample + "\n"},
      {{"tree", kSample, "--set", "Nope=1"}, "quill: no key Nope in " + kSample + "\n"},
      {{"tree", kSample, "--set", "*Duplex=Sideways"},
       "quill: value \"Sideways\" for *Duplex is not one of its options (None, DuplexNoTumble, "
       "DuplexTumble)\n"},
      {{"tree", kSample, "--set", "KRToneCurve=2,5"},
       "quill: value \"2,5\" for *KRToneCurve is not a number\n"},
      {{"tree", kSample, "--set", "*KRCopies=100000"},
       "quill: value \"100000\" for *KRCopies is outside 1..9999\n"},
      {{"tree", kSample, "--set", "*KRAccount=12ab"},
       "quill: value \"12ab\" for *KRAccount has the character \"a\", which the note refuses\n"},
      {{"tree", kSample, "--set", "*KRUTF8_Version=8"},
       "quill: value \"8\" for *KRUTF8_Version belongs to the server and cannot be set\n"},
      {{"tree", kSample, "--set", "novalue"}, "quill: expected KEY=VALUE, got \"novalue\"\n"},
      {{"check", kSample}, "quill: check needs KEY=OPTION pairs or --conflicts\n"},
      {{"check", kSample, "*Nope=x"}, "quill: no key *Nope in " + kSample + "\n"},
      {{"check", kSample, "*Duplex=Bogus"},
       "quill: value \"Bogus\" for *Duplex is not one of its options (None, DuplexNoTumble, "
       "DuplexTumble)\n"},
      {{"check", kSample, "KRMirror=Maybe"},
       "quill: value \"Maybe\" for *KRMirror is not True or False\n"},
  };
  for (const auto& c : cases) {
    auto run = RunQuill(c.args);
    EXPECT_EQ(run.status, 2) << c.args[1];
    EXPECT_EQ(run.err, c.err);
  }
  EXPECT_EQ(RunQuill({"tree", kSample, "--parse-options", "7"}).status, 2);
}
