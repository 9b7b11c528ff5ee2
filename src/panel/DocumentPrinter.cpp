#include "panel/DocumentPrinter.h"

#include <cups/cups.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>

#include "PPDX/KRTPPD.h"
#include "PPDX/PPDObjects/Controls/PPDXControl.h"
#include "PPDX/PPDObjects/PPDXControls.h"
#include "output/KRTJobTicket.h"
#include "output/PrintSettingsTicket.h"
#include "panel/PDEData.h"
#include "platform/PrintSession.h"
#include "platform/PrintSettings.h"
#include "platform/Printer.h"

namespace quill {
namespace {

void Say(std::string* error, std::string text) {
  if (error != nullptr) *error = std::move(text);
}

std::string LastError() {
  const char* text = cupsLastErrorString();
  return text != nullptr && *text != '\0' ? text : ippErrorString(cupsLastError());
}

// Submits `file` to `queue` as one Print-Job request streaming the file, with the options as
// operation and job attributes: the job cupsd makes is the one of a Create-Job and a Send-Document
// with the same attributes (as cupsPrintFile and lp send them), in one round trip instead of four
// (cupsPrintFile first asks the queue for its attributes twice). The job id, or 0 with the reason
// in *why.
int PrintFile(const std::string& queue, const std::string& file, const std::string& title,
              int count, cups_option_t* options, std::string* why) {
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    *why = "cannot read " + file + ": " + std::strerror(errno);
    return 0;
  }
  char uri[HTTP_MAX_URI];
  httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof(uri), "ipp", nullptr, "localhost", ippPort(),
                   "/printers/%s", queue.c_str());
  const std::string resource = "/printers/" + queue;
  ipp_t* request = ippNewRequest(IPP_OP_PRINT_JOB);
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri);
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
               cupsUser());
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "job-name", nullptr, title.c_str());
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "document-name", nullptr,
               file.substr(file.find_last_of('/') + 1).c_str());
  // cupsd finds out what the document is, as for cupsPrintFile without a format.
  if (cupsGetOption("document-format", count, options) == nullptr) {
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_MIMETYPE, "document-format", nullptr,
                 CUPS_FORMAT_AUTO);
  }
  cupsEncodeOptions2(request, count, options, IPP_TAG_OPERATION);
  cupsEncodeOptions2(request, count, options, IPP_TAG_JOB);
  cupsEncodeOptions2(request, count, options, IPP_TAG_SUBSCRIPTION);

  // The file goes in chunks as it is read: memory stays small whatever its size.
  http_status_t status =
      cupsSendRequest(CUPS_HTTP_DEFAULT, request, resource.c_str(), CUPS_LENGTH_VARIABLE);
  std::string read_error;
  char buffer[65536];
  while (status == HTTP_STATUS_CONTINUE) {
    const ssize_t got = ::read(fd, buffer, sizeof(buffer));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) read_error = "cannot read " + file + ": " + std::strerror(errno);
    if (got <= 0) break;
    status = cupsWriteRequestData(CUPS_HTTP_DEFAULT, buffer, static_cast<size_t>(got));
  }
  ::close(fd);
  ipp_t* response = nullptr;
  if (status == HTTP_STATUS_CONTINUE) {
    response = cupsGetResponse(CUPS_HTTP_DEFAULT, resource.c_str());
  }
  ippDelete(request);
  const bool answered = response != nullptr;
  const bool accepted = answered && cupsLastError() <= IPP_STATUS_OK_EVENTS_COMPLETE;
  ipp_attribute_t* id = accepted ? ippFindAttribute(response, "job-id", IPP_TAG_INTEGER) : nullptr;
  const int job = id != nullptr ? ippGetInteger(id, 0) : 0;
  ippDelete(response);
  if (!read_error.empty()) {
    // Part of the document went: the job must not print as it is.
    if (job > 0) cupsCancelJob2(CUPS_HTTP_DEFAULT, queue.c_str(), job, 0);
    *why = read_error;
    return 0;
  }
  if (job <= 0) {
    if (accepted) {
      *why = "the spooler gave the job no id";
    } else if (!answered && cupsLastError() <= IPP_STATUS_OK_EVENTS_COMPLETE) {
      // The request ended before an answer came (libcups may keep an older request's status).
      *why = std::string("the document could not be sent (") + httpStatus(status) + ")";
    } else {
      *why = LastError();
    }
  }
  return job;
}

}  // namespace

std::optional<DocumentPrinter::FileKind> DocumentPrinter::CheckPrintable(const std::string& path,
                                                                         std::string* why) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    Say(why, "cannot read " + path);
    return std::nullopt;
  }
  if (!S_ISREG(info.st_mode)) {
    Say(why, path + " is not a file");
    return std::nullopt;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    Say(why, "cannot read " + path);
    return std::nullopt;
  }
  if (info.st_size == 0) {
    Say(why, path + " is empty: nothing to print");
    return std::nullopt;
  }
  char head[5] = {};
  in.read(head, sizeof head);
  const std::string start(head, static_cast<std::size_t>(in.gcount()));
  if (start.rfind("%!", 0) == 0) return FileKind::kPostScript;
  if (start.rfind("%PDF-", 0) == 0) return FileKind::kPDF;
  Say(why, path + " is neither PostScript nor PDF: not printable here");
  return std::nullopt;
}

DocumentPrinter::DocumentPrinter(KRTPPD& ppd, PDEData& data, PrintSettings& settings)
    : ppd_(ppd), data_(data), settings_(settings) {}

DocumentPrinter::~DocumentPrinter() = default;

bool DocumentPrinter::BuildTicket(PrintSession* session, std::string* error) {
  ticket_.reset();
  settingsTicket_ = std::make_unique<PrintSettingsTicket>(nullptr, &settings_);
  ticket_ = std::make_unique<KRTJobTicket>(settingsTicket_.get(), &settings_,
                                           CreatePostscriptDataFileKey());
  if (data_.OutPostscriptData(*ticket_, session) != PDEData::kOutputOk) {
    Say(error, "cannot build the job ticket: " + data_.OutputError() + "; nothing was printed");
    ticket_->Discard();
    return false;
  }
  ticket_->SavePPDForAllKeys(&ppd_, "");
  return true;
}

const std::string* DocumentPrinter::SaveTicket(std::string* error) {
  std::string why = "no ticket was built";
  const std::string* xml = ticket_ ? ticket_->Save(&why) : nullptr;
  if (xml == nullptr) Say(error, "cannot build the job ticket: " + why);
  return xml;
}

std::vector<std::pair<std::string, std::string>> DocumentPrinter::JobOptions() const {
  std::vector<std::pair<std::string, std::string>> options;
  CNTL_TYPE type = kBaseControl;
  for (PPDXControl* control = ppd_.GetControls()->First(type); control != nullptr;
       control = ppd_.GetControls()->Next(type)) {
    if (control->Keyword() == nullptr) continue;
    if (type == kJobNoteControl || type == kSpecialOptionControl) continue;
    const std::string value = control->CopyCurrentControlValueString().value_or("");
    if (value.empty() || !PrintSettings::IsAcceptableText(value)) continue;
    options.emplace_back(control->Keyword() + (control->Keyword()[0] == '*' ? 1 : 0), value);
  }
  if (ticket_) {
    if (auto path = settings_.GetString(ticket_->Key()))
      options.emplace_back(ticket_->Key(), *path);
  }
  return options;
}

bool DocumentPrinter::Submit(const Printer& printer, const std::vector<std::string>& files,
                             const std::string& title,
                             const std::function<void(const std::string&, int)>& submitted,
                             std::string* error) {
  if (!ticket_) {
    Say(error,
        "cannot hand the job ticket to the queue: no ticket was built; nothing more was "
        "printed");
    return false;
  }
  for (const std::string& file : files) {
    std::string why;
    if (!ticket_->HandToFilter(&printer, &why)) {
      Say(error, "cannot hand the job ticket to the queue: " + why + "; nothing more was printed");
      return false;
    }
    cups_option_t* job_options = nullptr;
    int count = 0;
    for (const auto& [name, value] : JobOptions()) {
      count = cupsAddOption(name.c_str(), value.c_str(), count, &job_options);
    }
    if (auto copies = settings_.GetInteger(PDEData::kCopiesKey); copies && *copies > 1) {
      count = cupsAddOption("copies", std::to_string(*copies).c_str(), count, &job_options);
    }
    const std::string job_title = !title.empty() ? title : file.substr(file.find_last_of('/') + 1);
    std::string why_refused;
    const int job = PrintFile(printer.Name(), file, job_title, count, job_options, &why_refused);
    cupsFreeOptions(count, job_options);
    if (job <= 0) {
      Say(error, "the spooler refused the job for " + file + ": " + why_refused);
      return false;
    }
    if (submitted) submitted(file, job);
  }
  return true;
}

}  // namespace quill
