#include "TicketFile.h"

#include <cups/cups.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <optional>

#include "FilterJob.h"
#include "server/SpoolerFiles.h"

namespace quill::cqf {
namespace {

// The filter's state folder inside the cache folder (see CommandDispatch).
constexpr std::string_view kStateFolder = "/.quill-cqf";

TicketLookup Refuse(TicketLookup lookup, std::string reason) {
  lookup.status = TicketLookup::Status::kRefused;
  lookup.error = std::move(reason);
  return lookup;
}

std::optional<std::string> TicketKeyValue(std::string_view options) {
  const std::string text(options);
  cups_option_t* parsed = nullptr;
  const int count = cupsParseOptions(text.c_str(), 0, &parsed);
  const char* value = cupsGetOption(CreatePostscriptDataFileKey().c_str(), count, parsed);
  std::optional<std::string> out;
  if (value != nullptr) out = value;
  cupsFreeOptions(count, parsed);
  return out;
}

// "<cache>/.quill-cqf/jobs": the tickets of jobs in progress, kept for CUPS' retries.
std::string JobsFolder() { return SpoolerFiles::CacheFolder() + std::string(kStateFolder) + "/jobs"; }

// Removes kept tickets older than kKeepTicketSeconds.
void PruneKeptTickets() {
  namespace fs = std::filesystem;
  std::error_code ec;
  const auto now = fs::file_time_type::clock::now();
  for (fs::directory_iterator it(JobsFolder(), ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code time_ec;
    const auto written = fs::last_write_time(it->path(), time_ec);
    if (!time_ec && now - written > std::chrono::seconds(kKeepTicketSeconds)) {
      fs::remove(it->path(), time_ec);
    }
  }
}

// The name a job's ticket is kept under: the job id and the ticket's own file name.
std::string KeptName(std::string_view jobId, const std::string& path) {
  if (jobId.empty() || jobId.size() > 12 ||
      !std::all_of(jobId.begin(), jobId.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return {};
  }
  std::string name = path.substr(path.rfind('/') + 1);
  for (char& c : name) {
    const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                    c == '-' || c == '_' || c == '.';
    if (!ok) c = '_';
  }
  return JobsFolder() + "/" + std::string(jobId) + "-" + name;
}

}  // namespace

TicketLookup LoadJobTicket(std::string_view options, std::string_view jobId) {
  TicketLookup lookup;
  const std::optional<std::string> named = TicketKeyValue(options);
  if (!named) return lookup;

  std::string why;
  const std::optional<std::string> path = SpoolerFiles::ConfineToCache(*named, &why);
  if (!path) return Refuse(std::move(lookup), "refused job ticket path \"" + *named + "\": " + why);
  const std::string state = SpoolerFiles::CacheFolder() + std::string(kStateFolder);
  if (path->compare(0, state.size(), state) == 0 &&
      (path->size() == state.size() || (*path)[state.size()] == '/')) {
    return Refuse(std::move(lookup),
                  "refused job ticket path \"" + *named + "\": inside the filter's own folder");
  }
  lookup.path = *path;
  PruneKeptTickets();

  // The ticket leaves the panel's path at once. CUPS runs the filter again for the same job when
  // it retries it (a busy server, a backend that failed), so the ticket is kept for the job under
  // the filter's folder; a retry reads it there.
  std::string source = *path;
  const std::string kept = KeptName(jobId, *path);
  if (!kept.empty()) {
    std::error_code ec;
    std::filesystem::create_directories(JobsFolder(), ec);
    if (rename(path->c_str(), kept.c_str()) == 0) {
      source = kept;
    } else if (errno == ENOENT && access(kept.c_str(), F_OK) == 0) {
      source = kept;
      Message("DEBUG", "Job %.*s is retried: using its kept job ticket", static_cast<int>(jobId.size()),
              jobId.data());
    }
  }

  const int fd = open(source.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
  if (fd < 0) {
    const int error = errno;
    if (error == ENOENT) return Refuse(std::move(lookup), "the job ticket " + *path + " is missing");
    // Whatever stands there is no usable ticket; it goes with the job (a link itself, never
    // what it points to).
    unlink(source.c_str());
    return Refuse(std::move(lookup),
                  "cannot read the job ticket " + *path + ": " + std::strerror(error));
  }
  // Without a place to keep it for retries, the ticket is deleted now.
  if (source == *path) unlink(path->c_str());
  struct stat info {};
  std::string xml;
  std::string failure;
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    failure = "the job ticket " + *path + " is not a regular file";
  } else if (static_cast<unsigned long long>(info.st_size) > kMaxTicketFile) {
    failure = "the job ticket " + *path + " is too large";
  } else {
    char buffer[65536];
    for (;;) {
      const ssize_t got = read(fd, buffer, sizeof buffer);
      if (got == 0) break;
      if (got < 0) {
        if (errno == EINTR) continue;
        failure = "cannot read the job ticket " + *path + ": " + std::strerror(errno);
        break;
      }
      if (xml.size() + static_cast<size_t>(got) > kMaxTicketFile) {
        failure = "the job ticket " + *path + " is too large";
        break;
      }
      xml.append(buffer, static_cast<size_t>(got));
    }
  }
  close(fd);
  std::optional<std::vector<KRTJobTicket::Piece>> pieces;
  if (failure.empty()) {
    pieces = KRTJobTicket::Parse(xml);
    if (!pieces) {
      failure = "the job ticket " + *path +
                " is not a job ticket property list (empty, cut off or damaged)";
    }
  }
  if (!failure.empty()) {
    // A retry would find the same: nothing is kept.
    unlink(source.c_str());
    return Refuse(std::move(lookup), failure);
  }
  lookup.status = TicketLookup::Status::kLoaded;
  lookup.pieces = std::move(*pieces);
  return lookup;
}

}  // namespace quill::cqf
