// Helpers of the tests that run the module bridge with the stand-in module: a scenario file, the
// stand-in's report, and a shared list set up like the panel's.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "server/JPModule.h"
#include "server/SharedMemoryList.h"
#include "support/TempDir.h"

namespace quill::testing {

class StandInModule {
 public:
  explicit StandInModule(const std::string& scenario) {
    scenario_ = dir_.path() / "scenario";
    report_ = dir_.path() / "report";
    std::ofstream(scenario_) << scenario;
    setenv("QUILL_JP_SCENARIO", scenario_.c_str(), 1);
    setenv("QUILL_JP_REPORT", report_.c_str(), 1);
  }
  ~StandInModule() {
    unsetenv("QUILL_JP_SCENARIO");
    unsetenv("QUILL_JP_REPORT");
  }
  StandInModule(const StandInModule&) = delete;
  StandInModule& operator=(const StandInModule&) = delete;

  // Every report line.
  [[nodiscard]] std::vector<std::string> Lines() const {
    std::vector<std::string> lines;
    std::ifstream in(report_);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
  [[nodiscard]] bool Has(const std::string& line) const {
    for (const std::string& l : Lines()) {
      if (l == line) return true;
    }
    return false;
  }
  // The first line starting with `prefix`, or "".
  [[nodiscard]] std::string Find(const std::string& prefix) const {
    for (const std::string& l : Lines()) {
      if (l.rfind(prefix, 0) == 0) return l;
    }
    return "";
  }

 private:
  TempDir dir_;
  std::filesystem::path scenario_;
  std::filesystem::path report_;
};

}  // namespace quill::testing
