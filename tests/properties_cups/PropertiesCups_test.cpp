// The full job-properties step on the private CUPS server: the filter's "Command_UpdateCommands"
// asks the print server and writes the two-way data file; the panel loads it, opens the stand-in
// module, and every callback's answer is checked against what the print server and the queue's
// server profile hold; the module's changed option and watermark, and the device management's
// locked and hidden keys, arrive in the option tree and the session. quill properties does the
// same from the command line.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "PPDX/KRTPPD.h"
#include "PPDX/PPDObjects/Controls/PPDXControl.h"
#include "PPDX/PPDObjects/PPDXControls.h"
#include "bridge/BridgeTestSupport.h"
#include "foundation/ProcessGlobals.h"
#include "panel/PDEData.h"
#include "panel/SpoolerChannel.h"
#include "panel/UI_Panel.h"
#include "platform/PrintSession.h"
#include "platform/PrintSettings.h"
#include "server/CFileHdlr.h"
#include "spooler/SpoolerTestSupport.h"
#include "support/CupsServer.h"
#include <sys/wait.h>

#include <cstdio>

namespace quill::testing {
namespace {

namespace fs = std::filesystem;

constexpr const char* kQueue = "props";
constexpr const char* kProfile =
    "[ServerInfo]\nDiskAvailable=120000\nServerOS=QuillOS 3\n"
    "[ServerFeatureSupport]\nDuplexMode=no\nDuplex=yes\n"
    "[PresetsList]\n2\nOffice\nPhoto\n"
    "[PresetsData]\nOffice\nJPKeyValues=1\n*Duplex=DuplexNoTumble\nImposeKeyValues=0\nPresetKeyValues=1\nPresetName=Office\n"
    "[CDIHelpStrings]\n1\nChoose a tray\n"
    "[PpdDefaults]\n1\n*KRStaple\nTopLeft\n"
    "[ColorDefaultList]\n1\n*KRColorMode\nEMPTYSTRING\n"
    "[QueuePropList]\n1\nHoldQueue\nyes\n"
    "[ListLockedKeys]\n1\n*KRPunch\nTrue\n"
    "[DeviceLinkProfilesList]\n1\nCoated=FOGRA39\n"
    "[ServerValFrmDict]\nMaxCopies\n99999999999\n"
    "[ToneSmith]\ncurves on\n";

// The sample PPD with a device-management block that locks *Duplex and hides *KRStaple.
std::string SamplePPDWithDeviceManagement(const fs::path& dir) {
  const std::wstring xml =
      L"<Category name=\"UI-Modification\">\n<Lock>\n<KRTPPD key=\"Duplex\" value=\"True\"/>\n</Lock>\n"
      L"<Show>\n<KRTPPD key=\"KRStaple\" value=\"False\"/>\n</Show>\n</Category>\n";
  std::string records;
  CFileHdlr::fileWriteData("*DMT_Injection", xml.data(), xml.size() * sizeof(wchar_t), &records);
  std::string text = ReadFile(ExamplePath("QuillSample.ppd"));
  text.insert(text.find("*% End of PPD file"), "\n" + records + "\n");
  const fs::path path = dir / "QuillSampleDMT.ppd";
  std::ofstream(path) << text;
  return path.string();
}

class PropertiesCups : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    CupsServer& server = CupsServer::Shared();
    const fs::path profile = server.QuillRoot() / "etc/quill/profiles" / (std::string(kQueue) + ".conf");
    fs::create_directories(profile.parent_path());
    std::ofstream(profile) << kProfile;
    static TempDir dir;
    if (!Printer(kQueue).Exists()) {
      std::string error;
      ASSERT_TRUE(server.AddQueue(kQueue, SamplePPDWithDeviceManagement(dir.path()), &error)) << error;
    }
  }
  CupsServer& server_ = CupsServer::Shared();
};

TEST_F(PropertiesCups, TwoWayDataFlowsThroughTheModuleIntoTheTreeAndSession) {
  Printer printer(kQueue);
  const fs::path dataFile = server_.BidiDir() / (std::string(kQueue) + ".bididata");
  fs::remove(dataFile);
  const std::string text = "C0FFEE21::DELIMIT::" + server_.PrintServerURI() + "::DELIMIT::/tmp/session.ppd";
  ASSERT_EQ(RunCommand(printer, text, "Command_UpdateCommands"), Printer::kJobCompleted) << server_.ErrorLogTail();

  // The panel's load of the file the filter wrote.
  SpoolerChannel channel;
  channel.SetQueueName(kQueue);
  channel.SetPDEInstallPath(server_.BidiDir().string() + "/");
  channel.fillBidiFilePaths();
  ASSERT_TRUE(channel.readBidiData());

  const std::string ppdPath = printer.CopyPPD();
  ASSERT_FALSE(ppdPath.empty());
  ResetProcessGlobals();
  KRTPPD::Options(kDisplayOrphans | kDisplayHidden);
  {
    auto ppd = std::make_unique<KRTPPD>(ppdPath, 3);
    PDEData data(ppd.get(), kQueue);
    PrintSettings settings;
    data.SetPrintSettings(&settings);
    UI_Panel panel(&data);
    panel.SetTwoWay(true, "127.0.0.1");
    panel.SetBidiData(channel.getBidiDataCopy());
    SetJPModulePath(QUILL_STANDIN_MODULE);
    StandInModule module("dict MaxCopies\nset *Duplex=DuplexTumble\nset *KR_WATERMARK=1\n"
                         "watermark 0=0,0,0,0,0,255,0,1,0,300,0,0,60,Helvetica,FROM MODULE\n");
    const UI_Panel::LaunchOutcome outcome = panel.LaunchJobProperties(UI_Panel::kActionOpen);
    ASSERT_TRUE(outcome.ran) << outcome.message;
    EXPECT_EQ(outcome.result, "0");

    // Every callback's answer, as the module recorded it, against the print server and profile.
    EXPECT_TRUE(module.Has("begin version=19 twoWay=1"));
    EXPECT_NE(module.Find("callback getServerData rc=0 text=<?xml"), "");
    EXPECT_NE(module.Find("callback getServerData").find("server=\"" + server_.PrintServerURI().substr(0, server_.PrintServerURI().find('?')) + "\""), std::string::npos)
        << module.Find("callback getServerData");
    EXPECT_TRUE(module.Has("callback getTonerInfo rc=0 count=4"));
    for (int i = 0; i < 4; ++i) {
      EXPECT_NE(module.Find("  getTonerInfo " + std::string(CupsServer::kMarkerNames[i]) + "|" +
                            std::to_string(CupsServer::kMarkerLevels[i]) + "|100|" + CupsServer::kMarkerColors[i] + "|"),
                "")
          << i;
    }
    EXPECT_TRUE(module.Has("callback getTrayInfo rc=0 count=2"));
    EXPECT_NE(module.Find("  getTrayInfo Tray 1| " + std::string(CupsServer::kMediaReady[0]) + "| " +
                          CupsServer::kMediaTypes[0] + "|"),
              "");
    EXPECT_NE(module.Find("  getTrayInfo Tray 2|"), "");
    EXPECT_TRUE(module.Has("  getServerInfoAll ServerName=" + std::string(CupsServer::kServerName)));
    EXPECT_TRUE(module.Has("  getServerInfoAll ProductFamily=" + std::string(CupsServer::kServerModel)));
    EXPECT_TRUE(module.Has("  getServerInfoAll DiskAvailable=120000"));
    EXPECT_TRUE(module.Has("  getServerFeaturesAll Duplex=yes"));
    EXPECT_TRUE(module.Has("callback getServerPresetNamesList rc=0 count=2"));
    EXPECT_TRUE(module.Has("  getServerPresetNamesList Office"));
    EXPECT_TRUE(module.Has("  getServerPresetDataByName.job *Duplex=DuplexNoTumble"));
    EXPECT_TRUE(module.Has("  getServerPresetDataByName.preset PresetName=Office"));
    EXPECT_TRUE(module.Has("  getLoclHelpStrings Choose a tray"));
    EXPECT_TRUE(module.Has("  getPPDDefaults *KRStaple=TopLeft"));
    EXPECT_TRUE(module.Has("  getColorKeysFactoryDefaultValues *KRColorMode="));
    EXPECT_TRUE(module.Has("  getHoldQueueAttributes.props HoldQueue=yes"));
    EXPECT_TRUE(module.Has("  getHoldQueueAttributes.locked *KRPunch=True"));
    EXPECT_TRUE(module.Has("  getAllDeviceLinkProfiles Coated=FOGRA39"));
    EXPECT_TRUE(module.Has("callback getServerValueFromDict(MaxCopies) rc=0 text=9999999999"));
    EXPECT_TRUE(module.Has("callback updateToneSmithOptions rc=0 text=curves on"));
    EXPECT_TRUE(module.Has("callback getCalibration rc=4096"));
    EXPECT_TRUE(module.Has("callback getCalibrationEx rc=0"));

    // Locked and hidden keys reach the module and the session.
    EXPECT_TRUE(module.Has("readonly Duplex=True"));
    EXPECT_TRUE(module.Has("veiled KRStaple=False"));
    EXPECT_TRUE(data.dmtLocks("*Duplex"));
    EXPECT_TRUE(data.dmtHides("*KRStaple"));

    // The module's changed option and watermark are in the tree and the session.
    CNTL_TYPE type = kBaseControl;
    EXPECT_EQ(ppd->GetControls()->Find("*Duplex", type, true)->CopyCurrentControlValueString().value_or(""),
              "DuplexTumble");
    ASSERT_EQ(data.Watermarks().Count(), 1);
    EXPECT_EQ(data.Watermarks().At(0)->Text(), "FROM MODULE");
    EXPECT_EQ(data.Watermarks().SelectedIndex(), 0);
    EXPECT_TRUE(UnloadJPModule());
    EXPECT_TRUE(module.Has("dll-end live=0 foreign=0")) << module.Find("dll-end");
  }
  KRTPPD::Options(0);
  fs::remove(ppdPath);
}

TEST_F(PropertiesCups, TheCommandRunsTheStepOnTheQueue) {
  StandInModule module("set *Duplex=DuplexNoTumble\n");
  const std::string command = CupsServer::QuillPath() + " properties " + kQueue + " --json </dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string output;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, n);
  const int status = pclose(pipe);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << output;
  const nlohmann::json out = nlohmann::json::parse(output);
  EXPECT_EQ(out["result"], "0");
  EXPECT_EQ(out["locked"], nlohmann::json::array({"*Duplex"}));
  EXPECT_EQ(out["hidden"], nlohmann::json::array({"*KRStaple"}));
  bool duplexSet = false;
  for (const auto& s : out["settings"]) {
    if (s["key"] == "*Duplex") duplexSet = s["outcome"] == "set" && s["value"] == "DuplexNoTumble";
  }
  EXPECT_TRUE(duplexSet) << output;
  EXPECT_TRUE(module.Has("begin version=19 twoWay=1")) << output;
  EXPECT_TRUE(module.Has("callback getTonerInfo rc=0 count=4"));
}

}  // namespace
}  // namespace quill::testing
