// quill (backend): the backend of queues whose device URI is "quill:" followed by the URI of the
// backend that reaches the print server, as `quill queue add` makes them.
//
//   quill job-id user title copies options [file]
//
// A command job (CONTENT_TYPE application/vnd.cups-command) has been handled by the queue's filter,
// which sends nothing on: the backend reads its input to the end and, when it is empty, ends the job
// at once. Every other job, and a command job with data, goes to the inner backend unchanged: this
// process becomes that backend (same arguments, input and signals), with DEVICE_URI and argv[0]
// naming the inner URI. Run without arguments (device discovery) it lists nothing: its queues are
// made with their server's address.
//
// Exit codes are CUPS' backend codes. It uses no libcups, so that a command job costs a start of a
// small program rather than the network backend's.
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/BackendURI.h"

namespace {

// CUPS' backend exit codes.
constexpr int kBackendOk = 0;
constexpr int kBackendFailed = 1;
constexpr int kBackendStop = 4;

constexpr const char* kCommandType = "application/vnd.cups-command";
constexpr const char* kDefaultServerBin = "/usr/lib/cups";

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

// Reads `fd` to its end into an anonymous memory file, rewound: `*copy` is -1 when nothing came.
// False on an error.
bool Drain(int fd, int* copy) {
  *copy = -1;
  char buffer[65536];
  for (;;) {
    const ssize_t n = read(fd, buffer, sizeof(buffer));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) break;
    if (*copy < 0) *copy = memfd_create("quill-command", MFD_CLOEXEC);
    if (*copy < 0) return false;
    for (ssize_t done = 0; done < n;) {
      const ssize_t w = write(*copy, buffer + done, static_cast<size_t>(n - done));
      if (w < 0 && errno == EINTR) continue;
      if (w < 0) return false;
      done += w;
    }
  }
  return *copy < 0 || lseek(*copy, 0, SEEK_SET) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 1) return kBackendOk;  // discovery: nothing to list
  if (argc < 6 || argc > 7) {
    std::fprintf(stderr, "Usage: %s job-id user title copies options [file]\n", argv[0]);
    return kBackendFailed;
  }

  // DEVICE_URI carries the credentials that argv[0] has without.
  std::string uri = Env("DEVICE_URI");
  if (uri.empty()) uri = argv[0];
  const std::string_view inner = quill::backend_uri::Inner(uri);
  const std::string_view scheme = quill::backend_uri::Scheme(inner);
  if (!quill::backend_uri::IsWrapped(uri) || !quill::backend_uri::IsWrappableScheme(scheme)) {
    std::fprintf(stderr,
                 "ERROR: the quill backend needs a device URI of the form quill:ipp://server/path "
                 "(ipp, ipps, http, https or socket inside)\n");
    return kBackendStop;
  }

  if (Env("CONTENT_TYPE") == kCommandType) {
    const int in = argc == 7 ? open(argv[6], O_RDONLY | O_CLOEXEC) : STDIN_FILENO;
    int copy = -1;
    if (in < 0 || !Drain(in, &copy)) {
      std::fprintf(stderr, "ERROR: cannot read the command job: %s\n", std::strerror(errno));
      return kBackendFailed;
    }
    if (copy < 0) return kBackendOk;
    // Data for the inner backend: it reads the copy as its input (a named file stays named).
    if (argc == 6 && dup2(copy, STDIN_FILENO) < 0) {
      std::fprintf(stderr, "ERROR: cannot pass the command job on: %s\n", std::strerror(errno));
      return kBackendFailed;
    }
  }

  std::string program = Env("CUPS_SERVERBIN");
  if (program.empty()) program = kDefaultServerBin;
  program += "/backend/" + std::string(scheme);
  const std::string inner_uri(inner);
  const std::string shown(quill::backend_uri::Inner(argv[0]));
  if (setenv("DEVICE_URI", inner_uri.c_str(), 1) != 0) {
    std::fprintf(stderr, "ERROR: cannot set DEVICE_URI: %s\n", std::strerror(errno));
    return kBackendFailed;
  }
  std::vector<char*> args(argv, argv + argc + 1);
  args[0] = const_cast<char*>(shown.c_str());
  execv(program.c_str(), args.data());
  std::fprintf(stderr, "ERROR: cannot run the %s backend (%s): %s\n", std::string(scheme).c_str(),
               program.c_str(), std::strerror(errno));
  return kBackendStop;
}
