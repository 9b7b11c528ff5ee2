// Every command of the filter's table, end to end: the panel-side platform code sends a command job
// to a queue of the private cupsd, the filter (run by cupsd as lp) answers, and the test looks
// where the panel looks.
#include <gtest/gtest.h>

#include "SpoolerTestSupport.h"
#include "platform/Paths.h"
#include "ppddata/PPDDataBlock.h"

namespace quill::testing {
namespace {

namespace fs = std::filesystem;

TEST(CommandJobs, LocaleCodeCompletes) {
  Printer printer = SharedQueue("cmd");
  EXPECT_EQ(RunCommand(printer, "ja", "Command_LocaleCode"), Printer::kJobCompleted)
      << CupsServer::Shared().ErrorLogTail();
}

}  // namespace
}  // namespace quill::testing
