// Printer: one CUPS destination (a print queue), as far as the panel needs it: whether it exists,
// its device URI and state, its PPD, and command jobs for the spooler-side filter.
//
// Every call asks the CUPS server that libcups' defaults name (the CUPS_SERVER environment variable
// or cupsSetServer), so tests point it at a private cupsd. Nothing is cached: each call asks anew,
// except a device URI that the caller already had from the spooler and gave at construction.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quill {

class Printer {
 public:
  // IPP printer-state values.
  static constexpr int kStateIdle = 3;
  static constexpr int kStateProcessing = 4;
  static constexpr int kStateStopped = 5;
  // IPP job-state value of a completed job.
  static constexpr int kJobCompleted = 9;
  // Document format of a command job.
  static constexpr const char* kCommandFormat = "application/vnd.cups-command";
  // Job attribute of a command whose text is empty (cupsd takes no job without data, so such a
  // command carries one blank byte, which the filter then ignores).
  static constexpr const char* kEmptyCommandOption = "quill-empty-command";

  // `name` is a CUPS destination (queue) name; nothing is asked yet.
  explicit Printer(std::string name);
  // The same, with the queue's device URI as the caller just had it from the spooler (in the
  // options of cupsGetNamedDest): DeviceURI() gives it (unwrapped) without asking again.
  Printer(std::string name, std::string deviceURI);

  [[nodiscard]] const std::string& Name() const { return name_; }
  // True when the spooler knows the queue; false when it does not or cannot be reached.
  [[nodiscard]] bool Exists() const;
  // The queue's device-uri, without the quill backend in front (the URI of the backend that reaches
  // the printer); "" when unknown or unreachable.
  [[nodiscard]] std::string DeviceURI() const;
  // printer-state: 3 idle, 4 processing, 5 stopped; 0 when it cannot be asked.
  [[nodiscard]] int State() const;
  // printer-state-message; "" when none or unreachable.
  [[nodiscard]] std::string StateMessage() const;

  // Fetches the queue's PPD into a new private temporary file and returns its path; "" on failure
  // with a one-line reason in *error (when given). The caller removes the file.
  [[nodiscard]] std::string CopyPPD(std::string* error = nullptr) const;

  struct SendResult {
    int jobId = 0;       // > 0 on success
    std::string error;   // why it failed, one line
    explicit operator bool() const { return jobId > 0; }
  };
  // Submits `text` as one job of type application/vnd.cups-command titled `title` (the text is the
  // document; an empty text is still one job, see kEmptyCommandOption). One request, one round
  // trip. A refused job, an unknown queue or an unreachable spooler gives jobId 0 and the reason.
  [[nodiscard]] SendResult SendCommand(std::string_view text, std::string_view title) const;

  // IPP job-state of job `jobId` (3 pending .. 9 completed), asked directly (Get-Job-Attributes)
  // so that its cost does not grow with the queue's job history; 0 when unknown or unreachable,
  // with the reason in *error (when given).
  [[nodiscard]] int JobState(int jobId, std::string* error = nullptr) const;

 private:
  // The PPD through cupsGetPPD3 (classes, queues of other servers, authentication).
  [[nodiscard]] std::string FetchPPD(std::string* error) const;

  std::string name_;
  std::optional<std::string> deviceURI_;
};

}  // namespace quill
