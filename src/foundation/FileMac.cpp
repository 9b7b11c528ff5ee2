#include "foundation/FileMac.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

OSErr from_errno(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR: return fnfErr;
    case EACCES:
    case EPERM:
    case EROFS: return permErr;
    case EEXIST: return dupFNErr;
    case EINVAL: return paramErr;
    default: return ioErr;
  }
}

}  // namespace

FileMac::FileMac(std::string path) : path_(std::move(path)) {}

FileMac::~FileMac() { closeDataFork(); }

OSErr FileMac::getFileInfo() {
  struct stat st;
  return ::stat(path_.c_str(), &st) == 0 ? noErr : from_errno(errno);
}

OSErr FileMac::getFileName(char* name) {
  if (name == nullptr) return paramErr;
  const size_t slash = path_.find_last_of('/');
  std::string base = slash == std::string::npos ? path_ : path_.substr(slash + 1);
  if (base.size() > 255) base.resize(255);
  std::memcpy(name, base.c_str(), base.size() + 1);
  return noErr;
}

bool FileMac::exists() { return getFileInfo() == noErr; }

OSErr FileMac::openDataFork(char permission) {
  if (fd_ >= 0) return opWrErr;
  int flags = O_RDONLY;
  if (permission == fsWrPerm) flags = O_WRONLY;
  if (permission == fsRdWrPerm) flags = O_RDWR;
  fd_ = ::open(path_.c_str(), flags | O_CLOEXEC);
  return fd_ >= 0 ? noErr : from_errno(errno);
}

OSErr FileMac::closeDataFork() {
  if (fd_ < 0) return fnOpnErr;
  const int rc = ::close(fd_);
  fd_ = -1;
  return rc == 0 ? noErr : ioErr;
}

OSErr FileMac::createDataFork() {
  const int fd = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) return from_errno(errno);
  ::close(fd);
  return noErr;
}

int FileMac::getDataForkRefNum() { return fd_ >= 0 ? fd_ : 0; }

bool FileMac::dataForkOpen() { return fd_ >= 0; }

OSErr FileMac::dataForkWrite(char* data, unsigned long count) {
  if (fd_ < 0) return fnOpnErr;
  while (count > 0) {
    const ssize_t n = ::write(fd_, data, count);
    if (n < 0) {
      if (errno == EINTR) continue;
      return from_errno(errno);
    }
    data += n;
    count -= static_cast<unsigned long>(n);
  }
  return noErr;
}

OSErr FileMac::dataForkRead(char* data, unsigned long* count) {
  if (fd_ < 0) return fnOpnErr;
  if (count == nullptr || data == nullptr) return paramErr;
  unsigned long wanted = *count, got = 0;
  while (got < wanted) {
    const ssize_t n = ::read(fd_, data + got, wanted - got);
    if (n < 0) {
      if (errno == EINTR) continue;
      *count = got;
      return from_errno(errno);
    }
    if (n == 0) break;
    got += static_cast<unsigned long>(n);
  }
  *count = got;
  return got < wanted ? eofErr : noErr;
}

OSErr FileMac::dataForkReadWithOffset(char* data, unsigned long* count, long long offset) {
  if (fd_ < 0) return fnOpnErr;
  if (offset < 0) return posErr;
  if (::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) < 0) return posErr;
  return dataForkRead(data, count);
}
