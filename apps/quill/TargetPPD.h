// TargetPPD: the PPD a command works on, named by its TARGET argument: a PPD file itself, or a
// private copy of the named queue's PPD fetched from the spooler (removed when this goes), with
// the queue made the print session's current printer.
#pragma once

#include <filesystem>
#include <string>
#include <system_error>

#include "LoadedPPD.h"
#include "panel/SpoolerChannel.h"
#include "platform/PrintSession.h"
#include "platform/Printer.h"

namespace quill::cli {

class TargetPPD {
 public:
  explicit TargetPPD(const std::string& target) {
    std::error_code ec;
    if (std::filesystem::is_regular_file(target, ec)) {
      path_ = target;
      SpoolerChannel::getQueuePPDName(target, queue_);
      return;
    }
    Printer printer(target);
    if (!printer.Exists()) throw UsageError{"no PPD file or queue named " + target};
    std::string error;
    path_ = printer.CopyPPD(&error);
    if (path_.empty()) throw UsageError{"cannot fetch the PPD of " + target + ": " + error};
    copied_ = true;
    queue_ = target;
    PrintSession::Current().SetCurrentPrinter(printer);
  }
  ~TargetPPD() {
    if (copied_) {
      std::error_code ec;
      std::filesystem::remove(path_, ec);
    }
  }
  TargetPPD(const TargetPPD&) = delete;
  TargetPPD& operator=(const TargetPPD&) = delete;

  [[nodiscard]] const std::string& path() const { return path_; }
  [[nodiscard]] const std::string& queue() const { return queue_; }

 private:
  std::string path_;
  std::string queue_;
  bool copied_ = false;
};

}  // namespace quill::cli
