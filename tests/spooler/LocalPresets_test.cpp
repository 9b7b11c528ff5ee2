// The module's local presets reach the queue's PPD through the filter: the callback sends them as
// a command job to the current printer and answers once the job has completed; read back, their
// byte-order marks are restored.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "SpoolerTestSupport.h"
#include "platform/PrintSession.h"
#include "server/CPPDMsgHdlr.h"
#include "server/SDMCallbacks.h"

namespace quill::testing {
namespace {

TEST(LocalPresets, TheCallbackStoresThemThroughTheFilterAndWaitsForTheJob) {
  Printer printer = SharedQueue("presets");
  setenv("QUILL_TEST_WAIT_SCALE", "0.05", 1);  // the wait's sleeps shortened
  CallbackContext().sendLocalPresets = nullptr;

  // Without a current printer nothing can be sent.
  PrintSession::Current().SetCurrentPrinter(std::nullopt);
  const char* presets = "\xEF\xBB\xBFOffice=Duplex:DuplexTumble;Staple:TopLeft";
  EXPECT_EQ(sdmFuncPtrSetLocalPresetsData(nullptr, &presets, 0), 4096);

  PrintSession::Current().SetCurrentPrinter(printer);
  EXPECT_EQ(sdmFuncPtrSetLocalPresetsData(nullptr, &presets, 0), 0)
      << CupsServer::Shared().ErrorLogTail();

  // Stored with the mark spelt out; the reading callback gives it back.
  std::string error;
  const std::string copy = printer.CopyPPD(&error);
  ASSERT_FALSE(copy.empty()) << error;
  EXPECT_EQ(CPPDMsgHdlr("localPreset", copy).GetCStringData(),
            "EFBBBFOffice=Duplex:DuplexTumble;Staple:TopLeft");
  CallbackContext().readLocalPresets = [&copy] {
    return CPPDMsgHdlr("localPreset", copy).GetCStringData();
  };
  wchar_t* read = nullptr;
  ASSERT_EQ(sdmFuncPtrGetLocalPresetsData(nullptr, &read, 0), 0);
  EXPECT_EQ(std::wstring(read), L"\xFEFFOffice=Duplex:DuplexTumble;Staple:TopLeft");
  std::free(read);
  CallbackContext().readLocalPresets = nullptr;
  unlink(copy.c_str());
  PrintSession::Current().SetCurrentPrinter(std::nullopt);
  unsetenv("QUILL_TEST_WAIT_SCALE");
}

}  // namespace
}  // namespace quill::testing
