// quill ticket QUEUE|PPD [--set KEY=VALUE]... [--note KEY=TEXT]... [--watermark RECORD]
//              [-o FILE] [--json]
//
// Builds the job ticket that printing would hand to the spooler-side filter, filled as printing
// fills it (the session data's OutPostscriptData: suppressed keywords, feature code, the panel's
// own blocks, job notes, watermark, header comments), and prints it: the XML property list the
// filter receives, or with --json an array of {"site", "text"} ("hex" instead of "text" for bytes
// that are not UTF-8). Nothing is sent to the spooler: a mailbox destination shows its path
// without its command job.
#include <nlohmann/json.hpp>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "Commands.h"
#include "LoadedPPD.h"
#include "TargetPPD.h"
#include "PPDX/PPDObjects/Controls/PPDXControl.h"
#include "output/KRTJobNoteList.h"
#include "output/KRTJobTicket.h"
#include "output/KRTWatermark.h"
#include "panel/PDEData.h"
#include "platform/PrintSession.h"
#include "platform/PrintSettings.h"
#include "platform/Printer.h"
#include "platform/TextEncoding.h"

namespace quill::cli {
namespace {

struct TicketOptions {
  std::string target;
  std::vector<std::string> sets;
  std::vector<std::string> notes;
  std::string watermark;
  std::string output;
  bool json = false;
};

// Sets a job note's text as the user typed it; the key must name a job note.
void SetNote(LoadedPPD& loaded, const std::string& assignment) {
  auto [key, text] = SplitAssignment(assignment);
  PPDXControl& control = loaded.Control(key);
  if (control.Type() != kJobNoteControl) throw UsageError{key + " is not a job note"};
  if (HasControlCharacter(text)) {
    throw UsageError{std::string("value for ") + control.Keyword() +
                     " has a control character, which no job note takes"};
  }
  loaded.CheckValue(control, text);
  control.SetCurrentControlWithCFString(text);
}

std::string Hex(const std::string& bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string hex;
  hex.reserve(bytes.size() * 2);
  for (unsigned char byte : bytes) {
    hex += kDigits[byte >> 4];
    hex += kDigits[byte & 0x0F];
  }
  return hex;
}

std::string PiecesJson(const std::vector<KRTJobTicket::Piece>& pieces) {
  nlohmann::json array = nlohmann::json::array();
  for (const auto& piece : pieces) {
    nlohmann::json entry = {{"site", piece.site}};
    if (TextEncoding::IsValidUTF8(piece.data)) {
      entry["text"] = piece.data;
    } else {
      entry["hex"] = Hex(piece.data);
    }
    array.push_back(std::move(entry));
  }
  return array.dump(2) + "\n";
}

int RunTicket(const TicketOptions& options) {
  try {
    TargetPPD target(options.target);
    LoadedPPD loaded(target.path(), kParseOrphans | kParseHidden);
    for (const auto& set : options.sets) loaded.Set(set);
    for (const auto& note : options.notes) SetNote(loaded, note);

    PrintSettings settings;
    PrintSettingsTicket settings_ticket(nullptr, &settings);
    KRTJobTicket ticket(&settings_ticket, &settings, CreatePostscriptDataFileKey());
    PDEData session(&loaded.ppd(), target.queue());
    session.SetPrintSettings(&settings);
    if (!options.watermark.empty()) {
      std::string why;
      if (!session.Watermarks().Add(options.watermark.c_str(), &why)) {
        throw UsageError{"watermark refused: " + why};
      }
      session.Watermarks().Select(session.Watermarks().Count() - 1);
    }
    // A session without a printer: the preview sends no command jobs.
    PrintSession preview;
    if (session.OutPostscriptData(ticket, &preview) != PDEData::kOutputOk) {
      throw UsageError{session.OutputError()};
    }
    std::string error;
    const std::string* xml = ticket.Save(&error);
    if (xml == nullptr) throw UsageError{error};

    const std::string text = options.json ? PiecesJson(*ticket.Pieces()) : *xml;
    if (options.output.empty()) {
      std::fwrite(text.data(), 1, text.size(), stdout);
      return kExitOk;
    }
    std::ofstream out(options.output, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) throw UsageError{"cannot write " + options.output};
    return kExitOk;
  } catch (const UsageError& error) {
    std::fprintf(stderr, "quill: %s\n", error.message.c_str());
    return kExitUsageError;
  }
}

}  // namespace

void AddTicketCommand(CLI::App& app, int& status) {
  auto options = std::make_shared<TicketOptions>();
  CLI::App* cmd = app.add_subcommand(
      "ticket", "Build the job ticket printing would hand to the filter");
  cmd->add_option("TARGET", options->target, "A queue name or a PPD file")->required();
  cmd->add_option("--set", options->sets,
                  "Set KEY=VALUE first; KEY with or without its leading * (repeatable)")
      ->allow_extra_args(false);
  cmd->add_option("--note", options->notes,
                  "Set the job note KEY to TEXT (repeatable)")
      ->allow_extra_args(false);
  cmd->add_option("--watermark", options->watermark,
                  "Put the watermark of this record text on the pages (see the README)");
  cmd->add_option("-o,--output", options->output, "Write to FILE instead of standard output");
  cmd->add_flag("--json", options->json, "Print the pieces as JSON");
  cmd->callback([options, &status] { status = RunTicket(*options); });
}

}  // namespace quill::cli
