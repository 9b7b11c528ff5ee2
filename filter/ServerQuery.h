// ServerQuery: what the filter asks the Quill print server over IPP (Get-Printer-Attributes):
// its name, model and firmware, the document formats it takes, its toners (marker-* attributes)
// and its trays (media-ready, media-col-ready, printer-input-tray).
#pragma once

#include <string>
#include <string_view>
#include <vector>

typedef struct _ipp_s ipp_t;  // from <cups/ipp.h>

namespace quill::cqf {

struct MarkerState {
  std::string name;   // marker-names
  std::string color;  // marker-colors, "" when not given
  std::string type;   // marker-types
  int level = -1;     // marker-levels (percent; negative: unknown)
  int low = -1;       // marker-low-levels
  int high = -1;      // marker-high-levels
};

struct TrayState {
  std::string name;    // printer-input-tray name=, else the media source
  std::string media;   // media-size-name, else the media-ready keyword
  std::string type;    // media-type
  std::string color;   // media-color
  std::string size;    // "<x>x<y>" in hundredths of millimetres
  std::string weight;  // media-weight-metric (g/m²)
  std::string source;  // media-source
  int level = -2;      // printer-input-tray level= (sheets; -2 unknown, -3 some left)
  int capacity = -2;   // printer-input-tray maxcapacity=
};

struct ServerState {
  std::string name;      // printer-name
  std::string info;      // printer-info
  std::string model;     // printer-make-and-model
  std::string firmware;  // printer-firmware-string-version
  std::vector<std::string> formats;  // document-format-supported
  std::vector<MarkerState> markers;
  std::vector<TrayState> trays;
};

struct QueryResult {
  bool ok = false;
  ServerState state;
  std::string uri;    // the address asked
  std::string error;  // why it failed, one line
};

// The IPP address of the print server: `address` as the command carries it (a URI, or a host
// with an optional port, which is asked at "/ipp/print"), else the queue's `deviceURI` (a URI of
// another scheme is asked at its host). Options after "?" are dropped. "" when neither gives a
// host.
[[nodiscard]] std::string PrintServerURI(std::string_view address, std::string_view deviceURI);

// Asks the server at `uri` for its state, giving up after `timeoutMs` milliseconds for the
// connection and each read.
[[nodiscard]] QueryResult QueryPrintServer(const std::string& uri, int timeoutMs);

// The state that a Get-Printer-Attributes response describes (missing attributes stay empty).
[[nodiscard]] ServerState ServerStateFromIPP(ipp_t* response);

}  // namespace quill::cqf
