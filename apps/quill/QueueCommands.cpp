// quill queue add NAME --ppd FILE --uri URI [--filter PATH]
// quill queue remove NAME
//
// Sets up (or removes) a print queue for a Quill server on this host's CUPS: the queue gets the
// vendor PPD with the lines that route command and print jobs through the spooler-side filter, is
// enabled and accepts jobs, and the filter can store its data (see QueueAdmin).
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "Commands.h"
#include "server/QueueAdmin.h"

#ifndef QUILL_DEFAULT_FILTER_PATH
#define QUILL_DEFAULT_FILTER_PATH "/usr/lib/cups/filter/quill-cqf"
#endif

namespace quill::cli {
namespace {

struct QueueOptions {
  std::string name;
  std::string ppd;
  std::string uri;
  std::string filter;
};

// The filter the added lines name: --filter, else $QUILL_FILTER_PATH, else the built one.
std::string FilterPath(const QueueOptions& options) {
  if (!options.filter.empty()) return options.filter;
  const char* from_env = std::getenv("QUILL_FILTER_PATH");
  return from_env != nullptr && *from_env != '\0' ? from_env : QUILL_DEFAULT_FILTER_PATH;
}

int Report(const QueueAdmin::Result& result) {
  if (result) return kExitOk;
  std::fprintf(stderr, "quill: %s\n", result.error.c_str());
  return kExitUsageError;
}

}  // namespace

void AddQueueCommands(CLI::App& app, int& status) {
  auto options = std::make_shared<QueueOptions>();
  CLI::App* queue = app.add_subcommand("queue", "Set up or remove a print queue for a Quill server");
  queue->require_subcommand(1);

  CLI::App* add = queue->add_subcommand("add", "Install a queue with a vendor PPD");
  add->add_option("NAME", options->name, "Queue name")->required();
  add->add_option("--ppd", options->ppd, "The vendor PPD file")->required();
  add->add_option("--uri", options->uri, "Device URI of the print server")->required();
  add->add_option("--filter", options->filter,
                  "Installed filter program (default: $QUILL_FILTER_PATH or " QUILL_DEFAULT_FILTER_PATH
                  ")");
  add->callback([options, &status] {
    status = Report(QueueAdmin::Add(options->name, options->ppd, options->uri, FilterPath(*options)));
  });

  CLI::App* remove = queue->add_subcommand("remove", "Delete a queue");
  remove->add_option("NAME", options->name, "Queue name")->required();
  remove->callback([options, &status] { status = Report(QueueAdmin::Remove(options->name)); });
}

}  // namespace quill::cli
