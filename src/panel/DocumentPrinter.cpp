#include "panel/DocumentPrinter.h"

#include <cups/cups.h>
#include <sys/stat.h>

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
    const int job =
        cupsPrintFile(printer.Name().c_str(), file.c_str(), job_title.c_str(), count, job_options);
    cupsFreeOptions(count, job_options);
    if (job <= 0) {
      Say(error, "the spooler refused the job for " + file + ": " + cupsLastErrorString());
      return false;
    }
    if (submitted) submitted(file, job);
  }
  return true;
}

}  // namespace quill
