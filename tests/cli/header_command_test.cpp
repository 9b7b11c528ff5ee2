// The quill command as a user runs it: output, JSON and exit statuses.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "support/Run.h"
#include "support/TempDir.h"

using quill::testing::ExamplePath;
using quill::testing::RunQuill;

TEST(HeaderCommand, PrintsTheHeaderAndTheNameTest) {
  auto run = RunQuill({"header", ExamplePath("QuillSample.ppd"), "--names", "X.PPD,QUILLS01.PPD"});
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("Model name:         Quill Press 9000\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("PC file name test:  passed\n"), std::string::npos) << run.out;
}

TEST(HeaderCommand, Json) {
  quill::testing::TempDir dir;
  const std::string path = dir.Write("p.ppd", "*PPD-Adobe: \"4.3\"\n*ModelName: \"M\"\n");
  auto run = RunQuill({"header", path, "--json"});
  ASSERT_EQ(run.status, 0);
  auto json = nlohmann::json::parse(run.out);
  EXPECT_EQ(json["model_name"], "M");
  EXPECT_TRUE(json["pc_file_name"].is_null());
  EXPECT_TRUE(json["pc_file_name_ok"].is_null());
  EXPECT_EQ(json.size(), 8u);

  auto named = RunQuill({"header", ExamplePath("QuillSample.ppd"), "--json", "--names", "NO.PPD"});
  EXPECT_EQ(nlohmann::json::parse(named.out)["pc_file_name_ok"], false);
}

TEST(HeaderCommand, ExitStatuses) {
  quill::testing::TempDir dir;
  auto missing = RunQuill({"header", dir.path().string() + "/missing.ppd"});
  EXPECT_EQ(missing.status, 2);
  EXPECT_EQ(missing.err, "quill: cannot read " + dir.path().string() + "/missing.ppd\n");

  auto not_ppd = RunQuill({"header", dir.Write("t.txt", "plain text\n")});
  EXPECT_EQ(not_ppd.status, 1);
  EXPECT_NE(not_ppd.err.find("is not a PPD file"), std::string::npos);

  EXPECT_EQ(RunQuill({"header"}).status, 2);
  EXPECT_EQ(RunQuill({"nonsense"}).status, 2);
}
