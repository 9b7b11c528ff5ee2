// quill: inspect a queue's PPD and its job features from the command line.
#include <CLI/CLI.hpp>
#include <cstring>

#include "Commands.h"

namespace {

using AddCommands = void (*)(CLI::App&, int&);

// The subcommands each registration adds, by the name a user types first.
struct CommandGroup {
  const char* name;
  AddCommands add;
};
constexpr CommandGroup kCommandGroups[] = {
    {"header", quill::cli::AddHeaderCommand},     {"tree", quill::cli::AddPPDCommands},
    {"check", quill::cli::AddPPDCommands},        {"lint", quill::cli::AddPPDCommands},
    {"queue", quill::cli::AddQueueCommands},      {"server-data", quill::cli::AddSpoolerCommands},
    {"blocks", quill::cli::AddSpoolerCommands},   {"address", quill::cli::AddSpoolerCommands},
    {"ticket", quill::cli::AddTicketCommand},     {"settings", quill::cli::AddSettingsCommand},
    {"properties", quill::cli::AddPropertiesCommand}, {"print", quill::cli::AddPrintCommand},
};

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"quill: job features of Quill print queues"};
  app.require_subcommand(1);
  int status = quill::cli::kExitOk;
  // Only the chosen command's options are built when the first argument names one (building every
  // command's options costs a short command such as lint a tenth of its start); anything else
  // (--help, no command, a mistyped one) gets them all, so that help and errors list every one.
  AddCommands chosen = nullptr;
  for (const CommandGroup& group : kCommandGroups) {
    if (argc > 1 && std::strcmp(argv[1], group.name) == 0) chosen = group.add;
  }
  if (chosen != nullptr) {
    chosen(app, status);
  } else {
    quill::cli::AddHeaderCommand(app, status);
    quill::cli::AddPPDCommands(app, status);
    quill::cli::AddQueueCommands(app, status);
    quill::cli::AddSpoolerCommands(app, status);
    quill::cli::AddTicketCommand(app, status);
    quill::cli::AddSettingsCommand(app, status);
    quill::cli::AddPropertiesCommand(app, status);
    quill::cli::AddPrintCommand(app, status);
  }
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int rc = app.exit(e);
    return rc == 0 ? 0 : quill::cli::kExitUsageError;
  }
  return status;
}
