// SpoolerChannel: the panel's side of its talk with the spooler-side filter, held by the panel
// controller: the command jobs it sends, the waits for the filter's answer files and for a busy
// printer, the two-way error alert, and the two-way data file that it loads for the
// job-properties module.
//
// Commands go to the current printer of the print session. Every wait polls with fixed sleeps and
// limits (see each method); SpoolerWaits' test-only time scale shortens the sleeps alike.
#pragma once

#include <string>
#include <string_view>

class UI_Panel;

namespace quill {

class SpoolerChannel {
 public:
  // Answers of WaitForFileToBeCreated.
  static constexpr int kFileCreated = 1;
  static constexpr int kNoFile = 0;  // connection-error file, time-out or bad identifier

  // Choices recorded by the two-way error alert and the busy-printer check.
  static constexpr int kChoiceCancel = 0;
  static constexpr int kChoiceContinueWithoutBidi = 1;
  static constexpr int kChoicePrinterBusy = 2;

  // Actions the job-properties module is launched with.
  static constexpr int kActionOpen = 1;
  static constexpr int kActionInvalidAddress = 4;

  // What the full-properties launch came to.
  struct LaunchResult {
    int action = 0;             // kActionOpen or kActionInvalidAddress
    bool handedOver = false;    // the module bridge ran the module's window
    std::string message;        // why it stopped
  };

  // Name of the queue (used for the two-way file names), the panel's working copy of the queue's
  // PPD, the printer address and the two-way switch as the session data holds them.
  void SetQueueName(std::string name) { queueName_ = std::move(name); }
  [[nodiscard]] const std::string& QueueName() const { return queueName_; }
  void SetSessionPPDPath(std::string path) { sessionPPDPath_ = std::move(path); }
  void SetPrinterAddress(std::string address) { printerAddress_ = std::move(address); }
  [[nodiscard]] const std::string& PrinterAddress() const { return printerAddress_; }
  void SetBidiEnabled(bool on) { bidiEnabled_ = on; }
  [[nodiscard]] bool BidiEnabled() const { return bidiEnabled_; }

  // The queue name of a PPD file path: its last component with every ".ppd" removed. False (and
  // `name` the component unchanged) when there was no ".ppd".
  static bool getQueuePPDName(std::string_view ppdPath, std::string& name);

  // --- commands ---------------------------------------------------------------------------

  // The identifier of the current launch of the full job-properties window (process-wide; made
  // anew by launchFullProperties, or on first use).
  static const std::string& RequestIdentifier();
  static void NewRequestIdentifier();

  // Sends `command` (normally "Command_UpdateCommands") with the text: request identifier,
  // "::DELIMIT::", printer address, "::DELIMIT::", session PPD path, then `info`. False, with the
  // reason in *error, when there is no current printer, the send failed, or the address or path
  // holds "::DELIMIT::" (the filter would read the fields wrongly) or a line break.
  bool sendUpdateCommandToCQFWithCommand(std::string_view command, std::string_view info,
                                         std::string* error = nullptr);
  // Sends "Command_DeleteUpdateFiles" with `text`, names of update files separated by
  // "::DELIMIT::" or line feeds. Every name must lie in the cache folder ("../", other folders and
  // NUL bytes are refused and nothing is sent). False with the reason otherwise.
  bool deleteFileCommandToCQF(std::string_view text, std::string* error = nullptr);

  // --- waits ------------------------------------------------------------------------------

  // Waits for `path` to become readable or the connection-error file of `identifier` to appear,
  // checking every 300 ms. kFileCreated when the file came and no error file exists; kNoFile on
  // the error file, after 35 s, or for an identifier that cannot name a file. With the
  // "krt_timeout_override.txt" file in the cache folder there is no time limit (the checks still
  // sleep). A time-out without the override file shows the two-way error alert.
  int WaitForFileToBeCreated(std::string_view identifier, std::string_view path);

  // The two-way error alert; records kChoiceContinueWithoutBidi for the default button, else
  // kChoiceCancel.
  void showBiDiError();
  // 0 when the current printer is idle or becomes idle; 1 when it is stopped or unknown, or stays
  // busy: a busy printer with no state message is asked every 100 ms for up to 18 s; otherwise
  // kChoicePrinterBusy is recorded and the two-way error alert shown (which records the user's
  // answer over it).
  int isPrinterBusyWithPrinting();
  [[nodiscard]] int printerInBusyState_ContinueBiDiOFF() const { return choice_; }

  // --- two-way data file ------------------------------------------------------------------

  // The folder holding the panel bundle that the PPD at `ppdPath` names in "*APDialogExtension",
  // resolved under the root, with "/" appended; empty when the keyword is missing or empty or the
  // folder does not exist. Kept as the session's folder.
  void fillPDEInstallPath(const std::string& ppdPath);
  void SetPDEInstallPath(std::string folder) { sessionPDEPath_ = std::move(folder); }
  [[nodiscard]] const std::string& PDEInstallPath() const { return sessionPDEPath_; }
  // Folder + queue name + ".bididata", ".open" and ".bonjour".
  void fillBidiFilePaths();
  [[nodiscard]] const std::string& BidiDataFilePath() const { return bididataFilePath_; }
  [[nodiscard]] const std::string& BidiMarkerFilePath() const { return bididataFileOPath_; }
  [[nodiscard]] const std::string& BonjourIPFilePath() const { return bonjourIPFilePath_; }

  // Waits for the data file (every 50 ms, 501 checks), then while the marker file shows a write
  // (61 checks, then goes on), opens it (41 attempts) and loads every line, each followed by a
  // line feed. False when the file never came or could not be opened; the loaded text keeps its
  // former contents then.
  bool readBidiData();
  // A copy of the loaded text.
  [[nodiscard]] std::string getBidiDataCopy() const { return fdata_; }

  // Asks the filter for fresh two-way data and loads it: sends the update command, then waits
  // (as WaitForFileToBeCreated does, with its limits) until the data file is replaced or the
  // request's connection-error file appears, and loads it with readBidiData. The connection-error
  // file of the request is removed once seen.
  enum class Refresh { kLoaded, kConnectionError, kTimedOut, kSendFailed, kNotLoaded };
  Refresh RefreshBidiData(std::string* error = nullptr);

  // --- the full job-properties window -----------------------------------------------------

  // Builds the file names, loads the data file and prepares the launch; with no data the module
  // is to open for an invalid address. The launch then goes on into the module through the
  // bridge set with SetModuleBridge (handedOver tells whether its window ran, message what came
  // of it); without a bridge it stops there, saying so.
  LaunchResult launchFullProperties();
  // The job-properties bridge the launch hands over to (not owned; null for none).
  void SetModuleBridge(UI_Panel* bridge) { bridge_ = bridge; }
  // The address of the previous launch, and whether the server-preset keys were reset for a
  // changed address at the last launch.
  [[nodiscard]] static const std::string& PreviousLaunchAddress();
  [[nodiscard]] bool ServerPresetKeysReset() const { return serverPresetKeysReset_; }

 private:
  std::string queueName_;
  std::string sessionPPDPath_;
  std::string printerAddress_;
  bool bidiEnabled_ = false;
  int choice_ = kChoiceCancel;
  std::string sessionPDEPath_;
  std::string bididataFilePath_;
  std::string bididataFileOPath_;
  std::string bonjourIPFilePath_;
  std::string fdata_;
  bool serverPresetKeysReset_ = false;
  UI_Panel* bridge_ = nullptr;  // not owned
};

}  // namespace quill

// Waits for the two-way data file's marker file (folder + queue + ".open") to go away: true as
// soon as it does not exist, checked every 50 ms; false after 101 checks (about 5 s).
bool canBiDiDataFileBeAccessed(const std::string& markerPath);
