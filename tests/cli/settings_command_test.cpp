// quill settings on a PPD file: what a user carries to the next print, --set asking the control,
// --save storing the values for the queue in the user's configuration folder.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "support/Run.h"
#include "support/TempDir.h"

using quill::testing::RunQuill;

namespace {

// Runs every command with HOME and the configuration folder in a fresh temporary folder.
class SettingsCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : kVariables) {
      const char* old = std::getenv(name);
      saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
    }
    ::setenv("XDG_CONFIG_HOME", (dir_.path() / "cfg").c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", dir_.path().c_str(), 1);
    ::setenv("HOME", dir_.path().c_str(), 1);
    ppd_ = (dir_.path() / "Press.ppd").string();
    std::filesystem::copy_file(quill::testing::ExamplePath("QuillSample.ppd"), ppd_);
  }
  void TearDown() override {
    for (const auto& [name, value] : saved_) {
      if (value) ::setenv(name, value->c_str(), 1);
      else ::unsetenv(name);
    }
  }
  nlohmann::json Json(std::vector<std::string> args) {
    args.insert(args.begin(), {"settings", ppd_, "--json"});
    auto run = RunQuill(args);
    EXPECT_EQ(run.status, 0) << run.err;
    return run.status == 0 ? nlohmann::json::parse(run.out) : nlohmann::json{};
  }

  static constexpr const char* kVariables[] = {"XDG_CONFIG_HOME", "XDG_RUNTIME_DIR", "HOME"};
  std::vector<std::pair<const char*, std::optional<std::string>>> saved_;
  quill::testing::TempDir dir_;
  std::string ppd_;
};

TEST_F(SettingsCommand, SaveCarriesValuesToTheNextRun) {
  auto first = Json({"--set", "Duplex=DuplexTumble", "--set", "*KRStaple=None", "--save"});
  EXPECT_EQ(first["options"]["*Duplex"], "DuplexTumble");
  EXPECT_EQ(first["queue"], "Press");
  EXPECT_TRUE(std::filesystem::exists(dir_.path() / "cfg/quill/Press.plist"));
  EXPECT_EQ(first["watermark"]["selected"], -1);
  EXPECT_EQ(first["watermark"]["count"], 5);  // the bundle's default records
  EXPECT_EQ(first["tables"]["paperCatalog"][0][1], "-1");
  EXPECT_EQ(first["quickAccess"], nlohmann::json({"*Duplex", "*KRColorMode", "*KRStaple"}));

  auto second = Json({});
  EXPECT_EQ(second["options"]["*Duplex"], "DuplexTumble");
  // Nothing is kept without --save.
  Json({"--set", "Duplex=None"});
  EXPECT_EQ(Json({})["options"]["*Duplex"], "DuplexTumble");
}

TEST_F(SettingsCommand, RefusedValuesExitTwoWithOneLine) {
  struct Case {
    std::string set;
    std::string says;
  };
  for (const Case& c : {Case{"Duplex=Sideways", "Duplex"}, Case{"NoSuchKey=1", "no key"},
                        Case{"KRJobName=a\nb", "control character"}, Case{"novalue", "KEY=VALUE"}}) {
    auto run = RunQuill({"settings", ppd_, "--set", c.set, "--save"});
    EXPECT_EQ(run.status, 2) << c.set;
    EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
  }
  EXPECT_FALSE(std::filesystem::exists(dir_.path() / "cfg/quill/Press.plist"));
  EXPECT_EQ(RunQuill({"settings", (dir_.path() / "absent").string()}).status, 2);
}

TEST_F(SettingsCommand, StoredTablesAreReadBackWithinTheirLimits) {
  // A hand-edited file: an over-long count and a value with a line break.
  std::filesystem::create_directories(dir_.path() / "cfg/quill");
  const std::string xml =
      "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict>"
      "<key>.PadCov</key><integer>9999</integer>"
      "<key>PCovKey0</key><string>*PadCoverTray</string>"
      "<key>PCovValue0</key><string>Tray2</string>"
      "<key>PCovValue1</key><string>x&#10;%%EOF</string>"
      "<key>.SelectedWatermarkKey</key><integer>42</integer></dict></plist>";
  std::ofstream(dir_.path() / "cfg/quill/Press.plist") << xml;
  auto out = Json({});
  ASSERT_EQ(out["tables"]["padCover"].size(), 16u);
  EXPECT_EQ(out["tables"]["padCover"][0], nlohmann::json({"*PadCoverTray", "Tray2"}));
  EXPECT_EQ(out["tables"]["padCover"][1], nlohmann::json({"", ""}));
  EXPECT_EQ(out["watermark"]["selected"], -1);
}

}  // namespace
