// quill: inspect a queue's PPD and its job features from the command line.
#include <CLI/CLI.hpp>

#include "Commands.h"

int main(int argc, char** argv) {
  CLI::App app{"quill: job features of Quill print queues"};
  app.require_subcommand(1);
  int status = quill::cli::kExitOk;
  quill::cli::AddHeaderCommand(app, status);
  quill::cli::AddPPDCommands(app, status);
  quill::cli::AddQueueCommands(app, status);
  quill::cli::AddSpoolerCommands(app, status);
  quill::cli::AddTicketCommand(app, status);
  quill::cli::AddSettingsCommand(app, status);
  quill::cli::AddPropertiesCommand(app, status);
  quill::cli::AddPrintCommand(app, status);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int rc = app.exit(e);
    return rc == 0 ? 0 : quill::cli::kExitUsageError;
  }
  return status;
}
