// CommandDispatch: the command half of the filter. A command job's title names the command, its
// document carries the command's text; one handler per command, found in a table by title (some
// titles carry an identifier after the command name).
//
//   Command_LocaleCode          remembers the server language code for the queue
//   Command_UpdateCommands      asks the print server and writes the two-way data file; when it
//                               cannot be reached, the connection-error file and the block
//                               KRInvalidPrinterAddress = "yes"
//   Command_DeleteUpdateFiles   deletes the named files inside the cache folder
//   Command_PSTempFileName      remembers the ticket path for the user's next Command_WritePSTemp
//   Command_WritePSTemp         writes the ticket there
//   Command_PSKRDestination     creates and remembers the mailbox folder
//   Command_PRINTERLOCALPRESETS block KRLocalJPPresets
//   Command_WritePresetData...  block KRlocalPreset
//   Command_KRTPrefs...         block KRDriverPreference (as UTF-32 text)
//   command_PopupJnData         block KRPopupJnData
//
// File names a command carries are confined to the cache folder (SpoolerFiles::ConfineToCache).
// What the filter remembers between jobs lives in "<cache>/.quill-cqf/<queue>/".
#pragma once

#include <string>
#include <string_view>

#include "FilterJob.h"

namespace quill::cqf {

// The longest command text the filter takes: a data block's limit.
inline constexpr size_t kMaxCommandText = 16777216;

enum class CommandStatus { kDone, kRefused };

// Runs the command job: reads its text, handles it, reports on standard error. 0 when done, 1
// when refused (after an "ERROR:" line).
int RunCommandJob(const FilterJob& job);

// Handles command `job.title` with `text`; the reason of a refusal in *error.
CommandStatus HandleCommand(const FilterJob& job, std::string_view text, std::string* error);

// Reads at most kMaxCommandText bytes of the job's text (its file, else standard input); false
// when it cannot be read or is longer.
bool ReadCommandText(const FilterJob& job, std::string* text, std::string* error);

// The fields of a Command_UpdateCommands text: identifier, address and the rest (the PPD path and
// the caller's info), split at the first two "::DELIMIT::".
struct UpdateRequest {
  std::string identifier;
  std::string address;
  std::string rest;
};
[[nodiscard]] UpdateRequest ParseUpdateRequest(std::string_view text);
// True for an identifier that may name a file: 1 to 128 letters, digits, "-" and "_".
[[nodiscard]] bool IsSafeIdentifier(std::string_view identifier);

}  // namespace quill::cqf
