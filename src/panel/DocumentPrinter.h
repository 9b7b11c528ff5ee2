// DocumentPrinter: the one print path of the command line and the panel. From a session whose
// option tree and settings have been chosen, it builds the job ticket (the session data's output
// and every option value into the print settings), hands the ticket to the queue's filter and
// submits each document as a job of its own, with the option values as job options and the
// ticket's key. Each job gets a fresh hand-over of the ticket, as the filter takes the ticket away
// from the path it was handed over under.
//
// Job notes travel only in the ticket: their texts (passwords among them) are never job options,
// which any user of the spooler may read.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class KRTJobTicket;
class KRTPPD;
class PDEData;
class PrintSettingsTicket;

namespace quill {

class PrintSession;
class PrintSettings;
class Printer;

class DocumentPrinter {
 public:
  // What a document holds, by its first bytes.
  enum class FileKind { kPostScript, kPDF };

  // The kind of the document at `path`; nullopt with the reason in *why (when given): it cannot
  // be read, is not a regular file, is empty, or is neither PostScript nor PDF.
  [[nodiscard]] static std::optional<FileKind> CheckPrintable(const std::string& path,
                                                              std::string* why = nullptr);

  // Works on `ppd`, `data` (the session of that PPD) and `settings` (the print's settings); none
  // is owned and all must outlive the printer.
  DocumentPrinter(KRTPPD& ppd, PDEData& data, PrintSettings& settings);
  ~DocumentPrinter();
  DocumentPrinter(const DocumentPrinter&) = delete;
  DocumentPrinter& operator=(const DocumentPrinter&) = delete;

  // Makes a new ticket and fills it: the session data's output (with commands to the current
  // printer of `session`) and every option value into the print settings. False, with
  // "cannot build the job ticket: <why>; nothing was printed" in *error, when the output failed;
  // the ticket is then discarded.
  bool BuildTicket(PrintSession* session, std::string* error = nullptr);
  // The ticket of the last BuildTicket; null before.
  [[nodiscard]] KRTJobTicket* Ticket() const { return ticket_.get(); }

  // Saves the ticket without handing it over (the print settings get its key and path) and
  // returns its XML; null with "cannot build the job ticket: <why>" in *error when there is no
  // ticket or saving failed.
  const std::string* SaveTicket(std::string* error = nullptr);

  // Job options: each option's value under its keyword without the asterisk (job notes and the
  // panel's special options stay out, as do empty values and values a job option cannot carry),
  // then the ticket's key with its path once the ticket has been saved.
  [[nodiscard]] std::vector<std::pair<std::string, std::string>> JobOptions() const;

  // Submits each of `files` to `printer` as a job of its own titled `title` (each file's own name
  // when empty): hands the ticket to the filter, then submits the file with the job options and
  // the copies of the print settings (when above 1). `submitted` (may be empty) is called with the
  // file and the job id after each job. Stops at the first failure, with the reason in *error:
  // "cannot hand the job ticket to the queue: <why>; nothing more was printed" or
  // "the spooler refused the job for <file>: <why>". False as well without a ticket.
  bool Submit(const Printer& printer, const std::vector<std::string>& files,
              const std::string& title,
              const std::function<void(const std::string& file, int job)>& submitted,
              std::string* error = nullptr);

 private:
  KRTPPD& ppd_;
  PDEData& data_;
  PrintSettings& settings_;
  std::unique_ptr<PrintSettingsTicket> settingsTicket_;
  std::unique_ptr<KRTJobTicket> ticket_;
};

}  // namespace quill
