// LockedPPDFile: a queue's PPD opened for rewriting in place under an exclusive lock.
//
// Writers of data blocks rewrite the file in place, so that it keeps its owner and mode (the
// spooler's PPD folder does not let the filter create files), and hold the lock from their read to
// their write, so that a second writer waits and then reads the first one's result.
#pragma once

#include <string>
#include <string_view>

namespace quill {

class LockedPPDFile {
 public:
  // Opens `path` for reading and writing and waits for its exclusive lock; ok() is false when
  // either fails (errno kept).
  explicit LockedPPDFile(const char* path);
  // Closes the file, which releases the lock (errno kept).
  ~LockedPPDFile();
  LockedPPDFile(const LockedPPDFile&) = delete;
  LockedPPDFile& operator=(const LockedPPDFile&) = delete;

  [[nodiscard]] bool ok() const { return fd_ >= 0; }
  [[nodiscard]] int fd() const { return fd_; }

  // The whole text of the file; false on a read error (errno kept).
  bool Read(std::string& out) const;
  // Replaces the whole text of the file by `text`; false on a write error (errno kept).
  bool Replace(std::string_view text) const;

 private:
  int fd_ = -1;
};

}  // namespace quill
