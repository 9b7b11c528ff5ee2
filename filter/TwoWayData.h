// TwoWayData: the two-way data file the filter leaves for the panel: the sections "ServerInfo",
// "TonerInfo" and "TrayInfo" made from what the print server reports, "BidiData" with the data
// document's header, and the sections of the queue's server profile, each a wide text (UTF-32
// in host byte order) in the record format of CFileHdlr.
//
// The file is written to a temporary file in its folder and renamed into place, so that a reader
// never sees half a file; the marker file "<queue>.open" exists meanwhile.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "ServerProfile.h"
#include "ServerQuery.h"

namespace quill::cqf {

// Section texts (UTF-8 here; WideBytes makes the payload).
//   ServerInfo: "value:Item" lines: ServerName, ServerVersion, ProductFamily, PSSupport,
//     PCLSupport from the server, then the profile's items the server did not answer.
//   TonerInfo: count line, then per toner "name@level@100@colour or NULL@low@high@type" (type 1
//     toner, 2 ink, 3 waste toner, 0 other).
//   TrayInfo: "count:" then per tray "name@media@type@colour@size@weight@source@state@level@
//     capacity:" (type to weight "EMPTY" when unknown; state "ready").
[[nodiscard]] std::string ServerInfoText(const ServerState& state, const ServerProfile& profile);
[[nodiscard]] std::string TonerInfoText(const ServerState& state);
[[nodiscard]] std::string TrayInfoText(const ServerState& state);
// The data document's header (locale, PPD path, server address) and closing tag.
[[nodiscard]] std::string BidiDataText(std::string_view locale, std::string_view ppdPath,
                                       std::string_view server, std::string_view body);

// UTF-32 code units (host order) of UTF-8 text; bad bytes become U+FFFD.
[[nodiscard]] std::string WideBytes(std::string_view utf8);

// The whole file text: each section (name, UTF-8 text) as a wide payload in the record format.
[[nodiscard]] std::string BuildTwoWayFile(const std::vector<ServerProfile::Section>& sections);

// Writes `text` as "<folder><queue>.bididata" (folder ends in "/") through a temporary file and a
// rename, with "<queue>.open" present meanwhile. False with the reason in *error.
bool WriteTwoWayFile(const std::string& folder, const std::string& queue, const std::string& text,
                     std::string* error);

}  // namespace quill::cqf
