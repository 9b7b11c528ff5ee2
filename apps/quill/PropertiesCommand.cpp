// quill properties QUEUE|PPD [--module PATH] [--data FILE] [--json]: the full job-properties step
// run headless. It loads the two-way data (for a queue: fresh from the filter; for a PPD file: the
// data file given with --data, else none), opens the job-properties module (the stand-in of this
// build unless --module or QUILL_JP_MODULE names another), and prints what flowed back: the
// module's result, each returned setting and what became of it, the watermarks, and the keys the
// device management locks and hides.
#include <nlohmann/json.hpp>

#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "Commands.h"
#include "LoadedPPD.h"
#include "TargetPPD.h"
#include "PPDX/PPDObjects/Controls/PPDXControl.h"
#include "PPDX/PPDObjects/PPDXControls.h"
#include "connection/KRTMeridiaPrinterPList.h"
#include "panel/PDEData.h"
#include "panel/SpoolerChannel.h"
#include "panel/UI_Panel.h"
#include "platform/Bundle.h"
#include "platform/PrintSettings.h"
#include "server/CFileHdlr.h"
#include "server/JPModule.h"

namespace quill::cli {
namespace {

struct PropertiesOptions {
  std::string target;
  std::string module;
  std::string data;
  bool json = false;
};

std::string ReadDataFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw UsageError{"cannot read the two-way data file " + path};
  std::string text;
  for (std::string line; !CFileHdlr::safeGetline_(in, line).eof();) text += line + "\n";
  return text;
}

int RunProperties(const PropertiesOptions& options) {
  try {
    if (!options.module.empty()) SetJPModulePath(options.module);
#ifdef QUILL_STANDIN_MODULE
    SetJPDefaultModulePath(QUILL_STANDIN_MODULE);
#endif
    TargetPPD target(options.target);
    LoadedPPD loaded(target.path(), kParseOrphans | kParseHidden);
    KRTPPD& ppd = loaded.ppd();
    PrintSettings settings;
    PDEData data(&ppd, target.queue());
    data.SetPrintSettings(&settings);
    data.SetBundle(&Bundle::Main());
    UI_Panel bridge(&data);

    std::string note;
    UI_Panel::LaunchOutcome outcome;
    const bool isQueue = target.queue() == options.target && !std::filesystem::is_regular_file(options.target);
    if (isQueue && options.data.empty()) {
      SpoolerChannel channel;
      channel.SetQueueName(target.queue());
      channel.SetSessionPPDPath(data.CopyPath());
      KRTMeridiaPrinterPList preferences;
      // The stored address only when two-way data is switched on for the queue; otherwise the
      // filter asks the queue's own device.
      if (preferences.getIPEnabled(target.queue())) channel.SetPrinterAddress(preferences.Find(target.queue()));
      channel.fillPDEInstallPath(target.path());
      channel.fillBidiFilePaths();
      std::string error;
      const bool fresh = channel.RefreshBidiData(&error) == SpoolerChannel::Refresh::kLoaded;
      if (!fresh) note = "no two-way data (" + error + "); the module runs without it";
      channel.SetBidiEnabled(fresh);
      channel.SetModuleBridge(&bridge);
      const SpoolerChannel::LaunchResult launch = channel.launchFullProperties();
      outcome.ran = launch.handedOver;
      outcome.message = launch.message;
      outcome.result = std::string(QUILL_SML_GET(bridge.Shared(), result));
    } else {
      const bool twoWay = !options.data.empty();
      if (twoWay) bridge.SetBidiData(ReadDataFile(options.data));
      bridge.SetTwoWay(twoWay, data.PrinterAddress());
      outcome = bridge.LaunchJobProperties(UI_Panel::kActionOpen);
      outcome.result = std::string(QUILL_SML_GET(bridge.Shared(), result));
    }
    UnloadJPModule();

    std::vector<std::string> locked;
    std::vector<std::string> hidden;
    data.fetchHiddenKeysFromDMTXML(hidden);
    CNTL_TYPE type = kBaseControl;
    for (PPDXControl* c = ppd.GetControls()->First(type); c != nullptr; c = ppd.GetControls()->Next(type)) {
      if (c->Keyword() != nullptr && data.dmtLocks(c->Keyword())) locked.emplace_back(c->Keyword());
    }
    const KRTWatermarkList& marks = data.Watermarks();

    if (options.json) {
      nlohmann::json out;
      out["target"] = options.target;
      out["module"] = JPModulePath();
      out["ran"] = outcome.ran;
      out["result"] = outcome.result;
      out["message"] = outcome.message;
      if (!note.empty()) out["note"] = note;
      nlohmann::json applied = nlohmann::json::array();
      for (const UI_Panel::AppliedSetting& a : bridge.LastApplied()) {
        applied.push_back({{"key", a.key}, {"value", a.value}, {"before", a.before}, {"outcome", a.outcome}});
      }
      out["settings"] = applied;
      nlohmann::json records = nlohmann::json::array();
      for (int i = 0; i < marks.Count(); ++i) records.push_back(marks.At(i)->RecordText());
      out["watermarks"] = {{"selected", marks.SelectedIndex()}, {"records", records}};
      out["locked"] = locked;
      out["hidden"] = hidden;
      std::printf("%s\n", out.dump(2).c_str());
    } else {
      std::printf("module: %s\nresult: %s (%s)\n", JPModulePath().c_str(), outcome.result.c_str(),
                  outcome.message.c_str());
      if (!note.empty()) std::printf("note: %s\n", note.c_str());
      for (const UI_Panel::AppliedSetting& a : bridge.LastApplied()) {
        // Only what changed the tree or the session, or was refused.
        if (a.outcome != "set" && a.outcome != "job note" && a.outcome != "table" &&
            a.outcome.rfind("refused", 0) != 0) {
          continue;
        }
        std::printf("%s=%s (%s%s)\n", a.key.c_str(), a.value.c_str(), a.outcome.c_str(),
                    a.before.empty() ? "" : (", was " + a.before).c_str());
      }
      for (int i = 0; i < marks.Count(); ++i) {
        std::printf("watermark %d%s: %s\n", i, i == marks.SelectedIndex() ? " (selected)" : "",
                    marks.At(i)->RecordText().c_str());
      }
      for (const std::string& key : locked) std::printf("locked: %s\n", key.c_str());
      for (const std::string& key : hidden) std::printf("hidden: %s\n", key.c_str());
    }
    if (!outcome.ran) {
      std::fprintf(stderr, "quill: %s\n", outcome.message.c_str());
      return kExitNotPPD;
    }
    return kExitOk;
  } catch (const UsageError& e) {
    std::fprintf(stderr, "quill: %s\n", e.message.c_str());
    return kExitUsageError;
  }
}

}  // namespace

void AddPropertiesCommand(CLI::App& app, int& status) {
  auto options = std::make_shared<PropertiesOptions>();
  CLI::App* cmd = app.add_subcommand(
      "properties", "Run the full job-properties step headless and show what the module returned");
  cmd->add_option("TARGET", options->target, "Queue name, or the path of a PPD file")->required();
  cmd->add_option("--module", options->module, "The job-properties module to load (a shared library)");
  cmd->add_option("--data", options->data, "A two-way data file to answer the module from");
  cmd->add_flag("--json", options->json, "Print JSON");
  cmd->callback([options, &status] { status = RunProperties(*options); });
}

}  // namespace quill::cli
