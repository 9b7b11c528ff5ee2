#include "ppddata/LockedPPDFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace quill {

LockedPPDFile::LockedPPDFile(const char* path) {
  fd_ = ::open(path, O_RDWR | O_CLOEXEC);
  if (fd_ < 0) return;
  while (::flock(fd_, LOCK_EX) != 0) {
    if (errno == EINTR) continue;
    const int saved = errno;
    ::close(fd_);
    fd_ = -1;
    errno = saved;
    return;
  }
}

LockedPPDFile::~LockedPPDFile() {
  if (fd_ < 0) return;
  const int saved = errno;
  ::close(fd_);
  errno = saved;
}

bool LockedPPDFile::Read(std::string& out) const {
  struct stat info {};
  if (::fstat(fd_, &info) != 0) return false;
  out.clear();
  out.reserve(static_cast<std::size_t>(info.st_size));
  char buffer[65536];
  for (off_t offset = 0;;) {
    const ssize_t got = ::pread(fd_, buffer, sizeof buffer, offset);
    if (got < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (got == 0) return true;
    out.append(buffer, static_cast<std::size_t>(got));
    offset += got;
  }
}

bool LockedPPDFile::Replace(std::string_view text) const {
  for (std::size_t done = 0; done < text.size();) {
    const ssize_t put =
        ::pwrite(fd_, text.data() + done, text.size() - done, static_cast<off_t>(done));
    if (put < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<std::size_t>(put);
  }
  return ::ftruncate(fd_, static_cast<off_t>(text.size())) == 0;
}

}  // namespace quill
