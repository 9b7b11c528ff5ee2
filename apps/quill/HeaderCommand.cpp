// quill header PPD [--names NAME,NAME...] [--json]
//
// Prints the header values of a PPD file and, when names are given, whether the file passes the
// PC file name test with them.
#include <cstdio>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "Commands.h"
#include "PPDX/PPDHeaderReader.h"

namespace quill::cli {
namespace {

struct HeaderOptions {
  std::string path;
  std::vector<std::string> names;
  bool json = false;
};

struct HeaderField {
  const char* label;
  const char* json_key;
  const char* (PPDX::*value)() const;
};

constexpr HeaderField kFields[] = {
    {"Format version", "format_version", &PPDX::FormatVersion},
    {"File version", "file_version", &PPDX::FileVersion},
    {"PC file name", "pc_file_name", &PPDX::PCFileName},
    {"Language version", "language_version", &PPDX::LanguageVersion},
    {"Language encoding", "language_encoding", &PPDX::LanguageEncoding},
    {"Model name", "model_name", &PPDX::ModelName},
    {"Dialog extension", "dialog_extension", &PPDX::PathToPDE},
};

int RunHeader(const HeaderOptions& options) {
  PPDHeaderReader reader(options.path);
  switch (reader.Read()) {
    case PPDHeaderReader::Result::kFileError:
      std::fprintf(stderr, "quill: cannot read %s\n", options.path.c_str());
      return kExitUsageError;
    case PPDHeaderReader::Result::kNotPPDFile:
      std::fprintf(stderr, "quill: %s is not a PPD file (no *PPD-Adobe: \"4.3\" header)\n",
                   options.path.c_str());
      return kExitNotPPD;
    case PPDHeaderReader::Result::kOk:
      break;
  }

  std::optional<bool> name_ok;
  if (!options.names.empty()) {
    name_ok = PPDX::ValidateFileName(options.path, &options.names, nullptr);
  }

  if (options.json) {
    nlohmann::ordered_json out;
    for (const auto& field : kFields) {
      const char* value = (reader.*field.value)();
      out[field.json_key] = value ? nlohmann::ordered_json(value) : nlohmann::ordered_json();
    }
    out["pc_file_name_ok"] = name_ok ? nlohmann::ordered_json(*name_ok) : nlohmann::ordered_json();
    std::printf("%s\n", out.dump(2, ' ', false, nlohmann::json::error_handler_t::replace).c_str());
    return kExitOk;
  }

  for (const auto& field : kFields) {
    const char* value = (reader.*field.value)();
    std::printf("%-19s %s\n", (std::string(field.label) + ":").c_str(), value ? value : "absent");
  }
  if (name_ok) {
    std::printf("%-19s %s\n", "PC file name test:", *name_ok ? "passed" : "failed");
  }
  return kExitOk;
}

}  // namespace

void AddHeaderCommand(CLI::App& app, int& status) {
  auto options = std::make_shared<HeaderOptions>();
  CLI::App* cmd = app.add_subcommand("header", "Print the header values of a PPD file");
  cmd->add_option("PPD", options->path, "PPD file")->required();
  cmd->add_option("--names", options->names, "Accepted PC file names for the PC file name test")
      ->delimiter(',');
  cmd->add_flag("--json", options->json, "Print one JSON object");
  cmd->callback([options, &status] { status = RunHeader(*options); });
}

}  // namespace quill::cli
