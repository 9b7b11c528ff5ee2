// The automation presets file under the fixed paths' root: the marker, the walk through the
// presets from one dialog to the next, and a file that cannot be written back.
#include <gmock/gmock.h>
#include <plist/plist.h>

#include "lifecycle/LifecycleFixture.h"
#include "panel/PlistParser.h"

namespace quill::testing {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

std::string Preset(const char* name, const char* duplex, const char* jobName) {
  return std::string("<key>") + name +
         "</key><dict><key>com.apple.print.preset.settings</key><dict>"
         "<key>*Duplex</key><string>" +
         duplex +
         "</string>"
         "<key>*KRJobName</key><string>" +
         jobName +
         "</string>"
         "<key>MMKey0</key><string>Cover</string>"
         "</dict></dict>";
}

std::string PresetsFile(const char* marker, const char* lastUsed) {
  std::string text =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
      "<key>KRTKey</key><string>";
  text += marker;
  text += "</string>";
  if (lastUsed != nullptr)
    text += std::string("<key>LastUsedPreset</key><string>") + lastUsed + "</string>";
  text += Preset("Preset 01", "DuplexTumble", "First");
  text += Preset("Preset 02", "DuplexNoTumble", "Second");
  text += Preset("Preset 10", "DuplexTumble", "Tenth");
  return text + "</dict></plist>";
}

class AutomationTest : public LifecycleTest {
 protected:
  fs::path File() const { return home_.path() / "root/PresetsFile.xml"; }
  void WriteFile(const std::string& text) const { std::ofstream(File()) << text; }
  std::string LastUsed() const {
    PlistParser parser;
    parser.isValidAutomationFile(File().string());
    plist_t node =
        parser.Dictionary() ? plist_dict_get_item(parser.Dictionary(), "LastUsedPreset") : nullptr;
    const char* text = node ? plist_get_string_ptr(node, nullptr) : nullptr;
    return text ? text : "";
  }
  // A dialog is opened and shown; the automation file is applied on the first showing.
  std::unique_ptr<QuillFeaturesPDE> OpenAndShow(PrintDialogCallback& dialog) {
    auto panel = QuillFeaturesPDE::initWithCallback(&dialog);
    EXPECT_NE(panel, nullptr);
    return panel;
  }
};

TEST_F(AutomationTest, EachDialogTakesTheNextPresetAndRecordsIt) {
  WriteFile(PresetsFile(PlistParser::kMarker, nullptr));
  struct Step {
    const char* duplex;
    const char* jobName;
    const char* lastUsed;
  };
  const Step steps[] = {{"DuplexTumble", "First", "Preset 01"},
                        {"DuplexNoTumble", "Second", "Preset 02"}};
  for (const Step& step : steps) {
    QuillFeaturesPDE::ResetProcessState();
    auto dialog = Dialog(ExamplePath("QuillSample.ppd"));
    auto panel = OpenAndShow(*dialog);
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(Value(*panel, "*Duplex"), step.duplex);
    EXPECT_EQ(Value(*panel, "*KRJobName"), step.jobName);
    // Every value also went into the print settings, the tables were read back from them.
    EXPECT_EQ(dialog->Settings().GetString("MMKey0"), "Cover");
    EXPECT_EQ(LastUsed(), step.lastUsed);
    // Showing the panel again does not move on.
    panel->willShow();
    EXPECT_EQ(LastUsed(), step.lastUsed);
  }
  EXPECT_TRUE(alerts_.Shown().empty());
}

TEST_F(AutomationTest, PresetNamesCountOnFromTheLastUsed) {
  struct Case {
    const char* last;
    const char* next;
  };
  const Case cases[] = {{"", "Preset 01"},          {"Preset 01", "Preset 02"},
                        {"Preset 08", "Preset 09"}, {"Preset 09", "Preset 10"},
                        {"Preset 10", "Preset 11"}, {"Holiday", "Preset 01"}};
  for (const Case& c : cases) EXPECT_EQ(PlistParser::NextPresetName(c.last), c.next) << c.last;

  // "Preset 09" was last: the tenth is applied.
  WriteFile(PresetsFile(PlistParser::kMarker, "Preset 09"));
  auto dialog = Dialog(ExamplePath("QuillSample.ppd"));
  auto panel = OpenAndShow(*dialog);
  EXPECT_EQ(Value(*panel, "*KRJobName"), "Tenth");
  EXPECT_EQ(LastUsed(), "Preset 10");
}

TEST_F(AutomationTest, AFileWithoutTheMarkerOrOutsideTheRootIsNotApplied) {
  WriteFile(PresetsFile("ScriptFeedOnly_KEY_17350927", nullptr));
  auto dialog = Dialog(ExamplePath("QuillSample.ppd"));
  auto panel = OpenAndShow(*dialog);
  EXPECT_EQ(Value(*panel, "*Duplex"), "None");
  EXPECT_EQ(LastUsed(), "");  // untouched
  EXPECT_FALSE(panel->loadAutomationFileAndLoadPrintSetting());
}

TEST_F(AutomationTest, AFileThatCannotBeWrittenBackIsReportedAndNotApplied) {
  WriteFile(PresetsFile(PlistParser::kMarker, nullptr));
  // The write-back goes through a file beside it; a folder in its place makes it fail.
  fs::create_directories(File().string() + ".new");
  auto dialog = Dialog(ExamplePath("QuillSample.ppd"));
  auto panel = OpenAndShow(*dialog);
  EXPECT_EQ(Value(*panel, "*Duplex"), "None");
  EXPECT_EQ(LastUsed(), "");
  ASSERT_EQ(alerts_.Shown().size(), 1u);
  EXPECT_THAT(alerts_.Shown()[0].message, HasSubstr("automation presets file cannot be updated"));
  EXPECT_THAT(alerts_.Shown()[0].informative, HasSubstr("PresetsFile.xml"));
}

}  // namespace
}  // namespace quill::testing
