// The module bridge with the stand-in module: loading (missing module, missing function), one
// session per run with its results, bounded waits, garbage and null answers, the device
// management's locked and hidden keys, the callbacks as the module sees them, the locale, and
// that every block goes back to the allocator that made it.
#include <gtest/gtest.h>

#include <clocale>
#include <string>

#include "BridgeTestSupport.h"
#include "sdmlists/SDMTestSupport.h"
#include "server/BidiSections.h"
#include "server/SDMCallbacks.h"
#include "server/SpoolerCommands.h"

namespace quill::testing {
namespace {

class BridgeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    shared_ = NewSharedMemoryList();
    SetSharedSettings(*shared_, {{"*Duplex", "None"}, {"*KRStaple", "Off"}, {"PresetName", ""}});
    SetJPSharedList(shared_.get());
    SetJPDeviceManagementText("");
    SetJPModulePath(QUILL_STANDIN_MODULE);
    SetJPReadyLimit(std::chrono::milliseconds(2000));
    BidiSections::Current().Clear();
  }
  void TearDown() override {
    UnloadJPModule();
    SetJPSharedList(nullptr);
    SetJPModulePath("");
    BidiSections::Current().Clear();
  }
  [[nodiscard]] std::string Result() const { return std::string(QUILL_SML_GET(*shared_, result)); }
  [[nodiscard]] std::vector<std::pair<std::string, std::string>> Settings() const {
    return SharedSettings(*shared_);
  }
  SharedMemoryListPtr shared_;
};

TEST_F(BridgeTest, AMissingModuleOrFunctionIsAClearFailure) {
  struct Case {
    std::string path;
    std::string error;
  };
  const Case cases[] = {{"/nonexistent/libquilljp.so", "no job-properties module at /nonexistent/libquilljp.so"},
                        {QUILL_STANDIN_PARTIAL, "lacks JP1_1OpenUI"}};
  for (const Case& c : cases) {
    SetJPModulePath(c.path);
    const auto before = Settings();
    EXPECT_EQ(mainJP(), 2) << c.path;
    EXPECT_EQ(Result(), "-1");
    EXPECT_NE(JPLastError().find(c.error), std::string::npos) << JPLastError();
    EXPECT_FALSE(JPModuleLoaded());
    EXPECT_EQ(Settings(), before);
  }
  SetJPSharedList(nullptr);
  EXPECT_EQ(mainJP(), 1);
}

TEST_F(BridgeTest, ResultsOfARun) {
  struct Case {
    const char* scenario;
    const char* result;
    bool changed;
  };
  const Case cases[] = {
      {"", "0", false},
      {"answer 1\nset *Duplex=DuplexNoTumble\n", "1", false},  // cancelled: nothing taken back
      {"answer 5\n", "2", false},
      {"answer -7\n", "2", false},
      {"begin-fails\n", "-1", false},
      {"set *Duplex=DuplexNoTumble\n", "0", true},
  };
  for (const Case& c : cases) {
    SetSharedSettings(*shared_, {{"*Duplex", "None"}, {"*KRStaple", "Off"}});
    StandInModule module(c.scenario);
    EXPECT_EQ(mainJP(), 0) << c.scenario;
    EXPECT_EQ(Result(), c.result) << c.scenario;
    EXPECT_EQ(Settings()[0].second, c.changed ? "DuplexNoTumble" : "None") << c.scenario;
    EXPECT_TRUE(UnloadJPModule());
    EXPECT_NE(module.Find("dll-end"), "");
    EXPECT_TRUE(module.Has("dll-end live=0 foreign=0")) << c.scenario << module.Find("dll-end");
  }
}

TEST_F(BridgeTest, AModuleThatNeverBecomesReadyIsGivenUp) {
  SetJPReadyLimit(std::chrono::milliseconds(300));
  StandInModule module("never-ready\nset *Duplex=DuplexNoTumble\n");
  const auto before = Settings();
  EXPECT_EQ(mainJP(), 0);  // returns at all: the wait is bounded
  EXPECT_EQ(Result(), "-1");
  EXPECT_NE(JPLastError().find("did not become ready"), std::string::npos);
  EXPECT_EQ(Settings(), before);
  EXPECT_FALSE(module.Has("answer 0"));

  SetJPReadyLimit(std::chrono::milliseconds(2000));
  StandInModule later("ready-after 3\n");
  EXPECT_EQ(mainJP(), 0);
  EXPECT_EQ(Result(), "0");
}

TEST_F(BridgeTest, GarbageAndNullAnswersLeaveTheSettingsAlone) {
  struct Case {
    const char* scenario;
    std::vector<std::pair<std::string, std::string>> want;  // empty: unchanged
  };
  const Case cases[] = {
      {"settings null\n", {}},
      {"settings null-entries\n", {}},
      {"settings garbage-count\nset *Duplex=DuplexTumble\n", {{"*Duplex", "DuplexTumble"}, {"*KRStaple", "Off"}}},
      {"settings null-strings\n", {{"*Duplex", ""}}},
      {"watermarks null\n", {}},
  };
  for (const Case& c : cases) {
    SetSharedSettings(*shared_, {{"*Duplex", "None"}, {"*KRStaple", "Off"}});
    const auto before = Settings();
    StandInModule module(c.scenario);
    EXPECT_EQ(mainJP(), 0);
    EXPECT_EQ(Result(), "0");
    EXPECT_EQ(Settings(), c.want.empty() ? before : c.want) << c.scenario;
    EXPECT_TRUE(UnloadJPModule());
    EXPECT_TRUE(module.Has("dll-end live=0 foreign=0")) << c.scenario << " " << module.Find("dll-end");
  }
}

TEST_F(BridgeTest, DeviceManagementKeysAndWatermarksReachTheModule) {
  SetJPDeviceManagementText(
      "<Category name=\"UI-Modification\">\n<Controls>\n<KRTPPD key=\"Duplex\" default=\"None\"/>\n</Controls>\n"
      "<Lock>\n<KRTPPD key=\"Duplex\" value=\"True\"/>\n</Lock>\n"
      "<Show>\n<KRTPPD key=\"KRStaple\" value=\"False\"/>\n</Show>\n</Category>\n");
  QUILL_SML_SET(*shared_, watermarkIds[0], "0");
  QUILL_SML_SET(*shared_, watermarkTexts[0], "0,0,0,0,0,0,0,0,0,450,0,0,36,Helvetica,Draft, not final");
  QUILL_SML_SET(*shared_, watermarkCount, "1");
  StandInModule module("watermark 0=0,0,0,0,0,0,0,0,0,450,0,0,48,Helvetica,Copy\n");
  EXPECT_EQ(mainJP(), 0);
  EXPECT_TRUE(module.Has("readonly Duplex=True"));
  EXPECT_TRUE(module.Has("veiled KRStaple=False"));
  EXPECT_TRUE(module.Has("  in *Duplex=None"));
  EXPECT_TRUE(module.Has("watermark-in 0=0,0,0,0,0,0,0,0,0,450,0,0,36,Helvetica,Draft, not final"));
  EXPECT_EQ(GetWatermarkList_From_CombinedList(*shared_),
            std::vector<std::string>{"0,0,0,0,0,0,0,0,0,450,0,0,48,Helvetica,Copy"});
  EXPECT_TRUE(UnloadJPModule());
  EXPECT_TRUE(module.Has("dll-end live=0 foreign=0"));

  // A document that does not parse: the settings still go, nothing is locked or hidden.
  SetJPDeviceManagementText("<not xml");
  StandInModule again("");
  EXPECT_EQ(mainJP(), 0);
  EXPECT_TRUE(again.Has("  in *Duplex=None"));
  EXPECT_EQ(again.Find("readonly"), "");
}

TEST_F(BridgeTest, TheModuleCallsEveryCallbackOfItsMode) {
  QUILL_SML_SET(*shared_, bidi, "1");
  QUILL_SML_SET(*shared_, driverVersion, "1.4");
  BidiSections::Current().Load(TwoWayText({{"BidiData", "<SMDData/>"},
                                           {"TonerInfo", "1\nCyan@80@100@#00FFFF@10@90@1\n"},
                                           {"ServerInfo", "Server 7:ServerName\n"},
                                           {"PpdDefaults", "1\n*Duplex\nDuplexTumble\n"}}));
  StandInModule module("");
  EXPECT_EQ(mainJP(), 0);
  EXPECT_TRUE(module.Has("begin version=19 twoWay=1"));
  EXPECT_TRUE(module.Has("callback getServerData rc=0 text=<SMDData/>"));
  EXPECT_TRUE(module.Has("  getTonerInfo Cyan|80|100|#00FFFF|10|90|1"));
  EXPECT_TRUE(module.Has("  getServerInfoAll ServerName=Server 7"));
  EXPECT_TRUE(module.Has("  getPPDDefaults *Duplex=DuplexTumble"));
  EXPECT_TRUE(module.Has("callback getDriverVersion(1) rc=0 text=1.4"));
  EXPECT_TRUE(module.Has("callback getTrayInfo rc=4096 count=0"));
  EXPECT_TRUE(module.Has("callback getCalibration rc=4096"));
  EXPECT_EQ(module.Find("callback getFontList"), "");  // not in this mode
  EXPECT_TRUE(UnloadJPModule());
  EXPECT_TRUE(module.Has("dll-end live=0 foreign=0")) << module.Find("dll-end");

  QUILL_SML_SET(*shared_, bidi, "0");
  StandInModule plain("");
  EXPECT_EQ(mainJP(), 0);
  EXPECT_TRUE(plain.Has("begin version=19 twoWay=0"));
  EXPECT_NE(plain.Find("callback getServerData rc=0 text=<?xml"), "");
  EXPECT_TRUE(plain.Has("callback getFontList rc=0"));
  EXPECT_EQ(plain.Find("callback getTonerInfo"), "");
}

TEST_F(BridgeTest, TheHostLocaleIsRestored) {
  ASSERT_NE(std::setlocale(LC_ALL, "C.UTF-8"), nullptr);
  StandInModule module("");
  EXPECT_EQ(mainJP(), 0);
  EXPECT_STREQ(std::setlocale(LC_ALL, nullptr), "C.UTF-8");
  UnloadJPModule();
  SetJPModulePath("/nonexistent.so");
  EXPECT_EQ(mainJP(), 2);
  EXPECT_STREQ(std::setlocale(LC_ALL, nullptr), "C.UTF-8");
  std::setlocale(LC_ALL, "C");
}

TEST_F(BridgeTest, CheckRemoteIsBounded) {
  SpoolerWaits::SetTimeScale(0.001);
  SetRemoteLookup([] { return false; });
  EXPECT_FALSE(CheckRemote(true));
  NoteHelperLoading();
  EXPECT_FALSE(CheckRemote(false));
  int asked = 0;
  SetRemoteLookup([&asked] { return ++asked == 3; });
  EXPECT_TRUE(CheckRemote(true));
  EXPECT_EQ(asked, 3);
  SetRemoteLookup(nullptr);
  SpoolerWaits::ResetTimeScale();
}

}  // namespace
}  // namespace quill::testing
