// QueueAdmin: sets up and removes print queues for a Quill server through CUPS' administration
// interface (CUPS-Add-Modify-Printer, CUPS-Delete-Printer), as an administrator would with the
// spooler's own tools, and prepares what the spooler-side filter needs:
//   - the queue's PPD routes command jobs (application/vnd.cups-command) and, when it names no
//     filter of its own, PostScript print jobs through the filter (`*cupsFilter2` lines are added
//     to a copy of the PPD when it lacks them);
//   - the PPD that cupsd keeps for the queue is writable by the group lp (root:lp, mode 0660),
//     because the filter, which runs as lp, stores data blocks in it;
//   - the cache folder and the folder of the panel bundle that the PPD names (both under the
//     configurable root) exist and belong to lp;
//   - a network device (ipp, ipps, http, https, socket) is put behind the quill backend
//     ("quill:ipp://..."), which ends command jobs without starting the network backend, when the
//     spooler has that backend installed; otherwise the queue keeps the URI as given.
// Everything is asked of the CUPS server that libcups' defaults name; the PPD folder is found
// under CUPS_SERVERROOT (default /etc/cups), so the queue must be set up on the spooler's host.
#pragma once

#include <string>
#include <string_view>

namespace quill {

class QueueAdmin {
 public:
  // Document format of command jobs and of PostScript after CUPS' own filters.
  static constexpr const char* kCommandType = "application/vnd.cups-command";

  struct Result {
    bool ok = false;
    bool unreachable = false;  // the spooler could not be reached
    std::string error;         // why it failed, one line
    explicit operator bool() const { return ok; }
  };

  // Installs (or modifies) queue `name` with the PPD file `ppdPath` and device `deviceURI`,
  // enabled and accepting jobs; `filterPath` is the filter program the added lines name.
  // Fails for a bad name, an unreadable or non-PPD file, an empty URI or filter path, a refusal of
  // the spooler, or when the kept PPD cannot be made writable for lp.
  [[nodiscard]] static Result Add(const std::string& name, const std::string& ppdPath,
                                  const std::string& deviceURI, const std::string& filterPath);
  // Deletes queue `name`. Fails for an unknown queue or a refusal of the spooler.
  [[nodiscard]] static Result Remove(const std::string& name);

  // True for a name CUPS accepts for a queue: 1 to 127 printable characters without blanks,
  // "/", "#", "\\", "'", "\"" or ",".
  [[nodiscard]] static bool IsValidQueueName(std::string_view name);

  // `ppdText` with the filter lines added that it lacks:
  //   *cupsFilter2: "application/vnd.cups-command application/vnd.cups-command 0 <filter>"
  // and, when the PPD names no filter at all, the print route
  //   *cupsFilter2: "application/vnd.cups-postscript application/postscript 0 <filter>"
  // A PPD with old-style `*cupsFilter` lines gets the command route in that form instead (CUPS
  // ignores old-style lines once a `*cupsFilter2` line is present). A PPD that already routes
  // command jobs is returned unchanged. The lines go after the "*PPD-Adobe" line.
  [[nodiscard]] static std::string AddFilterLines(std::string_view ppdText,
                                                  std::string_view filterPath);

  // The PPD file that cupsd keeps for queue `name`: "<CUPS_SERVERROOT or /etc/cups>/ppd/<name>.ppd".
  [[nodiscard]] static std::string KeptPPDPath(const std::string& name);
};

}  // namespace quill
