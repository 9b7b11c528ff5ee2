// Helpers of the tests that run command jobs through the private CUPS server and the filter.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "platform/Printer.h"
#include "support/CupsServer.h"
#include "support/TempDir.h"

namespace quill::testing {

// Waits until job `jobId` of `printer` leaves the pending and processing states (at most 60 s)
// and returns its last state.
inline int WaitForJobEnd(const Printer& printer, int jobId) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  int state = 0;
  while (std::chrono::steady_clock::now() < deadline) {
    state = printer.JobState(jobId);
    if (state >= 6) return state;  // stopped, canceled, aborted or completed
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return state;
}

inline std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// A queue set up with the sample PPD through `quill queue add`, shared by the tests of a program
// (queue names differ per test suite so that their PPDs do not mix).
inline Printer SharedQueue(const std::string& name, const std::string& uri = "") {
  CupsServer& server = CupsServer::Shared();
  Printer printer(name);
  if (!printer.Exists()) {
    std::string error;
    if (!server.AddQueue(name, ExamplePath("QuillSample.ppd"), &error, uri)) {
      ADD_FAILURE() << error;
    }
  }
  return printer;
}

// Sends one command and waits for its job to end; the job's final state.
inline int RunCommand(const Printer& printer, std::string_view text, std::string_view title) {
  const Printer::SendResult sent = printer.SendCommand(text, title);
  EXPECT_TRUE(sent) << sent.error;
  if (!sent) return 0;
  return WaitForJobEnd(printer, sent.jobId);
}

}  // namespace quill::testing
