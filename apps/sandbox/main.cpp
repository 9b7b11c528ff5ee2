// quill-sandbox: starts a private CUPS server and a stand-in Quill print server on loopback, runs
// one command with the environment pointed at them, and stops both again, whatever the command's
// outcome. The machine's own CUPS is never touched.
//
//   quill-sandbox COMMAND [ARG...]
//
// The command sees CUPS_SERVER, QUILL_ROOT and the settings below, and its exit status becomes
// the sandbox's own:
//   QUILL_SANDBOX_PRINT_URI  the print server's device URI, for `quill queue add --uri`
//   QUILL_SANDBOX_RECEIVED   the folder where the print server keeps every document it received
//   QUILL_SANDBOX_BIDI_DIR   the folder of the two-way data files the filter writes
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <vector>

#include "support/CupsServer.h"

namespace {

int RunCommand(char** argv) {
  const pid_t pid = fork();
  if (pid < 0) {
    std::perror("quill-sandbox: fork");
    return 2;
  }
  if (pid == 0) {
    execvp(argv[0], argv);
    std::fprintf(stderr, "quill-sandbox: cannot run %s\n", argv[0]);
    _exit(127);
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
  }
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  return 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: quill-sandbox COMMAND [ARG...]\n");
    return 2;
  }
  try {
    quill::testing::CupsServer server;
    setenv("QUILL_SANDBOX_PRINT_URI", server.PrintServerURI().c_str(), 1);
    setenv("QUILL_SANDBOX_RECEIVED", server.ReceivedJobsDir().c_str(), 1);
    setenv("QUILL_SANDBOX_BIDI_DIR", server.BidiDir().c_str(), 1);
    return RunCommand(argv + 1);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "quill-sandbox: %s\n", e.what());
    return 2;
  }
}
