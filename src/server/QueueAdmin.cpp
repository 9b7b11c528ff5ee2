#include "server/QueueAdmin.h"

#include <cups/cups.h>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "platform/BackendURI.h"
#include "platform/Paths.h"
#include "ppddata/CupsPPD.h"
#include "server/SpoolerFiles.h"

namespace quill {
namespace {

namespace fs = std::filesystem;

struct IppDeleter {
  void operator()(ipp_t* ipp) const { ippDelete(ipp); }
};
using IppPtr = std::unique_ptr<ipp_t, IppDeleter>;

std::string PrinterURI(const std::string& name) {
  char uri[HTTP_MAX_URI];
  httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof(uri), "ipp", nullptr, "localhost", ippPort(),
                   "/printers/%s", name.c_str());
  return uri;
}

QueueAdmin::Result Failure(std::string error, bool unreachable = false) {
  QueueAdmin::Result result;
  result.error = std::move(error);
  result.unreachable = unreachable;
  return result;
}

// The spooler's answer to the last request as a failure, telling an unreachable spooler apart.
QueueAdmin::Result SpoolerFailure(const std::string& what) {
  const ipp_status_t status = cupsLastError();
  const char* text = cupsLastErrorString();
  const std::string reason = text != nullptr && *text != '\0' ? text : ippErrorString(status);
  return Failure(what + ": " + reason, status == IPP_STATUS_ERROR_SERVICE_UNAVAILABLE);
}

bool Succeeded() { return cupsLastError() <= IPP_STATUS_OK_EVENTS_COMPLETE; }

ipp_t* NewAdminRequest(ipp_op_t op, const std::string& name) {
  ipp_t* request = ippNewRequest(op);
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr,
               PrinterURI(name).c_str());
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
               cupsUser());
  return request;
}

bool StartsWithKeyword(std::string_view line, std::string_view keyword) {
  return line.substr(0, keyword.size()) == keyword &&
         (line.size() == keyword.size() || line[keyword.size()] == ':' ||
          line[keyword.size()] == ' ' || line[keyword.size()] == '\t');
}

// Makes `folder` (and its parents) and gives it to the lp user, so that the filter can write in
// it; everybody may read.
bool PrepareLpFolder(const std::string& folder, std::string* error) {
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (ec) {
    *error = "cannot create " + folder + ": " + ec.message();
    return false;
  }
  const passwd* lp = getpwnam("lp");
  if (lp != nullptr && chown(folder.c_str(), lp->pw_uid, lp->pw_gid) != 0 && geteuid() == 0) {
    *error = "cannot give " + folder + " to lp: " + std::strerror(errno);
    return false;
  }
  chmod(folder.c_str(), 0755);
  return true;
}

}  // namespace

bool QueueAdmin::IsValidQueueName(std::string_view name) {
  if (name.empty() || name.size() > 127) return false;
  for (const char c : name) {
    const auto u = static_cast<unsigned char>(c);
    if (u <= 0x20 || u == 0x7f || c == '/' || c == '#' || c == '\\' || c == '\'' || c == '"' ||
        c == ',') {
      return false;
    }
  }
  return true;
}

std::string QueueAdmin::AddFilterLines(std::string_view ppdText, std::string_view filterPath) {
  bool has_filter2 = false;
  bool has_filter1 = false;
  bool routes_commands = false;
  size_t insert_at = std::string_view::npos;
  size_t at = 0;
  while (at < ppdText.size()) {
    size_t end = ppdText.find('\n', at);
    if (end == std::string_view::npos) end = ppdText.size();
    std::string_view line = ppdText.substr(at, end - at);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (insert_at == std::string_view::npos && line.substr(0, 11) == "*PPD-Adobe:") {
      insert_at = end < ppdText.size() ? end + 1 : end;
    }
    const bool v2 = StartsWithKeyword(line, "*cupsFilter2");
    const bool v1 = StartsWithKeyword(line, "*cupsFilter");
    has_filter2 = has_filter2 || v2;
    has_filter1 = has_filter1 || v1;
    if ((v1 || v2) && line.find(kCommandType) != std::string_view::npos) routes_commands = true;
    at = end + 1;
  }
  if (routes_commands) return std::string(ppdText);

  const std::string filter(filterPath);
  std::string lines;
  if (has_filter1 && !has_filter2) {
    lines = "*cupsFilter: \"" + std::string(kCommandType) + " 0 " + filter + "\"\n";
  } else {
    lines = "*cupsFilter2: \"" + std::string(kCommandType) + " " + kCommandType + " 0 " + filter +
            "\"\n";
    if (!has_filter2) {
      // Without any filter line CUPS treats the queue as a plain PostScript printer; once a
      // *cupsFilter2 line is there it would accept only command jobs, so PostScript gets its route
      // too (after CUPS' own pstops, as for a PostScript printer).
      lines += "*cupsFilter2: \"application/vnd.cups-postscript application/postscript 0 " + filter +
               "\"\n";
    }
  }
  std::string out(ppdText);
  if (insert_at == std::string_view::npos || insert_at > out.size()) {
    if (!out.empty() && out.back() != '\n') out += '\n';
    out += lines;
  } else {
    if (insert_at == out.size() && !out.empty() && out.back() != '\n') out += '\n';
    out.insert(std::min(insert_at, out.size()), lines);
  }
  return out;
}

std::string QueueAdmin::KeptPPDPath(const std::string& name) {
  const char* root = std::getenv("CUPS_SERVERROOT");
  return std::string(root != nullptr && *root != '\0' ? root : "/etc/cups") + "/ppd/" + name + ".ppd";
}

QueueAdmin::Result QueueAdmin::Add(const std::string& name, const std::string& ppdPath,
                                   const std::string& deviceURI, const std::string& filterPath) {
  if (!IsValidQueueName(name)) return Failure("not a valid queue name: \"" + name + "\"");
  if (deviceURI.empty() || deviceURI.find(':') == std::string::npos) {
    return Failure("not a device URI: \"" + deviceURI + "\"");
  }
  if (filterPath.empty() || filterPath.front() != '/') {
    return Failure("the filter path must be absolute: \"" + filterPath + "\"");
  }
  std::ifstream in(ppdPath, std::ios::binary);
  if (!in) return Failure("cannot read " + ppdPath);
  std::ostringstream text;
  text << in.rdbuf();
  const std::string original = text.str();
  if (original.rfind("*PPD-Adobe:", 0) != 0) return Failure(ppdPath + " is not a PPD file");

  // The spooler gets a copy with the filter lines.
  char copy[1024];
  const int fd = cupsTempFd(copy, sizeof(copy));
  if (fd < 0) return Failure(std::string("cannot make a temporary file: ") + std::strerror(errno));
  const std::string routed = AddFilterLines(original, filterPath);
  const bool written = write(fd, routed.data(), routed.size()) == static_cast<ssize_t>(routed.size());
  close(fd);
  struct Remove {
    const char* path;
    ~Remove() { unlink(path); }
  } remove_copy{copy};
  if (!written) return Failure(std::string("cannot write ") + copy);

  auto add = [&name, &copy](const std::string& uri) {
    ipp_t* request = NewAdminRequest(IPP_OP_CUPS_ADD_MODIFY_PRINTER, name);
    ippAddString(request, IPP_TAG_PRINTER, IPP_TAG_URI, "device-uri", nullptr, uri.c_str());
    ippAddBoolean(request, IPP_TAG_PRINTER, "printer-is-accepting-jobs", 1);
    ippAddInteger(request, IPP_TAG_PRINTER, IPP_TAG_ENUM, "printer-state", IPP_PSTATE_IDLE);
    IppPtr response(cupsDoFileRequest(CUPS_HTTP_DEFAULT, request, "/admin/", copy));
    return response != nullptr && Succeeded();
  };
  // The quill backend in front of a network backend, so that command jobs end without it; a
  // spooler that lacks the quill backend refuses that URI's scheme ("not possible"), and the queue
  // then gets the URI as given.
  const std::string wrapped = backend_uri::Wrapped(deviceURI);
  bool added = add(wrapped);
  if (!added && wrapped != deviceURI && cupsLastError() == IPP_STATUS_ERROR_NOT_POSSIBLE) {
    added = add(deviceURI);
  }
  if (!added) return SpoolerFailure("cannot add queue " + name);

  // The filter runs as lp and stores data blocks by rewriting the kept PPD in place.
  const std::string kept = KeptPPDPath(name);
  const group* lp_group = getgrnam("lp");
  if (lp_group == nullptr) return Failure("there is no lp group on this system");
  if (chown(kept.c_str(), 0, lp_group->gr_gid) != 0 || chmod(kept.c_str(), 0660) != 0) {
    return Failure("cannot make " + kept + " writable for lp: " + std::strerror(errno) +
                   " (set the queue up on the spooler's host, as root)");
  }

  std::string error;
  if (!PrepareLpFolder(SpoolerFiles::CacheFolder(), &error)) return Failure(error);
  {
    CupsPPD ppd(copy);
    const char* bundle = ppd ? CupsPPD::FindAttrValue(ppd.get(), "APDialogExtension") : nullptr;
    const std::string folder = bundle != nullptr ? SpoolerFiles::TwoWayDataFolder(bundle) : "";
    if (!folder.empty() && !PrepareLpFolder(folder, &error)) return Failure(error);
  }
  Result result;
  result.ok = true;
  return result;
}

QueueAdmin::Result QueueAdmin::Remove(const std::string& name) {
  if (!IsValidQueueName(name)) return Failure("not a valid queue name: \"" + name + "\"");
  IppPtr response(
      cupsDoRequest(CUPS_HTTP_DEFAULT, NewAdminRequest(IPP_OP_CUPS_DELETE_PRINTER, name), "/admin/"));
  if (!response || !Succeeded()) return SpoolerFailure("cannot remove queue " + name);
  Result result;
  result.ok = true;
  return result;
}

}  // namespace quill
