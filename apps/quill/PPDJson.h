// JSON and outline forms of a parsed PPD, shared by the subcommands.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "PPDX/KRTPPD.h"

namespace quill::cli {

using Json = nlohmann::ordered_json;

// JSON null for a null text, else the text.
Json TextOrNull(const char* text);
// The error list, in order: code, name, keyword, fatal.
Json ErrorsJson(KRTPPD& ppd);
// The whole tree as the "tree --json" object.
Json TreeJson(KRTPPD& ppd, const std::string& path);
// The indented outline of pages, panes, roll-downs, groups and controls.
std::string TreeOutline(KRTPPD& ppd, const std::string& path);
// Prints JSON to standard output (invalid UTF-8 is replaced, never fatal).
void PrintJson(const Json& json);

}  // namespace quill::cli
