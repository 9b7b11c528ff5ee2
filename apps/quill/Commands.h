// The quill command's subcommands. Each registers itself on the application and runs when chosen.
#pragma once

#include <CLI/CLI.hpp>

namespace quill::cli {

// Exit statuses shared by every subcommand.
inline constexpr int kExitOk = 0;
inline constexpr int kExitNotPPD = 1;      // the file is not a PPD (or fails the check asked for)
inline constexpr int kExitUsageError = 2;  // missing file, bad argument

void AddHeaderCommand(CLI::App& app, int& status);
// tree, check and lint.
void AddPPDCommands(CLI::App& app, int& status);
// queue add and queue remove.
void AddQueueCommands(CLI::App& app, int& status);
// server-data, blocks and address (exit 1 means no such data).
void AddSpoolerCommands(CLI::App& app, int& status);
// ticket: the job ticket printing would hand to the filter.
void AddTicketCommand(CLI::App& app, int& status);
// settings: the values carried to the next print of a queue.
void AddSettingsCommand(CLI::App& app, int& status);
// properties: the full job-properties step with a module, headless (exit 1: the module did not run).
void AddPropertiesCommand(CLI::App& app, int& status);
// print: the print dialog on the command line, in the habits of lp.
void AddPrintCommand(CLI::App& app, int& status);

}  // namespace quill::cli
