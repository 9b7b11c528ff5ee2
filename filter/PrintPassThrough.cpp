#include "PrintPassThrough.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace quill::cqf {

int RunPrintJob(const FilterJob& job) {
  int in = 0;
  if (!job.file.empty()) {
    in = open(job.file.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) {
      Message("ERROR", "Unable to open the print file: %s", std::strerror(errno));
      return 1;
    }
  }
  static char buffer[65536];
  int status = 0;
  for (;;) {
    const ssize_t got = read(in, buffer, sizeof(buffer));
    if (got == 0) break;
    if (got < 0) {
      if (errno == EINTR) continue;
      Message("ERROR", "Unable to read the print data: %s", std::strerror(errno));
      status = 1;
      break;
    }
    for (ssize_t done = 0; done < got;) {
      const ssize_t put = write(1, buffer + done, static_cast<size_t>(got - done));
      if (put < 0 && errno == EINTR) continue;
      if (put <= 0) {
        Message("ERROR", "Unable to write the print data: %s", std::strerror(errno));
        status = 1;
        break;
      }
      done += put;
    }
    if (status != 0) break;
  }
  if (in != 0) close(in);
  return status;
}

}  // namespace quill::cqf
