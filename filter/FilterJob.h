// FilterJob: what cupsd tells a filter about the job it runs for (its arguments and environment),
// and the few conventions of talking back to cupsd.
#pragma once

#include <cstdio>
#include <optional>
#include <string>

namespace quill::cqf {

// The job option that marks a command's text as empty (the text then comes as one blank byte).
inline constexpr char kEmptyCommandOption[] = "quill-empty-command";

struct FilterJob {
  std::string jobId;        // argv[1]
  std::string user;         // argv[2]
  std::string title;        // argv[3]: the command name for command jobs
  std::string options;      // argv[5]
  std::string file;         // argv[6], "" when the job comes on standard input
  std::string ppdPath;      // $PPD: the queue's PPD that cupsd keeps
  std::string queue;        // $PRINTER
  std::string deviceURI;    // $DEVICE_URI
  std::string contentType;  // $CONTENT_TYPE

  // Takes the job from the filter's arguments (6 or 7 of them) and environment; nullopt for a
  // wrong number of arguments.
  static std::optional<FilterJob> FromProcess(int argc, char** argv);
  [[nodiscard]] bool IsCommand() const;
  // True when the job's options mark the command's text as empty (kEmptyCommandOption).
  [[nodiscard]] bool EmptyCommand() const;
};

// One message for cupsd: "<LEVEL>: <text>\n" on standard error (ERROR, WARNING, INFO, DEBUG).
void Message(const char* level, const char* format, ...) __attribute__((format(printf, 2, 3)));

}  // namespace quill::cqf
