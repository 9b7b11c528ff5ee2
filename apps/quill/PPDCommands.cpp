// quill tree / check / lint: the parsed option tree, constraint questions, and the parse errors.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "Commands.h"
#include "LoadedPPD.h"
#include "PPDJson.h"
#include "PPDX/PPDObjects/Controls/PPDXBooleanControl.h"
#include "PPDX/PPDObjects/Controls/PPDXPopupControl.h"
#include "PPDX/PPDObjects/PPDXControls.h"
#include "PPDX/PPDXErrors.h"

namespace quill::cli {
namespace {

// Standard output could not be written (the value of sysexits' EX_IOERR).
constexpr int kExitWriteError = 74;

struct PPDOptions {
  std::string path;
  unsigned parse_options = kParseOrphans | kParseHidden;
  std::vector<std::string> sets;
  std::vector<std::string> pairs;
  bool json = false;
  bool conflicts = false;
};

// Runs `body` with the loaded PPD, turning usage errors into exit status 2.
template <typename Body>
int WithPPD(const PPDOptions& options, Body body) {
  try {
    LoadedPPD loaded(options.path, options.parse_options);
    for (const auto& set : options.sets) loaded.Set(set);
    return body(loaded);
  } catch (const UsageError& error) {
    std::fprintf(stderr, "quill: %s\n", error.message.c_str());
    return kExitUsageError;
  }
}

void AddCommonOptions(CLI::App* cmd, PPDOptions& options, bool with_sets) {
  cmd->add_option("PPD", options.path, "PPD file")->required();
  if (with_sets) {
    cmd->add_option("--set", options.sets,
                    "Set KEY=VALUE before answering; KEY with or without its leading * "
                    "(repeatable)")
        ->allow_extra_args(false);
  }
  cmd->add_flag("--json", options.json, "Print JSON");
}

int RunTree(const PPDOptions& options) {
  return WithPPD(options, [&](LoadedPPD& loaded) {
    if (options.json) {
      // Written while walking the tree: a document of the large trees would cost more than the
      // parse. A failed write (a full disk) is not reported as success.
      if (!WriteTreeJson(loaded.ppd(), loaded.path(), stdout)) {
        std::fprintf(stderr, "quill: cannot write the tree to standard output\n");
        return kExitWriteError;
      }
    } else {
      std::fputs(TreeOutline(loaded.ppd(), loaded.path()).c_str(), stdout);
    }
    return kExitOk;
  });
}

struct Answer {
  std::string key;
  std::string option;
  bool constrained;
};

// Every option of every popup and boolean that is constrained under the current choices.
std::vector<Answer> Conflicts(KRTPPD& ppd) {
  std::vector<Answer> answers;
  PPDXControls* controls = ppd.GetControls();
  for (PPDXControl* c = controls->FirstPopupControl(); c != nullptr;
       c = controls->NextPopupControl()) {
    auto* popup = static_cast<PPDXPopupControl*>(c);
    std::vector<std::string> options;
    for (_PopupItem* item = popup->FirstItem(); item != nullptr; item = popup->NextItem()) {
      if (item->Keyword()) options.emplace_back(item->Keyword());
    }
    for (const auto& option : options) {
      if (ppd.IsKVConstrained(c->Keyword(), option.c_str())) {
        answers.push_back({c->Keyword(), option, true});
      }
    }
  }
  for (PPDXControl* c = controls->FirstBooleanControl(); c != nullptr;
       c = controls->NextBooleanControl()) {
    for (const char* option : {"True", "False"}) {
      if (ppd.IsKVConstrained(c->Keyword(), option)) answers.push_back({c->Keyword(), option, true});
    }
  }
  return answers;
}

int RunCheck(const PPDOptions& options) {
  return WithPPD(options, [&](LoadedPPD& loaded) {
    std::vector<Answer> answers;
    if (options.conflicts) {
      answers = Conflicts(loaded.ppd());
    } else {
      if (options.pairs.empty()) throw UsageError{"check needs KEY=OPTION pairs or --conflicts"};
      for (const auto& pair : options.pairs) {
        auto [key, option] = SplitAssignment(pair);
        const PPDXControl& control = loaded.Control(key);
        loaded.CheckValue(control, option);
        // The question names the control and the option as the PPD's constraints do.
        const std::string keyword = control.Keyword();
        const std::string named = control.OptionForValue(option);
        answers.push_back(
            {keyword, named, loaded.ppd().IsKVConstrained(keyword.c_str(), named.c_str())});
      }
    }
    if (options.json) {
      Json out = Json::array();
      for (const auto& a : answers) {
        out.push_back({{"key", a.key}, {"option", a.option}, {"constrained", a.constrained}});
      }
      PrintJson(out);
    } else {
      for (const auto& a : answers) {
        std::printf("%s=%s %s\n", a.key.c_str(), a.option.c_str(),
                    a.constrained ? "constrained" : "allowed");
      }
    }
    return kExitOk;
  });
}

int RunLint(const PPDOptions& options) {
  return WithPPD(options, [&](LoadedPPD& loaded) {
    KRTPPD& ppd = loaded.ppd();
    const bool valid = ppd.IsValidPPD();
    if (options.json) {
      PrintJson({{"file", loaded.path()}, {"valid_ppd", valid}, {"errors", ErrorsJson(ppd)}});
    } else {
      PPDXErrors* errors = ppd.GetErrors();
      // "FILE:LINE: NAME (CODE) KEYWORD", as compilers report; an error of the whole file (found
      // after reading it) has no line.
      for (size_t i = 0; errors != nullptr && i < errors->Count(); ++i) {
        PPDXErrorObj* e = errors->At(i);
        const char* name = PPDErrName(e->Code());
        const std::string where =
            e->Line() > 0 ? loaded.path() + ":" + std::to_string(e->Line()) : loaded.path();
        std::printf("%s: %s (%d)%s%s%s\n", where.c_str(), name ? name : "PPDErr_Unknown",
                    e->Code(), e->Keyword() ? " " : "", e->Keyword() ? e->Keyword() : "",
                    e->IsFatal() ? ", fatal" : "");
      }
      std::printf("%s: %s\n", loaded.path().c_str(),
                  valid ? "valid PPD" : "not a valid PPD");
    }
    return valid ? kExitOk : kExitNotPPD;
  });
}

}  // namespace

void AddPPDCommands(CLI::App& app, int& status) {
  auto tree = std::make_shared<PPDOptions>();
  CLI::App* tree_cmd = app.add_subcommand("tree", "Print the option tree of a PPD");
  AddCommonOptions(tree_cmd, *tree, true);
  tree_cmd->add_option("--parse-options", tree->parse_options,
                       "Parse options: 1 keep orphans, 2 keep hidden elements (default 3)")
      ->check(CLI::Range(0u, 3u));
  tree_cmd->callback([tree, &status] { status = RunTree(*tree); });

  auto check = std::make_shared<PPDOptions>();
  CLI::App* check_cmd =
      app.add_subcommand("check", "Ask whether options are constrained by the current choices");
  AddCommonOptions(check_cmd, *check, true);
  check_cmd->add_option("PAIRS", check->pairs,
                        "KEY=OPTION pairs to ask about (KEY with or without its leading *)");
  check_cmd->add_flag("--conflicts", check->conflicts,
                      "List every constrained option of every popup and boolean");
  check_cmd->callback([check, &status] { status = RunCheck(*check); });

  auto lint = std::make_shared<PPDOptions>();
  CLI::App* lint_cmd = app.add_subcommand("lint", "List the parse errors of a PPD");
  AddCommonOptions(lint_cmd, *lint, false);
  lint_cmd->callback([lint, &status] { status = RunLint(*lint); });
}

}  // namespace quill::cli
