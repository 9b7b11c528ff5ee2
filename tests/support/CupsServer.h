// CupsServer: a private CUPS server and a print server for the tests that need the real spooler.
//
// It starts, under one temporary folder and on free loopback ports,
//   - cupsd with its own server root, spool, log, cache and state folders, a domain socket and
//     `FileDevice Yes` (the machine's own CUPS is never touched), and
//   - ippeveprinter as the Quill print server: it accepts PostScript, PDF and octet-stream, keeps
//     every document it receives (ReceivedJobsDir), and reports the toners and trays below.
// The test process (and every child process, such as the quill command) is pointed at the private
// cupsd through CUPS_SERVER, CUPS_SERVERROOT and QUILL_ROOT. The filter reads QUILL_ROOT from
// cupsd's SetEnv. Folders the filter writes to (the cache folder, the two-way data folder) belong
// to the lp user, because cupsd runs filters as lp.
//
// ippeveprinter needs a system D-Bus and avahi-daemon; when they are not running they are started
// (and left running: other test programs may be using them). cupsd and ippeveprinter die with the
// test process, also when it crashes.
//
// QUILL_TEST_CUPSD_CONF, when set, holds extra lines for the end of cupsd.conf (they override the
// settings above); tests leave it unset.
//
// A test program normally shares one instance: CupsServer::Shared() starts it on first use and it
// is stopped when the program exits. Starting needs root (cupsd must switch to the lp user).
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

namespace quill::testing {

class CupsServer {
 public:
  // What the print server reports (marker-* and media-* attributes of its attributes file).
  static constexpr const char* kServerName = "Quill Test Server";       // printer-name
  static constexpr const char* kServerModel = "Quill Press 9000";       // printer-make-and-model
  static constexpr const char* kServerFirmware = "7.2.1";               // firmware string version
  static constexpr const char* kMarkerNames[] = {"Cyan Toner", "Magenta Toner", "Yellow Toner",
                                                 "Black Toner"};
  static constexpr int kMarkerLevels[] = {80, 10, 55, 3};
  static constexpr const char* kMarkerColors[] = {"#00FFFF", "#FF00FF", "#FFFF00", "#000000"};
  // media-ready, one per tray; media-col-ready gives the trays' sources and media types.
  static constexpr const char* kMediaReady[] = {"iso_a4_210x297mm", "na_letter_8.5x11in"};
  static constexpr const char* kMediaSources[] = {"tray-1", "tray-2"};
  static constexpr const char* kMediaTypes[] = {"stationery", "cardstock"};

  // Starts both servers. Throws std::runtime_error with the reason (a missing program, not root,
  // a server that does not come up, with the end of its log) when they cannot be started; what was
  // started is stopped again.
  CupsServer();
  // Stops both servers and removes the temporary folder.
  ~CupsServer();
  CupsServer(const CupsServer&) = delete;
  CupsServer& operator=(const CupsServer&) = delete;

  // The instance shared by the test program: started on the first call, stopped at exit. When it
  // cannot be started, every call throws std::runtime_error with the same reason.
  static CupsServer& Shared();

  // What CUPS_SERVER names: "127.0.0.1:<port>" (never "localhost", so that libcups fetches PPDs
  // over HTTP instead of linking files of a server root).
  [[nodiscard]] std::string CupsServerAddress() const;
  [[nodiscard]] int CupsPort() const { return cups_port_; }
  // cupsd's domain socket.
  [[nodiscard]] std::string CupsSocket() const;
  // The print server as the queues' device: "ipp://localhost:<port>/ipp/print" with the options
  // "snmp=false&waitjob=false" (no SNMP agent on loopback; a job completes in CUPS once the server
  // has it).
  [[nodiscard]] std::string PrintServerURI() const;
  // An IPP address on loopback where nothing listens (for tests of an unreachable server).
  [[nodiscard]] std::string UnreachableURI() const;
  // Every document the print server received, one file each.
  [[nodiscard]] std::filesystem::path ReceivedJobsDir() const;
  [[nodiscard]] std::vector<std::filesystem::path> ReceivedJobs() const;

  // The QUILL_ROOT of the test process, the quill command and the filter.
  [[nodiscard]] std::filesystem::path QuillRoot() const;
  // "/Library/Caches/KRT" under the root (owned by lp).
  [[nodiscard]] std::filesystem::path CacheDir() const;
  // The folder of the panel bundle that the sample PPD names, where the filter keeps the two-way
  // data files (owned by lp).
  [[nodiscard]] std::filesystem::path BidiDir() const;
  // cupsd's server root, and the PPD it keeps for queue `name`.
  [[nodiscard]] std::filesystem::path ServerRoot() const;
  [[nodiscard]] std::filesystem::path QueuePPDPath(const std::string& name) const;
  // The installed filter the queues use (a copy of the built one, readable by lp).
  [[nodiscard]] std::string FilterPath() const;
  // cupsd's ServerBin: the system's programs with the quill backend (a copy of the built one) among
  // the backends, at BackendPath(). Removing that copy leaves a spooler without the quill backend.
  [[nodiscard]] std::filesystem::path ServerBin() const;
  [[nodiscard]] std::filesystem::path BackendPath() const;
  // The built quill command.
  [[nodiscard]] static std::string QuillPath();

  // Adds queue `name` with the PPD at `ppdPath` and device `uri` (the print server when empty)
  // through `quill queue add`. False with quill's message (and the end of cupsd's log) in *error.
  bool AddQueue(const std::string& name, const std::string& ppdPath, std::string* error = nullptr,
                const std::string& uri = "");
  // Removes queue `name` through `quill queue remove`.
  bool RemoveQueue(const std::string& name, std::string* error = nullptr);

  // Stops and starts cupsd on the same port and folders (queues are kept). For tests of a spooler
  // that goes away during a wait.
  void StopCups();
  void StartCups();
  [[nodiscard]] bool CupsRunning() const { return cupsd_pid_ > 0; }
  // Stops and starts the print server on the same port.
  void StopPrintServer();
  void StartPrintServer();

  // The last `lines` lines of cupsd's error log (for failure messages).
  [[nodiscard]] std::string ErrorLogTail(int lines = 40) const;

 private:
  void WriteConfiguration();
  void MakeServerBin(const std::string& backend);
  void EnsureDnsSd();

  std::filesystem::path dir_;  // everything lives under this folder
  int cups_port_ = 0;
  int print_port_ = 0;
  int unused_port_ = 0;
  pid_t cupsd_pid_ = -1;
  pid_t printer_pid_ = -1;
  std::string filter_path_;
};

}  // namespace quill::testing
