#include "TicketFile.h"

#include <cups/cups.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>

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

}  // namespace

TicketLookup LoadJobTicket(std::string_view options) {
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

  const int fd = open(path->c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
  if (fd < 0) {
    const int error = errno;
    if (error == ENOENT) return Refuse(std::move(lookup), "the job ticket " + *path + " is missing");
    // Whatever stands there is no usable ticket; it goes with the job (a link itself, never
    // what it points to).
    unlink(path->c_str());
    return Refuse(std::move(lookup),
                  "cannot read the job ticket " + *path + ": " + std::strerror(error));
  }
  unlink(path->c_str());
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
  if (!failure.empty()) return Refuse(std::move(lookup), failure);

  std::optional<std::vector<KRTJobTicket::Piece>> pieces = KRTJobTicket::Parse(xml);
  if (!pieces) {
    return Refuse(std::move(lookup), "the job ticket " + *path +
                                         " is not a job ticket property list (empty, cut off or "
                                         "damaged)");
  }
  lookup.status = TicketLookup::Status::kLoaded;
  lookup.pieces = std::move(*pieces);
  return lookup;
}

}  // namespace quill::cqf
