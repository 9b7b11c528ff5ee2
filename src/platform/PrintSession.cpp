#include "platform/PrintSession.h"

namespace quill {

PrintSession& PrintSession::Current() {
  static PrintSession session;
  return session;
}

void PrintSession::SetCurrentPrinter(std::optional<Printer> printer) { printer_ = std::move(printer); }

const Printer* PrintSession::CurrentPrinter() const { return printer_ ? &*printer_ : nullptr; }

void PrintSession::Reset() { Current().printer_.reset(); }

}  // namespace quill
