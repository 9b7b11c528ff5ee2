// SpoolerCommands: the command jobs the panel sends to the spooler-side filter, the files the
// filter answers with under the cache folder, and the wait for a command job to complete.
//
// A command is one job of type application/vnd.cups-command on the queue, titled with the command
// name (sometimes followed by a fresh identifier), whose document is the command's text. Fields
// inside a text are joined by kCommandDelimiter.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quill {

class Printer;

// Command titles.
inline constexpr char kCommandLocaleCode[] = "Command_LocaleCode";
inline constexpr char kCommandUpdateCommands[] = "Command_UpdateCommands";
inline constexpr char kCommandDeleteUpdateFiles[] = "Command_DeleteUpdateFiles";
inline constexpr char kCommandPrinterLocalPresets[] = "Command_PRINTERLOCALPRESETS";
inline constexpr char kCommandWritePresetData[] = "Command_WritePresetData";  // + identifier
inline constexpr char kCommandPSTempFileName[] = "Command_PSTempFileName";
inline constexpr char kCommandWritePSTemp[] = "Command_WritePSTemp";
inline constexpr char kCommandPSKRDestination[] = "Command_PSKRDestination";
inline constexpr char kCommandKRTPrefs[] = "Command_KRTPrefs";  // + identifier
inline constexpr char kCommandPopupJnData[] = "command_PopupJnData";

// Separator of the fields of a command text.
inline constexpr char kCommandDelimiter[] = "::DELIMIT::";

// The folder of the filter's answer files, as the system names it (resolved under Paths' root).
inline constexpr char kCacheFolder[] = "/Library/Caches/KRT/";
// Written by the filter when it cannot reach the print server; %s is the request's identifier.
inline constexpr char kConnectionErrorFileFormat[] = "ConnectionErrorInfoFile%s.txt";
// When present, waits for an answer file never time out.
inline constexpr char kTimeoutOverrideFile[] = "krt_timeout_override.txt";

// A fresh identifier: a random (version 4) UUID in upper-case hex, "8-4-4-4-12".
[[nodiscard]] std::string NewCommandIdentifier();

// The cache folder under the root, with a trailing slash.
[[nodiscard]] std::string CacheFolder();

// True when `name` can name a file directly inside the cache folder: not empty, no '/', no NUL or
// other control character, and neither "." nor "..".
[[nodiscard]] bool IsCacheFileName(std::string_view name);

// The full path of a file a command names, confined to the cache folder: a plain file name is
// taken inside the folder; an absolute path is accepted only when it lies directly in the folder
// (as the system names it, or resolved under the root). Nothing for anything else: "../", other
// folders, NUL bytes.
[[nodiscard]] std::optional<std::string> ConfinedCachePath(std::string_view nameOrPath);

// The connection-error file of request `identifier`; nothing when the identifier cannot be part
// of a file name (see IsCacheFileName).
[[nodiscard]] std::optional<std::string> ConnectionErrorFilePath(std::string_view identifier);

// The polling waits of the spooler channel keep their limits (number of checks and sleeps); one
// test-only setting scales every sleep by the same factor so that a test of a time-out runs
// quickly. The factor comes from SetTimeScale, else from the environment variable
// QUILL_TEST_WAIT_SCALE (a positive number), else 1.
class SpoolerWaits {
 public:
  static constexpr const char* kScaleVariable = "QUILL_TEST_WAIT_SCALE";
  [[nodiscard]] static double TimeScale();
  static void SetTimeScale(double scale);
  // Forgets a factor set by SetTimeScale.
  static void ResetTimeScale();
  // Sleeps `milliseconds` times the factor.
  static void Sleep(double milliseconds);
};

}  // namespace quill

// Waits for command job `jobId` (titled `title`) on `printer` to reach the completed state: up to
// 360 rounds 100 ms apart, asking the job's state directly (so the cost does not depend on the
// queue's job history). Diagnostics go to standard error ("isJobComple: ..."). A job that is
// stopped (the filter refused it), cancelled or aborted ends the wait at once. On completion the
// queue's PPD is fetched anew and made the current PPD path (so that blocks the filter just
// stored are read), the copy fetched before it by this function is removed, and the function
// sleeps 700 ms. False when `jobId` is not positive, the job did not complete in the rounds, or
// it ended otherwise.
bool isJobComple(const quill::Printer& printer, int jobId, const char* title);
