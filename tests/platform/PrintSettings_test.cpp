#include "platform/PrintSettings.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>

#include "platform/Bundle.h"
#include "platform/SystemInfo.h"
#include "support/TempDir.h"

namespace {

namespace fs = std::filesystem;
using quill::PrintSettings;
using ::testing::ElementsAre;

class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    ::setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (old_) ::setenv(name_, old_->c_str(), 1);
    else ::unsetenv(name_);
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

mode_t ModeOf(const fs::path& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 0777) : 0;
}

TEST(PrintSettings, KeepsKeyOrderAndTypesThroughXML) {
  PrintSettings s;
  s.SetString("*PageSize", "A4");
  s.SetInteger(".SelectedWatermarkKey", -1);
  s.SetBoolean("flag", true);
  s.SetStringArray("feed", {"a", "Tray 2"});
  s.SetString("*PageSize", "Letter");  // keeps its place
  EXPECT_THAT(s.Keys(), ElementsAre("*PageSize", ".SelectedWatermarkKey", "flag", "feed"));

  auto back = PrintSettings::FromXML(s.ToXML());
  ASSERT_TRUE(back);
  EXPECT_THAT(back->Keys(), ElementsAre("*PageSize", ".SelectedWatermarkKey", "flag", "feed"));
  EXPECT_EQ(back->GetString("*PageSize"), "Letter");
  EXPECT_EQ(back->GetInteger(".SelectedWatermarkKey"), -1);
  EXPECT_EQ(back->GetBoolean("flag"), true);
  EXPECT_THAT(*back->GetStringArray("feed"), ElementsAre("a", "Tray 2"));
  EXPECT_EQ(back->GetString("flag"), std::nullopt);  // not a string
  EXPECT_TRUE(back->Remove("flag"));
  EXPECT_THAT(back->Keys(), ElementsAre("*PageSize", ".SelectedWatermarkKey", "feed"));
  EXPECT_EQ(back->GetString("feed"), std::nullopt);
}

TEST(PrintSettings, RefusesTextsThatCouldBreakALine) {
  struct Case {
    const char* text;
    bool ok;
  };
  for (const Case& c : {Case{"Fach 2", true}, Case{"\xE2\x82\xAC 5", true}, Case{"a\nb", false},
                        Case{"a\rb", false}, Case{"tab\t", false}, Case{"del\x7F", false},
                        Case{"c1\xC2\x85", false}, Case{"bad\xFF", false}}) {
    EXPECT_EQ(PrintSettings::IsAcceptableText(c.text), c.ok) << c.text;
  }
  // A hand-edited file loses the entries that hold them, and keeps the rest.
  const std::string xml =
      "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict>"
      "<key>*KRJobName</key><string>x&#13;%%EndFeature</string>"
      "<key>list</key><array><string>ok</string><string>a&#10;b</string></array>"
      "<key>*Duplex</key><string>DuplexNoTumble</string></dict></plist>";
  auto loaded = PrintSettings::FromXML(xml);
  ASSERT_TRUE(loaded);
  EXPECT_THAT(loaded->Keys(), ElementsAre("*Duplex"));

  // NUL bytes inside a string are refused too (and never reach libplist's copying getter).
  const std::string with_nul = std::string(
      "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>a</key><string>1\0\0") +
      "2</string><key>b</key><string>ok</string></dict></plist>";
  auto nul = PrintSettings::FromXML(with_nul);
  ASSERT_TRUE(nul);
  for (const std::string& key : nul->Keys()) {
    EXPECT_TRUE(PrintSettings::IsAcceptableText(*nul->GetString(key))) << key;
  }

  std::string why;
  EXPECT_FALSE(PrintSettings::FromXML("<plist><array/></plist>", &why));
  EXPECT_FALSE(why.empty());
  EXPECT_FALSE(PrintSettings::FromXML("not a list"));
}

TEST(PrintSettings, SavesPerQueueUnderTheUsersConfigurationFolder) {
  quill::testing::TempDir dir;
  ScopedEnv home("HOME", dir.path().string());
  ScopedEnv xdg("XDG_CONFIG_HOME", (dir.path() / "cfg").string());
  PrintSettings s;
  s.SetString("*Duplex", "DuplexTumble");
  std::string error;
  ASSERT_TRUE(s.Save("Press", &error)) << error;
  const fs::path file = dir.path() / "cfg/quill/Press.plist";
  EXPECT_EQ(ModeOf(file), 0600u);
  EXPECT_EQ(ModeOf(file.parent_path()), 0700u);

  PrintSettings loaded;
  loaded.SetString("stale", "x");
  EXPECT_EQ(loaded.Load("Press"), PrintSettings::LoadResult::kLoaded);
  EXPECT_THAT(loaded.Keys(), ElementsAre("*Duplex"));
  EXPECT_EQ(loaded.Load("Other"), PrintSettings::LoadResult::kMissing);
  EXPECT_TRUE(loaded.Empty());

  // An unreadable file leaves the settings as they were and is never taken for a missing one.
  std::ofstream(dir.path() / "cfg/quill/Broken.plist") << "<plist><dict><key>";
  loaded.SetString("kept", "1");
  EXPECT_EQ(loaded.Load("Broken", &error), PrintSettings::LoadResult::kUnreadable);
  EXPECT_EQ(loaded.GetString("kept"), "1");

  // Without XDG_CONFIG_HOME the folder is ~/.config/quill.
  ::unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(PrintSettings::PathForQueue("Press"), dir.path().string() + "/.config/quill/Press.plist");
  for (const char* bad : {"", ".", "..", "../Press", "a/b", "a\nb"}) {
    EXPECT_EQ(PrintSettings::PathForQueue(bad), "") << bad;
    EXPECT_FALSE(s.Save(bad));
  }
}

TEST(Bundle, StringTablesFallBackToTheBuiltInTexts) {
  quill::testing::TempDir dir;
  dir.Write("BidiStrings.strings",
            "/* two-way */\n\"CONTINUE\" = \"Weiter\";\n// comment\n\"Q\" = \"say \\\"hi\\\"\";\n"
            "garbage line\n");
  dir.Write("Info.plist",
            "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>CFBundleVersion</key>"
            "<string>4.1.7</string></dict></plist>");
  dir.Write("icons/lookup.csv", "x");
  quill::Bundle bundle(dir.path().string());
  EXPECT_EQ(bundle.LocalizedString("CONTINUE", "BidiStrings"), "Weiter");
  EXPECT_EQ(bundle.LocalizedString("Q", "BidiStrings"), "say \"hi\"");
  EXPECT_EQ(bundle.LocalizedString("CANCEL", "BidiStrings"), "Cancel");  // built in
  EXPECT_EQ(bundle.LocalizedString("DocumentSizeCustom"), "Custom");
  EXPECT_EQ(bundle.LocalizedString("NoSuchKey", {}, "Fallback"), "Fallback");
  EXPECT_EQ(bundle.LocalizedString("NoSuchKey"), "NoSuchKey");
  EXPECT_EQ(bundle.Version(), "4.1.7");
  EXPECT_TRUE(bundle.ResourcePath("icons/lookup.csv"));
  EXPECT_FALSE(bundle.ResourcePath("../etc/passwd"));
  EXPECT_FALSE(bundle.ResourcePath("/etc/passwd"));
  EXPECT_EQ(quill::Bundle().Version(), "0");
}

TEST(SystemInfo, UserFullNameCanBeSet) {
  quill::SystemInfo::SetUserFullName("Ada Lovelace");
  EXPECT_EQ(quill::SystemInfo::UserFullName(), "Ada Lovelace");
  quill::SystemInfo::Reset();
  // From the password database: never holds the later comma-separated fields.
  EXPECT_EQ(quill::SystemInfo::UserFullName().find(','), std::string::npos);
}

}  // namespace
