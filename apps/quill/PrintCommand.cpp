// quill print -d QUEUE [-o KEY=VALUE]... [--note KEY=TEXT]... [--watermark N] [-t TITLE]
//             [-n COPIES] [--dry-run] FILE...
//
// The print dialog on the command line, in the habits of lp. The choices start from the PPD's
// defaults, then the user's lpoptions defaults for the queue, then the settings saved for the
// queue (the last choices made in the dialog), then the -o options in the order given. A choice
// that the constraints forbid stops the print, naming the options in conflict. A job note that the
// queue requires and that has no text is asked for on the terminal (without echo for passwords and
// PINs); without a terminal the print stops and says which --note to give. Then the job ticket is
// built as the dialog builds it, handed to the queue's filter, and the files are submitted with
// the option values as job options and the ticket's key, one job per file (each with its own
// ticket); each job id is printed as lp prints it.
// With --dry-run the ticket and the job options are printed and nothing is sent.
//
// Job notes travel only in the ticket: their texts (passwords among them) are never job options,
// which any user of the spooler may read.
#include <cups/cups.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Commands.h"
#include "LoadedPPD.h"
#include "PPDX/PPDObjects/Controls/PPDXBooleanControl.h"
#include "PPDX/PPDObjects/Controls/PPDXControl.h"
#include "PPDX/PPDObjects/Controls/PPDXJobNote.h"
#include "PPDX/PPDObjects/Controls/PPDXPopupControl.h"
#include "PPDX/PPDObjects/PPDXControls.h"
#include "output/KRTJobNoteList.h"
#include "panel/DocumentPrinter.h"
#include "panel/PDEData.h"
#include "platform/Bundle.h"
#include "platform/PrintSession.h"
#include "platform/PrintSettings.h"
#include "platform/Printer.h"

namespace quill::cli {
namespace {

using quill::DocumentPrinter;

struct PrintOptions {
  std::string queue;
  std::vector<std::string> options;
  std::vector<std::string> notes;
  int watermark = -1;  // -1: as saved; 0: none; N: the Nth watermark
  std::string title;
  int copies = 0;  // 0: as saved
  bool dryRun = false;
  std::vector<std::string> files;
};

// A private copy of a queue's PPD, removed when it goes.
struct PPDCopy {
  std::string path;
  explicit PPDCopy(std::string copied) : path(std::move(copied)) {}
  ~PPDCopy() {
    if (!path.empty()) ::unlink(path.c_str());
  }
  PPDCopy(const PPDCopy&) = delete;
  PPDCopy& operator=(const PPDCopy&) = delete;
};

void CheckPrintable(const std::string& path) {
  std::string why;
  if (!DocumentPrinter::CheckPrintable(path, &why)) throw UsageError{why};
}

bool IsChoice(CNTL_TYPE type) { return type == kPopupControl || type == kBooleanControl; }

// Every control in tree order with its type.
std::vector<std::pair<PPDXControl*, CNTL_TYPE>> Controls(KRTPPD& ppd) {
  std::vector<std::pair<PPDXControl*, CNTL_TYPE>> controls;
  CNTL_TYPE type = kBaseControl;
  for (PPDXControl* c = ppd.GetControls()->First(type); c != nullptr;
       c = ppd.GetControls()->Next(type)) {
    if (c->Keyword() != nullptr) controls.emplace_back(c, type);
  }
  return controls;
}

// The option names of a pop-up or boolean control.
std::vector<std::string> ChoicesOf(PPDXControl* control, CNTL_TYPE type) {
  if (type == kBooleanControl) return {"True", "False"};
  std::vector<std::string> choices;
  auto* popup = static_cast<PPDXPopupControl*>(control);
  for (_PopupItem* item = popup->FirstItem(); item != nullptr; item = popup->NextItem()) {
    if (item->Keyword() != nullptr) choices.emplace_back(item->Keyword());
  }
  return choices;
}

std::string Current(PPDXControl* control) {
  return control->CopyCurrentControlValueString().value_or("");
}

// The choices whose current values take part in forbidding `control`'s current value: those
// that, changed to any other of their options, would lift the constraint.
std::vector<std::string> ConflictPartners(KRTPPD& ppd, PPDXControl* control,
                                          const std::vector<std::pair<PPDXControl*, CNTL_TYPE>>& all) {
  const std::string value = Current(control);
  std::vector<std::string> partners;
  for (const auto& [other, type] : all) {
    if (other == control || !IsChoice(type)) continue;
    const std::string saved = Current(other);
    bool lifts = false;
    for (const std::string& choice : ChoicesOf(other, type)) {
      if (choice == saved) continue;
      other->SetCurrentControlWithCFString(choice);
      lifts = !ppd.IsKVConstrained(control->Keyword(), value.c_str());
      if (lifts) break;
    }
    other->SetCurrentControlWithCFString(saved);
    if (lifts) partners.push_back(std::string(other->Keyword()) + "=" + saved);
  }
  return partners;
}

// Throws UsageError naming the first choice that the constraints forbid and what forbids it.
void RefuseConflicts(KRTPPD& ppd) {
  const auto all = Controls(ppd);
  for (const auto& [control, type] : all) {
    if (!IsChoice(type)) continue;
    const std::string value = Current(control);
    if (value.empty() || !ppd.IsKVConstrained(control->Keyword(), value.c_str())) continue;
    std::string message = std::string(control->Keyword()) + "=" + value + " is not allowed";
    const std::vector<std::string> partners = ConflictPartners(ppd, control, all);
    if (!partners.empty()) {
      message += " with";
      for (std::size_t i = 0; i < partners.size(); ++i) {
        message += (i == 0 ? " " : ", ") + partners[i];
      }
    }
    throw UsageError{message + "; nothing was printed"};
  }
}

// Sets a job note's text as typed; the key must name a job note.
void SetNote(LoadedPPD& loaded, const std::string& key, const std::string& text) {
  PPDXControl& control = loaded.Control(key);
  if (control.Type() != kJobNoteControl) throw UsageError{key + " is not a job note"};
  if (HasControlCharacter(text)) {
    throw UsageError{std::string("value for ") + control.Keyword() +
                     " has a control character, which no job note takes"};
  }
  loaded.CheckValue(control, text);
  control.SetCurrentControlWithCFString(text);
}

// The value of a boolean or pop-up control by keyword; nullopt without the control.
std::optional<std::string> ValueOf(KRTPPD& ppd, const char* keyword) {
  PPDXControl* control = ppd.GetPPDXControlForKey(keyword);
  if (control == nullptr) return std::nullopt;
  return Current(control);
}

// The job notes to ask for: every required note without text, and, when the queue prompts for
// accounts at print time (job tracking on, account setting 1), every pop-up note without text.
std::vector<PPDXJobNote*> NotesToAsk(KRTPPD& ppd) {
  const std::optional<std::string> tracking = ValueOf(ppd, "*KRDisplayJobTracking");
  const std::optional<std::string> setting = ValueOf(ppd, "*KRAccountSetting");
  const bool prompts = tracking && setting && ValueOf(ppd, "*KRAccountShowLast") &&
                       *tracking == "True" && *setting != "2";
  std::vector<PPDXJobNote*> notes;
  for (const auto& [control, type] : Controls(ppd)) {
    if (type != kJobNoteControl) continue;
    auto* note = static_cast<PPDXJobNote*>(control);
    const char* text = note->GetNotes();
    if (text != nullptr && *text != '\0') continue;
    if (note->IsRequired() || (prompts && note->IsPopupJN())) notes.push_back(note);
  }
  return notes;
}

// Reads one line from the terminal, without echo when `secret`.
std::optional<std::string> ReadLine(bool secret) {
  termios saved{};
  const bool hide = secret && ::tcgetattr(STDIN_FILENO, &saved) == 0;
  if (hide) {
    termios quiet = saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
  }
  std::string line;
  const bool got = static_cast<bool>(std::getline(std::cin, line));
  if (hide) {
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
    std::fputc('\n', stderr);
  }
  if (!got) return std::nullopt;
  return line;
}

void AskForNotes(LoadedPPD& loaded) {
  const std::vector<PPDXJobNote*> notes = NotesToAsk(loaded.ppd());
  if (notes.empty()) return;
  if (!::isatty(STDIN_FILENO)) {
    const PPDXJobNote* note = notes.front();
    throw UsageError{std::string("the queue requires the job note ") + note->Keyword() + " (" +
                     note->CFStringUserName() + "); give it with --note " +
                     (note->Keyword() + 1) + "=TEXT"};
  }
  for (PPDXJobNote* note : notes) {
    for (;;) {
      std::fprintf(stderr, "%s: ", note->CFStringUserName().c_str());
      std::fflush(stderr);
      std::optional<std::string> text = ReadLine(note->IsPassword());
      if (!text) throw UsageError{"no answer for the job note " + std::string(note->Keyword())};
      try {
        if (text->empty()) throw UsageError{"the queue requires a text"};
        SetNote(loaded, note->Keyword(), *text);
        break;
      } catch (const UsageError& refused) {
        std::fprintf(stderr, "quill: %s\n", refused.message.c_str());
      }
    }
  }
}

// The starting choices: lpoptions defaults for the queue, then the saved settings. Returns the
// queue's device URI, which comes with the defaults ("" when the spooler gave none).
std::string ApplyDefaults(LoadedPPD& loaded, const std::string& queue, const PrintSettings& saved) {
  std::string deviceURI;
  if (cups_dest_t* dest = cupsGetNamedDest(CUPS_HTTP_DEFAULT, queue.c_str(), nullptr)) {
    if (const char* uri = cupsGetOption("device-uri", dest->num_options, dest->options)) {
      deviceURI = uri;
    }
    for (int i = 0; i < dest->num_options; ++i) {
      const std::string key = std::string("*") + dest->options[i].name;
      PPDXControl* control = loaded.ppd().GetPPDXControlForKey(key);
      if (control == nullptr || control->Type() == kJobNoteControl) continue;
      std::string why;
      if (!control->AcceptsValue(dest->options[i].value, &why)) {
        std::fprintf(stderr, "quill: lpoptions default %s=%s left out: %s\n", dest->options[i].name,
                     dest->options[i].value, why.c_str());
        continue;
      }
      control->SetCurrentControlWithCFString(dest->options[i].value);
    }
    cupsFreeDests(1, dest);
  }
  std::map<std::string, std::string> values;
  for (const auto& [control, type] : Controls(loaded.ppd())) {
    if (type == kSpecialOptionControl) continue;
    if (auto stored = saved.GetString(control->Keyword())) values[control->Keyword()] = *stored;
  }
  loaded.ppd().SetAllValues(values);
  return deviceURI;
}

void SplitOptionWords(const std::vector<std::string>& given, std::vector<std::string>& out) {
  // lp takes several options in one -o, separated by spaces.
  for (const std::string& text : given) {
    std::size_t start = 0;
    while (start < text.size()) {
      const std::size_t end = text.find(' ', start);
      const std::string word = text.substr(start, end == std::string::npos ? end : end - start);
      if (!word.empty()) out.push_back(word);
      if (end == std::string::npos) break;
      start = end + 1;
    }
  }
}

int RunPrint(const PrintOptions& options) {
  try {
    if (options.files.empty()) throw UsageError{"nothing to print: give one or more files"};
    for (const std::string& file : options.files) CheckPrintable(file);

    // The queue's PPD, fetched into a private copy; why it failed is asked only then.
    Printer printer(options.queue);
    std::string error;
    const PPDCopy copy(printer.CopyPPD(&error));
    if (copy.path.empty()) {
      if (printer.Exists()) throw UsageError{"cannot fetch the PPD of " + options.queue + ": " + error};
      if (cupsLastError() == IPP_STATUS_ERROR_SERVICE_UNAVAILABLE) {
        throw UsageError{std::string("cannot reach the spooler: ") + cupsLastErrorString()};
      }
      throw UsageError{"no queue named " + options.queue};
    }
    // Nothing goes to the queue until every check has passed: the session data would otherwise
    // store the queue's record of the printer preference list as the dialog does when it opens.
    // A dry run sends nothing at all (no mailbox folder either).
    PrintSession::Current().SetCurrentPrinter(std::nullopt);
    LoadedPPD loaded(copy.path, kParseOrphans | kParseHidden);
    KRTPPD& ppd = loaded.ppd();

    PrintSettings settings;
    if (settings.Load(options.queue, &error) == PrintSettings::LoadResult::kUnreadable) {
      throw UsageError{"saved settings unreadable: " + error};
    }
    const std::string deviceURI = ApplyDefaults(loaded, options.queue, settings);

    std::vector<std::string> words;
    SplitOptionWords(options.options, words);
    for (const std::string& word : words) {
      const auto [key, value] = SplitAssignment(word);
      if (!PrintSettings::IsAcceptableText(value)) {
        throw UsageError{"value for " + key + " holds a control character or is not UTF-8"};
      }
      if (loaded.Control(key).Type() == kJobNoteControl) {
        throw UsageError{key + " is a job note: give it with --note"};
      }
      loaded.Set(word);
    }
    for (const std::string& note : options.notes) {
      const auto [key, text] = SplitAssignment(note);
      SetNote(loaded, key, text);
    }
    RefuseConflicts(ppd);

    PDEData data(&ppd, options.queue);
    data.SetPrintSettings(&settings);
    data.SetBundle(&Bundle::Main());
    data.GetWatermarksFromPreferences();
    data.Watermarks().AddDefaults(
        [](const std::string& key) { return Bundle::Main().LocalizedString(key); });
    data.RestoreNonPSSettings();
    if (options.watermark >= 0) {
      if (options.watermark > data.Watermarks().Count()) {
        throw UsageError{"no watermark " + std::to_string(options.watermark) + " (the queue has " +
                         std::to_string(data.Watermarks().Count()) + ")"};
      }
      data.Watermarks().Select(options.watermark - 1);
    }
    if (options.copies > 0) settings.SetInteger(PDEData::kCopiesKey, options.copies);
    AskForNotes(loaded);
    // The printer address in the ticket comes from the device URI the defaults brought along
    // (one request less); a queue that gave none is asked as before.
    if (!options.dryRun) {
      PrintSession::Current().SetCurrentPrinter(
          deviceURI.empty() ? printer : Printer(options.queue, deviceURI));
    }

    DocumentPrinter printing(ppd, data, settings);
    if (!printing.BuildTicket(&PrintSession::Current(), &error)) throw UsageError{error};

    if (options.dryRun) {
      const std::string* xml = printing.SaveTicket(&error);
      if (xml == nullptr) throw UsageError{error};
      std::fwrite(xml->data(), 1, xml->size(), stdout);
      std::printf("-- job options\n");
      for (const auto& [name, value] : printing.JobOptions()) {
        std::printf("%s=%s\n", name.c_str(), value.c_str());
      }
      return kExitOk;
    }
    // Each file is a job of its own with a ticket of its own, as the dialog prints one document
    // per job; the filter takes the ticket away from the path it was handed over under.
    const auto announce = [&options](const std::string&, int job) {
      std::printf("request id is %s-%d (1 file(s))\n", options.queue.c_str(), job);
    };
    if (!printing.Submit(printer, options.files, options.title, announce, &error)) {
      throw UsageError{error};
    }
    return kExitOk;
  } catch (const UsageError& e) {
    std::fprintf(stderr, "quill: %s\n", e.message.c_str());
    return kExitUsageError;
  }
}

}  // namespace

void AddPrintCommand(CLI::App& app, int& status) {
  auto options = std::make_shared<PrintOptions>();
  CLI::App* cmd = app.add_subcommand("print", "Print files on a queue with its features (as lp)");
  cmd->add_option("-d,--destination", options->queue, "The queue")->required();
  cmd->add_option("-o", options->options,
                  "Set KEY=VALUE, KEY with or without its leading * (repeatable; several "
                  "separated by spaces)")
      ->allow_extra_args(false);
  cmd->add_option("--note", options->notes, "Set the job note KEY to TEXT (repeatable)")
      ->allow_extra_args(false);
  cmd->add_option("--watermark", options->watermark, "Print watermark N (0 for none)")
      ->check(CLI::Range(0, 20));
  cmd->add_option("-t,--title", options->title, "The job's title (default: the first file's name)");
  cmd->add_option("-n,--copies", options->copies, "Number of copies")->check(CLI::Range(1, 9999));
  cmd->add_flag("--dry-run", options->dryRun,
                "Print the job ticket and the job options instead of submitting");
  cmd->add_option("FILE", options->files, "PostScript or PDF files")->required();
  cmd->callback([options, &status] { status = RunPrint(*options); });
}

}  // namespace quill::cli
