// quill ticket on a PPD file: the whole ticket that printing hands to the filter, its output forms,
// the watermark option and the refusals.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "support/Run.h"
#include "support/TempDir.h"

using quill::testing::RunQuill;

namespace {

class TicketCommand : public ::testing::Test {
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
  // The pieces as (site, text).
  std::vector<std::pair<int, std::string>> Pieces(std::vector<std::string> args) {
    args.insert(args.begin(), {"ticket", ppd_, "--json"});
    auto run = RunQuill(args);
    EXPECT_EQ(run.status, 0) << run.err;
    std::vector<std::pair<int, std::string>> pieces;
    if (run.status != 0) return pieces;
    for (const auto& entry : nlohmann::json::parse(run.out)) {
      pieces.emplace_back(entry["site"].get<int>(), entry.value("text", std::string("<hex>")));
    }
    return pieces;
  }

  static constexpr const char* kVariables[] = {"XDG_CONFIG_HOME", "XDG_RUNTIME_DIR", "HOME"};
  std::vector<std::pair<const char*, std::optional<std::string>>> saved_;
  quill::testing::TempDir dir_;
  std::string ppd_;
};

TEST_F(TicketCommand, ShowsWhatPrintingHandsOver) {
  const auto pieces = Pieces({"--set", "Duplex=DuplexTumble", "--note", "KRAccount=4711",
                              "--watermark", "0,0,0,255,0,0,0,0,0,450,0,0,96,Helvetica,DRAFT"});
  ASSERT_FALSE(pieces.empty());
  auto has = [&pieces](int site, const std::string& start) {
    int found = 0;
    for (const auto& [s, text] : pieces) found += s == site && text.rfind(start, 0) == 0;
    return found;
  };
  EXPECT_EQ(pieces.front().first, -9);
  EXPECT_EQ(has(-9, "*Duplex"), 1);
  EXPECT_EQ(has(-9, "*PageSize"), 0);
  EXPECT_EQ(has(81, "%%BeginFeature: *Duplex DuplexTumble\n"), 1);
  EXPECT_EQ(has(70, "%%BeginFeature: *PageSize A4\n"), 1);
  EXPECT_EQ(has(81, "%%BeginFeature: *KRAccount 4711\n"), 1);
  EXPECT_EQ(has(81, "%%KRT Begin Watermark resource"), 1);
  EXPECT_EQ(has(81, "%%BeginFeature: *KRPrintSize SameAsPageSize\n"), 1);
  EXPECT_EQ(has(501, "%%KRTDriver\n"), 1);
  EXPECT_EQ(has(71, "%%EndQuillPreparse1: True\n"), 1);
  EXPECT_EQ(pieces.back(), (std::pair<int, std::string>{501, "%%KRUTF8_Version: 7 \n"}));

  // The XML form carries the same pieces.
  auto xml = RunQuill({"ticket", ppd_});
  EXPECT_EQ(xml.status, 0) << xml.err;
  EXPECT_NE(xml.out.find("<array>"), std::string::npos);
}

TEST_F(TicketCommand, RefusalsExitWithTwo) {
  struct Row {
    std::vector<std::string> args;
    const char* message;
  };
  const std::vector<Row> rows = {
      {{"--watermark", "0,0,0,0,0,0,0,0,0,0,0,0,72,Helv)etica,X"}, "watermark refused"},
      {{"--note", "KRAccount=12\n34"}, "control character"},
  };
  for (const Row& row : rows) {
    std::vector<std::string> args = {"ticket", ppd_};
    args.insert(args.end(), row.args.begin(), row.args.end());
    auto run = RunQuill(args);
    EXPECT_EQ(run.status, 2) << row.message;
    EXPECT_NE(run.err.find(row.message), std::string::npos) << run.err;
    EXPECT_TRUE(run.out.empty());
  }
}

}  // namespace
