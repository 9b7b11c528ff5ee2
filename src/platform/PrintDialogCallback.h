// PrintDialogCallback: what the print dialog hands its panel: the print session, the print
// settings and page format of this print, the chosen printer (queue) and what the dialog knows
// about it: the location of its PPD, its device URI, its make and model and its paper list.
//
// A front end fills one per dialog and keeps it alive as long as the panel controller. Values the
// dialog has not been given are asked of the spooler on use (device URI); for a dialog without a
// printer (tests, a PPD opened from a file) nothing is asked.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/BackendURI.h"
#include "platform/PageFormat.h"
#include "platform/PrintSession.h"
#include "platform/PrintSettings.h"
#include "platform/Printer.h"

namespace quill {

class PrintDialogCallback {
 public:
  // A dialog for queue `queue` whose PPD is the file `ppdPath` (any name: a fetched copy need
  // not end in ".ppd"). With `online` the queue is a spooler destination: it becomes the print
  // session's current printer when the panel refreshes, so commands and jobs go to it; without,
  // nothing is sent to any spooler.
  PrintDialogCallback(std::string queue, std::string ppdPath, bool online);

  // The queue's name, as the dialog names the printer.
  [[nodiscard]] const std::string& PrinterName() const { return queue_; }
  // The printer when online; null otherwise.
  [[nodiscard]] const Printer* CurrentPrinter() const { return printer_ ? &*printer_ : nullptr; }
  // The print session the panel works in (the process's session).
  [[nodiscard]] PrintSession* Session() const { return &PrintSession::Current(); }
  // Makes this dialog's printer the session's current printer (none when offline).
  void MakeCurrent() const;

  [[nodiscard]] PrintSettings& Settings() { return settings_; }
  [[nodiscard]] PageFormat& Format() { return format_; }

  // The location of the queue's PPD ("PMPPDDescriptionType").
  [[nodiscard]] const std::string& PPDPath() const { return ppdPath_; }

  // The device URI without the quill backend in front: the one set, else the spooler's answer when
  // online, else "".
  [[nodiscard]] std::string DeviceURI() const;
  void SetDeviceURI(std::string_view uri) { deviceURI_ = std::string(backend_uri::Inner(uri)); }
  // The host name the dialog shows for the printer ("" when unknown).
  [[nodiscard]] const std::string& HostName() const { return hostName_; }
  void SetHostName(std::string host) { hostName_ = std::move(host); }
  // The printer's make and model ("" when unknown).
  [[nodiscard]] const std::string& MakeAndModel() const { return makeAndModel_; }
  void SetMakeAndModel(std::string text) { makeAndModel_ = std::move(text); }
  // The PPD names of the printer's papers.
  [[nodiscard]] const std::vector<std::string>& PaperNames() const { return paperNames_; }
  void SetPaperNames(std::vector<std::string> names) { paperNames_ = std::move(names); }
  // Whether the printer has presets of its own (none unless set).
  [[nodiscard]] bool HasPresets() const { return hasPresets_; }
  void SetHasPresets(bool has) { hasPresets_ = has; }

 private:
  std::string queue_;
  std::string ppdPath_;
  std::optional<Printer> printer_;
  PrintSettings settings_;
  PageFormat format_;
  std::optional<std::string> deviceURI_;
  std::string hostName_;
  std::string makeAndModel_;
  std::vector<std::string> paperNames_;
  bool hasPresets_ = false;
};

}  // namespace quill
