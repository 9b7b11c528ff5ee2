#include "ppddata/PPDDataBlockUpdate.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>

// The PPD functions of libcups are marked deprecated; they are the reader the panel uses.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <cups/ppd.h>

#include "ppddata/PPDDataBlock.h"
#include "ppddata/PPDDataBlockWriter.h"

namespace {

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) {
      int saved = errno;
      ::close(fd_);  // releases the lock too
      errno = saved;
    }
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  [[nodiscard]] int get() const { return fd_; }

 private:
  int fd_;
};

bool ReadWhole(int fd, std::string& out) {
  out.clear();
  char buffer[65536];
  for (off_t offset = 0;;) {
    ssize_t got = ::pread(fd, buffer, sizeof buffer, offset);
    if (got < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (got == 0) return true;
    out.append(buffer, static_cast<std::size_t>(got));
    offset += got;
  }
}

bool WriteWhole(int fd, std::string_view text) {
  for (std::size_t done = 0; done < text.size();) {
    ssize_t put = ::pwrite(fd, text.data() + done, text.size() - done, static_cast<off_t>(done));
    if (put < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<std::size_t>(put);
  }
  return ::ftruncate(fd, static_cast<off_t>(text.size())) == 0;
}

// The block's data as libcups reads the locked file (through a second descriptor of the same open
// file, so the lock stays held when libcups closes it).
std::string CurrentData(int fd, const char* name) {
  int copy = ::dup(fd);
  if (copy < 0) return {};
  ppd_file_t* ppd = ppdOpenFd(copy);  // closes `copy`
  if (ppd == nullptr) return {};
  std::size_t size = 0;
  std::unique_ptr<char, decltype(&std::free)> data(ppdxReadData(ppd, name, &size), &std::free);
  ppdClose(ppd);
  if (data == nullptr) return {};
  return std::string(data.get(), size);
}

}  // namespace

int ppdxUpdateData(const char* ppdPath, const char* name,
                   const std::function<std::optional<std::string>(std::string_view current)>& update) {
  if (ppdPath == nullptr || *ppdPath == '\0' || name == nullptr || !update ||
      !quill::IsValidDataBlockName(name)) {
    errno = EINVAL;
    return -1;
  }
  Descriptor fd(::open(ppdPath, O_RDWR | O_CLOEXEC));
  if (fd.get() < 0) return -2;
  while (::flock(fd.get(), LOCK_EX) != 0) {
    if (errno != EINTR) return -2;
  }
  std::optional<std::string> data = update(CurrentData(fd.get(), name));
  if (!data) return 0;
  if (data->size() > quill::kMaxDataBlockSize) {
    errno = EFBIG;
    return -1;
  }
  std::optional<std::string> block = quill::BuildDataBlockLines(name, data->data(), data->size());
  if (!block) {
    errno = EINVAL;
    return -1;
  }
  std::string text;
  if (!ReadWhole(fd.get(), text)) return -2;
  if (!WriteWhole(fd.get(), quill::ReplaceDataBlockLines(text, name, *block))) return -2;
  return 0;
}

#pragma GCC diagnostic pop
