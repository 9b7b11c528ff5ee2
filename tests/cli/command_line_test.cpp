// The quill command line as a whole: every command listed by `quill --help` answers when named
// first (the program builds only that command's options then), and what is not a command still
// gets the full list.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "support/Run.h"

using quill::testing::RunQuill;

namespace {

// The command names of the "Subcommands:" part of `quill --help`.
std::vector<std::string> ListedCommands(const std::string& help) {
  std::vector<std::string> names;
  std::istringstream lines(help);
  bool listing = false;
  for (std::string line; std::getline(lines, line);) {
    if (line == "Subcommands:") {
      listing = true;
    } else if (listing && line.rfind("  ", 0) == 0 && line.size() > 2 && line[2] != ' ') {
      names.push_back(line.substr(2, line.find(' ', 2) - 2));
    }
  }
  return names;
}

}  // namespace

TEST(CommandLine, EveryListedCommandAnswersItsOwnHelp) {
  auto help = RunQuill({"--help"});
  ASSERT_EQ(help.status, 0) << help.err;
  const std::vector<std::string> names = ListedCommands(help.out);
  for (const char* expected : {"header", "tree", "check", "lint", "queue", "server-data", "blocks",
                               "address", "ticket", "settings", "properties", "print"}) {
    EXPECT_NE(std::find(names.begin(), names.end(), expected), names.end()) << expected;
  }
  for (const auto& name : names) {
    auto run = RunQuill({name, "--help"});
    EXPECT_EQ(run.status, 0) << name << ": " << run.err;
    EXPECT_NE(run.out.find(" " + name + " [OPTIONS]"), std::string::npos) << name << ": "
                                                                          << run.out;
  }
}

TEST(CommandLine, WhatIsNoCommandIsRefusedWithTheFullList) {
  struct Case {
    std::vector<std::string> args;
    const char* error;  // a part of standard error
  };
  const Case cases[] = {
      {{}, "A subcommand is required"},
      {{"lin", "x.ppd"}, "A subcommand is required"},
      // A second command after the first is an extra argument of the first, as before.
      {{"lint", "x.ppd", "tree"}, "The following argument was not expected: tree"},
  };
  for (const auto& c : cases) {
    auto run = RunQuill(c.args);
    EXPECT_EQ(run.status, 2) << c.error;
    EXPECT_NE(run.err.find(c.error), std::string::npos) << run.err;
  }
  // Help after an unknown first argument still lists every command.
  auto run = RunQuill({"--help", "lin"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(ListedCommands(run.out).size(), ListedCommands(RunQuill({"--help"}).out).size());
}
