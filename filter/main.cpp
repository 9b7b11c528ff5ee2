// quill-cqf: the spooler-side filter of Quill queues.
//
//   quill-cqf job-id user title copies options [file]
//
// cupsd runs it (as the lp user) for the jobs that the queue's PPD routes to it with *cupsFilter2
// lines: command jobs (application/vnd.cups-command, the command's name in the title) go to the
// command half, everything else to the print half. Exit status 0 lets the job complete; a refused
// command ends with an "ERROR:" line and status 1.
#include <cstdio>

#include "CommandDispatch.h"
#include "FilterJob.h"
#include "PrintJob.h"

int main(int argc, char** argv) {
  const auto job = quill::cqf::FilterJob::FromProcess(argc, argv);
  if (!job) {
    std::fprintf(stderr, "Usage: %s job-id user title copies options [file]\n",
                 argc > 0 ? argv[0] : "quill-cqf");
    return 1;
  }
  return job->IsCommand() ? quill::cqf::RunCommandJob(*job) : quill::cqf::RunPrintJob(*job);
}
