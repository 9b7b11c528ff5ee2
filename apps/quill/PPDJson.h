// JSON and outline forms of a parsed PPD, shared by the subcommands.
#pragma once

#include <nlohmann/json.hpp>
#include <cstdio>
#include <string>

#include "PPDX/KRTPPD.h"

namespace quill::cli {

using Json = nlohmann::ordered_json;

// JSON null for a null text, else the text.
Json TextOrNull(const char* text);
// The error list, in order: code, name, keyword, fatal.
Json ErrorsJson(KRTPPD& ppd);
// Writes the whole tree as the "tree --json" object (and a newline) to `out` while walking it,
// without building a document. Returns false when `out` reports a write error.
[[nodiscard]] bool WriteTreeJson(KRTPPD& ppd, const std::string& path, std::FILE* out);
// The indented outline of pages, panes, roll-downs, groups and controls.
std::string TreeOutline(KRTPPD& ppd, const std::string& path);
// Prints JSON to standard output (invalid UTF-8 is replaced, never fatal).
void PrintJson(const Json& json);

}  // namespace quill::cli
