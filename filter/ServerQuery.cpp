#include "ServerQuery.h"

#include <cups/cups.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace quill::cqf {
namespace {

struct IppDeleter {
  void operator()(ipp_t* ipp) const { ippDelete(ipp); }
};
struct HttpCloser {
  void operator()(http_t* http) const { httpClose(http); }
};

std::vector<std::string> Strings(ipp_t* response, const char* name) {
  std::vector<std::string> values;
  ipp_attribute_t* attr = ippFindAttribute(response, name, IPP_TAG_ZERO);
  for (int i = 0; attr != nullptr && i < ippGetCount(attr); ++i) {
    const char* value = ippGetString(attr, i, nullptr);
    values.emplace_back(value != nullptr ? value : "");
  }
  return values;
}

std::string String(ipp_t* response, const char* name) {
  std::vector<std::string> values = Strings(response, name);
  return values.empty() ? std::string() : values.front();
}

std::vector<int> Integers(ipp_t* response, const char* name) {
  std::vector<int> values;
  ipp_attribute_t* attr = ippFindAttribute(response, name, IPP_TAG_INTEGER);
  for (int i = 0; attr != nullptr && i < ippGetCount(attr); ++i) values.push_back(ippGetInteger(attr, i));
  return values;
}

template <typename T>
T At(const std::vector<T>& values, size_t i, T fallback) {
  return i < values.size() ? values[i] : fallback;
}

// Value of `key` in a printer-input-tray text ("type=...;level=250;name=Tray 1;"); "" when absent.
std::string TrayField(std::string_view text, std::string_view key) {
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find(';', at);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view item = text.substr(at, end - at);
    const size_t eq = item.find('=');
    if (eq != std::string_view::npos && item.substr(0, eq) == key) {
      std::string value;
      for (size_t i = eq + 1; i < item.size(); ++i) {
        if (item[i] == '\\' && i + 1 < item.size()) ++i;  // "\ " escapes in some servers' texts
        value += item[i];
      }
      return value;
    }
    at = end + 1;
  }
  return {};
}

int TrayNumber(std::string_view text, std::string_view key, int fallback) {
  const std::string value = TrayField(text, key);
  if (value.empty()) return fallback;
  char* end = nullptr;
  const long number = std::strtol(value.c_str(), &end, 10);
  return end != nullptr && *end == '\0' ? static_cast<int>(number) : fallback;
}

void FillFromMediaCol(TrayState& tray, ipp_t* col) {
  if (col == nullptr) return;
  auto text = [col](const char* name) {
    ipp_attribute_t* attr = ippFindAttribute(col, name, IPP_TAG_ZERO);
    const char* value = attr != nullptr ? ippGetString(attr, 0, nullptr) : nullptr;
    return std::string(value != nullptr ? value : "");
  };
  tray.media = text("media-size-name");
  tray.type = text("media-type");
  tray.color = text("media-color");
  tray.source = text("media-source");
  if (ipp_attribute_t* weight = ippFindAttribute(col, "media-weight-metric", IPP_TAG_INTEGER)) {
    tray.weight = std::to_string(ippGetInteger(weight, 0));
  }
  if (ipp_attribute_t* size = ippFindAttribute(col, "media-size", IPP_TAG_BEGIN_COLLECTION)) {
    ipp_t* dims = ippGetCollection(size, 0);
    ipp_attribute_t* x = ippFindAttribute(dims, "x-dimension", IPP_TAG_INTEGER);
    ipp_attribute_t* y = ippFindAttribute(dims, "y-dimension", IPP_TAG_INTEGER);
    if (x != nullptr && y != nullptr) {
      tray.size = std::to_string(ippGetInteger(x, 0)) + "x" + std::to_string(ippGetInteger(y, 0));
    }
  }
}

}  // namespace

std::string PrintServerURI(std::string_view address, std::string_view deviceURI) {
  std::string_view from = !address.empty() ? address : deviceURI;
  while (!from.empty() && (from.front() == ' ' || from.front() == '\t')) from.remove_prefix(1);
  while (!from.empty() && (from.back() == ' ' || from.back() == '\t')) from.remove_suffix(1);
  if (from.empty()) return {};
  const std::string text(from.substr(0, from.find('?')));
  if (text.find("://") == std::string::npos) {
    // A bare host (or host:port) as the panel's address field holds it.
    if (text.find_first_of("/ @") != std::string::npos) return {};
    return "ipp://" + text + "/ipp/print";
  }
  char scheme[32], user[256], host[256], resource[1024];
  int port = 0;
  if (httpSeparateURI(HTTP_URI_CODING_ALL, text.c_str(), scheme, sizeof(scheme), user, sizeof(user),
                      host, sizeof(host), &port, resource, sizeof(resource)) < HTTP_URI_STATUS_OK ||
      host[0] == '\0') {
    return {};
  }
  const std::string s = scheme;
  if (s == "ipp" || s == "ipps" || s == "http" || s == "https") return text;
  // Another backend (socket, lpd, ...): ask the same host over IPP.
  return std::string("ipp://") + host + "/ipp/print";
}

ServerState ServerStateFromIPP(ipp_t* response) {
  ServerState state;
  if (response == nullptr) return state;
  state.name = String(response, "printer-name");
  state.info = String(response, "printer-info");
  state.model = String(response, "printer-make-and-model");
  state.firmware = String(response, "printer-firmware-string-version");
  state.formats = Strings(response, "document-format-supported");

  const std::vector<std::string> names = Strings(response, "marker-names");
  const std::vector<std::string> colors = Strings(response, "marker-colors");
  const std::vector<std::string> types = Strings(response, "marker-types");
  const std::vector<int> levels = Integers(response, "marker-levels");
  const std::vector<int> lows = Integers(response, "marker-low-levels");
  const std::vector<int> highs = Integers(response, "marker-high-levels");
  for (size_t i = 0; i < names.size(); ++i) {
    state.markers.push_back({names[i], At(colors, i, std::string()), At(types, i, std::string()),
                             At(levels, i, -1), At(lows, i, -1), At(highs, i, -1)});
  }

  const std::vector<std::string> ready = Strings(response, "media-ready");
  ipp_attribute_t* cols = ippFindAttribute(response, "media-col-ready", IPP_TAG_BEGIN_COLLECTION);
  ipp_attribute_t* inputs = ippFindAttribute(response, "printer-input-tray", IPP_TAG_STRING);
  const size_t count =
      std::max({ready.size(), static_cast<size_t>(cols != nullptr ? ippGetCount(cols) : 0)});
  for (size_t i = 0; i < count; ++i) {
    TrayState tray;
    if (cols != nullptr && static_cast<int>(i) < ippGetCount(cols)) {
      FillFromMediaCol(tray, ippGetCollection(cols, static_cast<int>(i)));
    }
    if (tray.media.empty()) tray.media = At(ready, i, std::string());
    if (inputs != nullptr && static_cast<int>(i) < ippGetCount(inputs)) {
      int length = 0;
      const void* data = ippGetOctetString(inputs, static_cast<int>(i), &length);
      const std::string_view text(static_cast<const char*>(data), data != nullptr ? length : 0);
      tray.name = TrayField(text, "name");
      tray.level = TrayNumber(text, "level", -2);
      tray.capacity = TrayNumber(text, "maxcapacity", -2);
    }
    if (tray.name.empty()) tray.name = !tray.source.empty() ? tray.source : "Tray " + std::to_string(i + 1);
    state.trays.push_back(std::move(tray));
  }
  return state;
}

QueryResult QueryPrintServer(const std::string& uri, int timeoutMs) {
  QueryResult result;
  result.uri = uri;
  char scheme[32], user[256], host[256], resource[1024];
  int port = 0;
  if (uri.empty() ||
      httpSeparateURI(HTTP_URI_CODING_ALL, uri.c_str(), scheme, sizeof(scheme), user, sizeof(user),
                      host, sizeof(host), &port, resource, sizeof(resource)) < HTTP_URI_STATUS_OK) {
    result.error = "not a print server address: \"" + uri + "\"";
    return result;
  }
  const bool tls = std::strcmp(scheme, "ipps") == 0 || std::strcmp(scheme, "https") == 0;
  int cancel = 0;
  std::unique_ptr<http_t, HttpCloser> http(
      httpConnect2(host, port, nullptr, AF_UNSPEC,
                   tls ? HTTP_ENCRYPTION_ALWAYS : HTTP_ENCRYPTION_IF_REQUESTED, 1, timeoutMs, &cancel));
  if (!http) {
    result.error = std::string("cannot reach ") + host + ":" + std::to_string(port) + ": " +
                   cupsLastErrorString();
    return result;
  }
  httpSetTimeout(http.get(), timeoutMs / 1000.0, nullptr, nullptr);

  ipp_t* request = ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri.c_str());
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
  static const char* const kWanted[] = {
      "printer-name", "printer-info", "printer-make-and-model", "printer-firmware-string-version",
      "document-format-supported", "marker-names", "marker-colors", "marker-types", "marker-levels",
      "marker-low-levels", "marker-high-levels", "media-ready", "media-col-ready",
      "printer-input-tray"};
  ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                static_cast<int>(std::size(kWanted)), nullptr, kWanted);
  std::unique_ptr<ipp_t, IppDeleter> response(cupsDoRequest(http.get(), request, resource));
  if (!response || cupsLastError() > IPP_STATUS_OK_EVENTS_COMPLETE) {
    result.error = "the print server at " + uri + " did not answer: " + cupsLastErrorString();
    return result;
  }
  result.state = ServerStateFromIPP(response.get());
  result.ok = true;
  return result;
}

}  // namespace quill::cqf
