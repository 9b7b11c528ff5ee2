#include "platform/Printer.h"

#include <cups/cups.h>
// cupsGetPPD3 lives with libcups' deprecated PPD interface; this is its one caller outside the PPD
// adapter (the platform layer sits below it).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <cups/ppd.h>
#pragma GCC diagnostic pop
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/BackendURI.h"

namespace quill {
namespace {

struct IppDeleter {
  void operator()(ipp_t* ipp) const { ippDelete(ipp); }
};
using IppPtr = std::unique_ptr<ipp_t, IppDeleter>;

// The IPP address of the queue on the default server; cupsd takes "localhost" as itself.
std::string PrinterURI(const std::string& name) {
  char uri[HTTP_MAX_URI];
  httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof(uri), "ipp", nullptr, "localhost", ippPort(),
                   "/printers/%s", name.c_str());
  return uri;
}

std::string LastError() {
  const char* text = cupsLastErrorString();
  return text != nullptr && *text != '\0' ? text : ippErrorString(cupsLastError());
}

bool Succeeded() { return cupsLastError() <= IPP_STATUS_OK_EVENTS_COMPLETE; }

// Asks the queue for the attributes `names`; null when the queue is unknown or the server
// cannot be reached.
IppPtr GetPrinterAttributes(const std::string& name, std::initializer_list<const char*> names) {
  if (name.empty()) return nullptr;
  ipp_t* request = ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr,
               PrinterURI(name).c_str());
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
               cupsUser());
  const std::vector<const char*> list(names.begin(), names.end());
  ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                static_cast<int>(list.size()), nullptr, list.data());
  IppPtr response(cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/"));
  if (!response || !Succeeded()) return nullptr;
  return response;
}

std::string StringAttribute(const IppPtr& response, const char* name) {
  if (!response) return {};
  ipp_attribute_t* attr = ippFindAttribute(response.get(), name, IPP_TAG_ZERO);
  const char* value = attr != nullptr ? ippGetString(attr, 0, nullptr) : nullptr;
  return value != nullptr ? value : "";
}

// True for a queue name that stands in a resource path as it is (no escaping needed).
bool PlainName(const std::string& name) {
  if (name.empty()) return false;
  for (const char c : name) {
    const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                       c == '-' || c == '_' || c == '.' || c == '~';
    if (!plain) return false;
  }
  return true;
}

// Copies the file at `from` into the new file descriptor `to`; false on any failure.
bool CopyInto(const char* from, int to) {
  const int in = open(from, O_RDONLY | O_CLOEXEC);
  if (in < 0) return false;
  char buffer[65536];
  bool ok = true;
  for (;;) {
    const ssize_t got = read(in, buffer, sizeof(buffer));
    if (got == 0) break;
    if (got < 0) {
      if (errno == EINTR) continue;
      ok = false;
      break;
    }
    for (ssize_t done = 0; done < got;) {
      const ssize_t put = write(to, buffer + done, static_cast<size_t>(got - done));
      if (put < 0 && errno == EINTR) continue;
      if (put <= 0) {
        ok = false;
        break;
      }
      done += put;
    }
    if (!ok) break;
  }
  close(in);
  return ok;
}

}  // namespace

Printer::Printer(std::string name) : name_(std::move(name)) {}

Printer::Printer(std::string name, std::string deviceURI)
    : name_(std::move(name)), deviceURI_(std::string(backend_uri::Inner(deviceURI))) {}

bool Printer::Exists() const { return GetPrinterAttributes(name_, {"printer-name"}) != nullptr; }

std::string Printer::DeviceURI() const {
  if (deviceURI_) return *deviceURI_;
  return std::string(
      backend_uri::Inner(StringAttribute(GetPrinterAttributes(name_, {"device-uri"}), "device-uri")));
}

int Printer::State() const {
  IppPtr response = GetPrinterAttributes(name_, {"printer-state"});
  if (!response) return 0;
  ipp_attribute_t* attr = ippFindAttribute(response.get(), "printer-state", IPP_TAG_ENUM);
  return attr != nullptr ? ippGetInteger(attr, 0) : 0;
}

std::string Printer::StateMessage() const {
  return StringAttribute(GetPrinterAttributes(name_, {"printer-state-message"}),
                         "printer-state-message");
}

std::string Printer::CopyPPD(std::string* error) const {
  // The spooler serves a local queue's PPD at /printers/NAME.ppd: one GET on the connection that
  // the other requests use. cupsGetPPD3 first asks the queue's attributes and opens a connection
  // of its own, which is needed only for a class, a queue of another server or a server that
  // wants authentication; it serves whatever the direct GET does not.
  if (PlainName(name_)) {
    char copy[1024];
    const int fd = cupsTempFd(copy, sizeof(copy));
    if (fd >= 0) {
      const std::string resource = "/printers/" + name_ + ".ppd";
      const http_status_t status = cupsGetFd(CUPS_HTTP_DEFAULT, resource.c_str(), fd);
      struct stat info {};
      const bool got = status == HTTP_STATUS_OK && fstat(fd, &info) == 0 && info.st_size > 0;
      close(fd);
      if (got) return copy;
      unlink(copy);
    }
  }
  return FetchPPD(error);
}

std::string Printer::FetchPPD(std::string* error) const {
  char path[1024] = "";
  time_t modtime = 0;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  const http_status_t status =
      cupsGetPPD3(CUPS_HTTP_DEFAULT, name_.c_str(), &modtime, path, sizeof(path));
#pragma GCC diagnostic pop
  if (status != HTTP_STATUS_OK || path[0] == '\0') {
    if (error != nullptr) {
      *error = "cannot fetch the PPD of " + name_ + ": " +
               (status == HTTP_STATUS_NOT_FOUND ? std::string("no such queue or no PPD")
                                                : LastError());
    }
    return {};
  }
  // For a server on this machine libcups may hand back a link to the server's own file; the
  // caller is promised a private copy that it can change and remove, so copy what it points to.
  struct stat info;
  if (lstat(path, &info) == 0 && S_ISLNK(info.st_mode)) {
    char copy[1024];
    const int fd = cupsTempFd(copy, sizeof(copy));
    const bool ok = fd >= 0 && CopyInto(path, fd);
    if (fd >= 0) close(fd);
    unlink(path);
    if (!ok) {
      if (fd >= 0) unlink(copy);
      if (error != nullptr) *error = "cannot copy the PPD of " + name_ + ": " + std::strerror(errno);
      return {};
    }
    return copy;
  }
  return path;
}

Printer::SendResult Printer::SendCommand(std::string_view text, std::string_view title) const {
  SendResult result;
  if (name_.empty()) {
    result.error = "no printer";
    return result;
  }
  // One Print-Job request carrying the text: a single round trip to the spooler.
  const std::string resource = "/printers/" + name_;
  const std::string job_name(title);
  ipp_t* request = ippNewRequest(IPP_OP_PRINT_JOB);
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr,
               PrinterURI(name_).c_str());
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
               cupsUser());
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "job-name", nullptr, job_name.c_str());
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_MIMETYPE, "document-format", nullptr,
               kCommandFormat);

  // cupsd refuses a job without document data, so an empty text travels as one blank byte with a
  // job attribute that tells the filter the text is empty.
  if (text.empty()) {
    ippAddBoolean(request, IPP_TAG_JOB, kEmptyCommandOption, 1);
    text = " ";
  }
  http_status_t status =
      cupsSendRequest(CUPS_HTTP_DEFAULT, request, resource.c_str(), ippLength(request) + text.size());
  while (status == HTTP_STATUS_CONTINUE && !text.empty()) {
    constexpr size_t kPiece = 65536;
    const size_t piece = text.size() < kPiece ? text.size() : kPiece;
    status = cupsWriteRequestData(CUPS_HTTP_DEFAULT, text.data(), piece);
    text.remove_prefix(piece);
  }
  IppPtr response;
  if (status == HTTP_STATUS_CONTINUE) {
    response.reset(cupsGetResponse(CUPS_HTTP_DEFAULT, resource.c_str()));
  }
  ippDelete(request);
  if (!response || !Succeeded()) {
    result.error = "cannot send " + job_name + " to " + name_ + ": " + LastError();
    return result;
  }
  ipp_attribute_t* id = ippFindAttribute(response.get(), "job-id", IPP_TAG_INTEGER);
  result.jobId = id != nullptr ? ippGetInteger(id, 0) : 0;
  if (result.jobId <= 0) result.error = "the spooler gave " + job_name + " no job id";
  return result;
}

int Printer::JobState(int jobId, std::string* error) const {
  if (jobId <= 0) {
    if (error != nullptr) *error = "no such job";
    return 0;
  }
  char uri[HTTP_MAX_URI];
  httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof(uri), "ipp", nullptr, "localhost", ippPort(),
                   "/jobs/%d", jobId);
  ipp_t* request = ippNewRequest(IPP_OP_GET_JOB_ATTRIBUTES);
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "job-uri", nullptr, uri);
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
               cupsUser());
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", nullptr,
               "job-state");
  IppPtr response(cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/"));
  ipp_attribute_t* state =
      response && Succeeded() ? ippFindAttribute(response.get(), "job-state", IPP_TAG_ENUM) : nullptr;
  if (state == nullptr) {
    if (error != nullptr) *error = "cannot ask for job " + std::to_string(jobId) + ": " + LastError();
    return 0;
  }
  return ippGetInteger(state, 0);
}

}  // namespace quill
