#include "FilterJob.h"

#include <cups/cups.h>

#include <cstdarg>
#include <cstdlib>
#include <cstring>

#include "platform/BackendURI.h"

namespace quill::cqf {
namespace {

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

}  // namespace

std::optional<FilterJob> FilterJob::FromProcess(int argc, char** argv) {
  if (argc < 6 || argc > 7) return std::nullopt;
  FilterJob job;
  job.jobId = argv[1];
  job.user = argv[2];
  job.title = argv[3];
  job.options = argv[5];
  if (argc == 7) job.file = argv[6];
  job.ppdPath = Env("PPD");
  job.queue = Env("PRINTER");
  // The address of the print server, also when the quill backend stands in front of its backend.
  job.deviceURI = std::string(backend_uri::Inner(Env("DEVICE_URI")));
  job.contentType = Env("CONTENT_TYPE");
  return job;
}

bool FilterJob::IsCommand() const { return contentType == "application/vnd.cups-command"; }

bool FilterJob::EmptyCommand() const {
  // Most commands carry text: without the option's name anywhere in the options the answer is
  // known without parsing them, and a command job then needs nothing of libcups (which the filter
  // loads on first use).
  if (options.find(kEmptyCommandOption) == std::string::npos) return false;
  cups_option_t* parsed = nullptr;
  const int count = cupsParseOptions(options.c_str(), 0, &parsed);
  const char* value = cupsGetOption(kEmptyCommandOption, count, parsed);
  const bool empty = value != nullptr && (std::strcmp(value, "true") == 0 || std::strcmp(value, "1") == 0 ||
                                          value[0] == '\0');
  cupsFreeOptions(count, parsed);
  return empty;
}

void Message(const char* level, const char* format, ...) {
  char text[2048];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof(text), format, args);
  va_end(args);
  // One line per message: cupsd reads standard error line by line.
  for (char* c = text; *c != '\0'; ++c) {
    if (*c == '\n' || *c == '\r') *c = ' ';
  }
  std::fprintf(stderr, "%s: %s\n", level, text);
  std::fflush(stderr);
}

}  // namespace quill::cqf
