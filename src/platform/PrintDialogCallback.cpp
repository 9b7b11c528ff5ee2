#include "platform/PrintDialogCallback.h"

namespace quill {

PrintDialogCallback::PrintDialogCallback(std::string queue, std::string ppdPath, bool online)
    : queue_(std::move(queue)), ppdPath_(std::move(ppdPath)) {
  if (online) printer_.emplace(queue_);
}

void PrintDialogCallback::MakeCurrent() const {
  PrintSession::Current().SetCurrentPrinter(printer_);
}

std::string PrintDialogCallback::DeviceURI() const {
  if (deviceURI_) return *deviceURI_;
  return printer_ ? printer_->DeviceURI() : std::string();
}

}  // namespace quill
