#include "server/SpoolerFiles.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "platform/Paths.h"

namespace quill {
namespace {

class SpoolerFilesTest : public ::testing::Test {
 protected:
  void SetUp() override { Paths::SetRoot("/q"); }
  void TearDown() override { Paths::ResetRoot(); }
};

TEST_F(SpoolerFilesTest, NamesInsideTheCacheResolveUnderTheRoot) {
  const struct {
    std::string name;
    std::string path;
  } cases[] = {
      {"Quill.temp1", "/q/Library/Caches/KRT/Quill.temp1"},
      {"/Library/Caches/KRT/Quill.temp1", "/q/Library/Caches/KRT/Quill.temp1"},  // as the panel writes it
      {"/q/Library/Caches/KRT/Quill.temp1", "/q/Library/Caches/KRT/Quill.temp1"},
      {"/Library/Caches/KRT/Mailbox Anna/", "/q/Library/Caches/KRT/Mailbox Anna"},
      {"./a//b/./c", "/q/Library/Caches/KRT/a/b/c"},
      {"..a", "/q/Library/Caches/KRT/..a"},  // only ".." itself climbs
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SpoolerFiles::ConfineToCache(c.name), std::optional<std::string>(c.path)) << c.name;
  }
}

TEST_F(SpoolerFilesTest, NamesThatLeaveTheCacheAreRefused) {
  const std::string refused[] = {
      "",
      "../x",
      "a/../../x",
      "/Library/Caches/KRT/../x",
      "/Library/Caches/KRTx/y",
      "/tmp/x",
      "/q/Library/Caches/x",
      "/Library/Caches/KRT",
      "/Library/Caches/KRT/",
      ".",
      std::string("a\0/../../x", 10),
      "a\nb",
  };
  for (const std::string& name : refused) {
    std::string why;
    EXPECT_EQ(SpoolerFiles::ConfineToCache(name, &why), std::nullopt) << name;
    EXPECT_FALSE(why.empty()) << name;
  }
}

TEST_F(SpoolerFilesTest, FileNamesOfAQueue) {
  EXPECT_EQ(SpoolerFiles::TwoWayDataFolder("/Library/Printers/Quill/PDEs/QuillFeatures.plugin"),
            "/q/Library/Printers/Quill/PDEs/");
  EXPECT_EQ(SpoolerFiles::TwoWayDataFolder("/Library/Printers/Quill/PDEs/QuillFeatures.plugin/"),
            "/q/Library/Printers/Quill/PDEs/");
  EXPECT_EQ(SpoolerFiles::TwoWayDataFolder(""), "");
  EXPECT_EQ(SpoolerFiles::TwoWayDataFolder("QuillFeatures.plugin"), "");
  EXPECT_EQ(SpoolerFiles::DataFilePath("/f/", "q1"), "/f/q1.bididata");
  EXPECT_EQ(SpoolerFiles::MarkerFilePath("/f/", "q1"), "/f/q1.open");
  EXPECT_EQ(SpoolerFiles::ConnectionErrorFilePath("ID7"),
            "/q/Library/Caches/KRT/ConnectionErrorInfoFileID7.txt");
}

}  // namespace
}  // namespace quill
