// quill settings: the values a user carries from one print to the next for a queue (option values,
// the tables outside the PPD options, the quick-access list, the watermark selection), as the
// panel's session restores them; --set changes options, --save stores them for the queue.
#include <nlohmann/json.hpp>

#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Commands.h"
#include "LoadedPPD.h"
#include "TargetPPD.h"
#include "PPDX/PPDObjects/Controls/PPDXControl.h"
#include "PPDX/PPDObjects/Controls/PPDXJobNote.h"
#include "PPDX/PPDObjects/PPDXControls.h"
#include "panel/PDEData.h"
#include "panel/PPDTree.h"
#include "panel/SessionText.h"
#include "panel/SpoolerChannel.h"
#include "panel/UI_Panel.h"
#include "platform/Bundle.h"
#include "platform/PrintSession.h"
#include "platform/PrintSettings.h"
#include "platform/Printer.h"

namespace quill::cli {
namespace {

struct SettingsOptions {
  std::string target;
  std::vector<std::string> sets;
  bool save = false;
  bool json = false;
};

// Every control in tree order with the value stored for it; password job notes are never stored.
std::vector<std::pair<std::string, std::string>> OptionValues(KRTPPD& ppd) {
  std::vector<std::pair<std::string, std::string>> values;
  CNTL_TYPE type = kBaseControl;
  for (PPDXControl* c = ppd.GetControls()->First(type); c != nullptr;
       c = ppd.GetControls()->Next(type)) {
    if (c->Keyword() == nullptr || type == kSpecialOptionControl) continue;
    if (type == kJobNoteControl && static_cast<PPDXJobNote*>(c)->IsPassword()) continue;
    if (auto value = c->CopyPresetValueString()) values.emplace_back(c->Keyword(), *value);
  }
  return values;
}

nlohmann::json TableJson(const KeyValueTable& table) {
  nlohmann::json pairs = nlohmann::json::array();
  for (int32_t i = 0; i < table.Count(); ++i) {
    const KeyValueTable::Pair* p = table.At(static_cast<std::size_t>(i));
    pairs.push_back({NarrowToUTF8(p->key, 1u << 20), NarrowToUTF8(p->value, 1u << 20)});
  }
  return pairs;
}

int RunSettings(const SettingsOptions& options) {
  try {
    TargetPPD target(options.target);
    LoadedPPD loaded(target.path(), kParseOrphans | kParseHidden);
    KRTPPD& ppd = loaded.ppd();

    PrintSettings settings;
    std::string error;
    if (settings.Load(target.queue(), &error) == PrintSettings::LoadResult::kUnreadable) {
      throw UsageError{"saved settings unreadable: " + error};
    }
    PDEData data(&ppd, target.queue());
    data.SetPrintSettings(&settings);
    data.SetBundle(&Bundle::Main());
    data.GetWatermarksFromPreferences();
    data.Watermarks().AddDefaults(
        [](const std::string& key) { return Bundle::Main().LocalizedString(key); });

    // Saved option values first, then the tables and the watermark selection.
    std::map<std::string, std::string> saved;
    for (const auto& [keyword, value] : OptionValues(ppd)) {
      if (auto stored = settings.GetString(keyword)) saved[keyword] = *stored;
    }
    ppd.SetAllValues(saved);
    data.RestoreNonPSSettings();
    PPDTree tree;
    UI_Panel(&data).PopulatePPDTreeStructure(tree);

    for (const std::string& set : options.sets) {
      const auto [key, value] = SplitAssignment(set);
      if (!PrintSettings::IsAcceptableText(value)) {
        throw UsageError{"value for " + key + " holds a control character or is not UTF-8"};
      }
      loaded.Set(set);
    }

    for (const auto& [keyword, value] : OptionValues(ppd)) settings.SetString(keyword, value);
    data.SaveNonPSSettings();

    if (options.save && !settings.Save(target.queue(), &error)) {
      throw UsageError{"cannot save the settings: " + error};
    }

    if (options.json) {
      nlohmann::json out;
      out["queue"] = target.queue();
      out["ppd"] = options.target;
      nlohmann::json values = nlohmann::json::object();
      for (const auto& [keyword, value] : OptionValues(ppd)) values[keyword] = value;
      out["options"] = values;
      out["tables"] = {{"mixedMedia", TableJson(data.MixedMedia())},
                       {"padCover", TableJson(data.PadCover())},
                       {"coverPage", TableJson(data.CoverPage())},
                       {"slipSheet", TableJson(data.SlipSheet())},
                       {"paperCatalog", TableJson(data.PaperCatalog())}};
      nlohmann::json quick = nlohmann::json::array();
      for (const PPDTreeShortcut& s : tree.shortcuts) quick.push_back(s.keyword);
      out["quickAccess"] = quick;
      const KRTWatermark* selected = data.Watermarks().Selected();
      out["watermark"] = {{"selected", data.Watermarks().SelectedIndex()},
                          {"count", data.Watermarks().Count()},
                          {"firstPageOnly", selected != nullptr && selected->FirstPageOnly()},
                          {"text", selected != nullptr ? selected->Text() : ""}};
      out["saved"] = options.save;
      std::printf("%s\n", out.dump(2).c_str());
    } else {
      for (const std::string& key : settings.Keys()) {
        if (auto text = settings.GetString(key)) {
          std::printf("%s=%s\n", key.c_str(), text->c_str());
        } else if (auto number = settings.GetInteger(key)) {
          std::printf("%s=%lld\n", key.c_str(), static_cast<long long>(*number));
        }
      }
      std::printf("quick-access:");
      for (const PPDTreeShortcut& s : tree.shortcuts) std::printf(" %s", s.keyword.c_str());
      std::printf("\n");
    }
    return kExitOk;
  } catch (const UsageError& e) {
    std::fprintf(stderr, "quill: %s\n", e.message.c_str());
    return kExitUsageError;
  }
}

}  // namespace

void AddSettingsCommand(CLI::App& app, int& status) {
  auto options = std::make_shared<SettingsOptions>();
  CLI::App* cmd = app.add_subcommand(
      "settings", "The values a user carries to the next print of a queue (or a PPD file)");
  cmd->add_option("TARGET", options->target, "Queue name, or the path of a PPD file")->required();
  cmd->add_option("--set", options->sets,
                  "Set KEY=VALUE; KEY with or without its leading * (repeatable)")
      ->allow_extra_args(false);
  cmd->add_flag("--save", options->save, "Store the values for the queue");
  cmd->add_flag("--json", options->json, "Print JSON");
  cmd->callback([options, &status] { status = RunSettings(*options); });
}

}  // namespace quill::cli
