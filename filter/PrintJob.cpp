#include "PrintJob.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>

#include "TicketFile.h"

namespace quill::cqf {
namespace {

// Output with a small buffer: inserted pieces are gathered, long stretches of the job are written
// straight from the read buffer.
class FdWriter {
 public:
  explicit FdWriter(int fd) : fd_(fd), buffer_(new char[kSize]) {}

  bool Write(std::string_view data) {
    if (failed_) return false;
    if (data.size() >= kSize / 2) return Flush() && WriteAll(data);
    if (used_ + data.size() > kSize && !Flush()) return false;
    std::memcpy(buffer_.get() + used_, data.data(), data.size());
    used_ += data.size();
    return true;
  }
  bool Flush() {
    if (used_ == 0) return !failed_;
    const bool ok = WriteAll(std::string_view(buffer_.get(), used_));
    used_ = 0;
    return ok;
  }
  [[nodiscard]] int Error() const { return errno_; }

 private:
  static constexpr size_t kSize = 64 * 1024;

  bool WriteAll(std::string_view data) {
    while (!data.empty()) {
      const ssize_t put = write(fd_, data.data(), data.size());
      if (put < 0 && errno == EINTR) continue;
      if (put <= 0) {
        errno_ = put < 0 ? errno : EIO;
        failed_ = true;
        return false;
      }
      data.remove_prefix(static_cast<size_t>(put));
    }
    return true;
  }

  int fd_;
  std::unique_ptr<char[]> buffer_;
  size_t used_ = 0;
  bool failed_ = false;
  int errno_ = 0;
};

}  // namespace

bool StreamJob(int in, int out, const std::vector<KRTJobTicket::Piece>* pieces, std::string* error) {
  FdWriter writer(out);
  std::optional<TicketInjector> injector;
  if (pieces != nullptr) {
    injector = TicketInjector::Create(
        *pieces, [&writer](std::string_view data) { return writer.Write(data); }, error);
    if (!injector) return false;
  }
  // Page-aligned: reading from the page cache into the unaligned block malloc gave for a larger
  // buffer was several times slower than cat (measured with bench/filter_stream.py).
  struct Free {
    void operator()(char* p) const { std::free(p); }
  };
  const std::unique_ptr<char, Free> buffer(static_cast<char*>(std::aligned_alloc(4096, kPrintReadSize)));
  if (!buffer) {
    *error = "Unable to allocate the read buffer";
    return false;
  }
  bool ok = true;
  for (;;) {
    const ssize_t got = read(in, buffer.get(), kPrintReadSize);
    if (got == 0) break;
    if (got < 0) {
      if (errno == EINTR) continue;
      *error = std::string("Unable to read the print data: ") + std::strerror(errno);
      return false;
    }
    const std::string_view data(buffer.get(), static_cast<size_t>(got));
    ok = injector ? injector->Feed(data) : writer.Write(data);
    if (!ok) break;
  }
  if (ok && injector) injector->Finish();
  if (!writer.Flush()) {
    *error = std::string("Unable to write the print data: ") + std::strerror(writer.Error());
    return false;
  }
  return true;
}

int RunPrintJob(const FilterJob& job) {
  // The ticket first: it leaves the panel's path once read, whatever becomes of the job.
  TicketLookup ticket = LoadJobTicket(job.options, job.jobId);
  if (ticket.status == TicketLookup::Status::kRefused) {
    Message("ERROR", "%s", ticket.error.c_str());
    return 1;
  }
  int in = 0;
  if (!job.file.empty()) {
    in = open(job.file.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) {
      Message("ERROR", "Unable to open the print file: %s", std::strerror(errno));
      return 1;
    }
  }
  const bool loaded = ticket.status == TicketLookup::Status::kLoaded;
  if (loaded) {
    Message("DEBUG", "Putting %zu pieces of the job ticket %s into the job", ticket.pieces.size(),
            ticket.path.c_str());
  }
  std::string error;
  const bool ok = StreamJob(in, 1, loaded ? &ticket.pieces : nullptr, &error);
  if (in != 0) close(in);
  if (!ok) {
    Message("ERROR", "%s", error.c_str());
    return 1;
  }
  return 0;
}

}  // namespace quill::cqf
