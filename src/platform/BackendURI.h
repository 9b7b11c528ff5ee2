#pragma once

// Device URIs of queues that put the quill backend in front of the backend that reaches the print
// server: "quill:" followed by that backend's URI ("quill:ipp://server/ipp/print"). The quill
// backend ends command jobs itself (they have nothing to send, and the network backend would load
// its libraries and look the server up for nothing) and hands every other job to the inner backend.
//
// Header only and free of libcups: the backend program uses it without linking anything else.

#include <string>
#include <string_view>

namespace quill::backend_uri {

inline constexpr std::string_view kPrefix = "quill:";

// The scheme of `uri` (the text before its first ':') when it is a valid one: a letter, then
// letters, digits, '+', '-' or '.'. Empty otherwise, so that it can name a backend file safely.
constexpr std::string_view Scheme(std::string_view uri) {
  const size_t colon = uri.find(':');
  if (colon == std::string_view::npos || colon == 0) return {};
  const std::string_view scheme = uri.substr(0, colon);
  auto letter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
  if (!letter(scheme.front())) return {};
  for (const char c : scheme) {
    if (!letter(c) && !(c >= '0' && c <= '9') && c != '+' && c != '-' && c != '.') return {};
  }
  return scheme;
}

constexpr bool IsWrapped(std::string_view uri) { return uri.substr(0, kPrefix.size()) == kPrefix; }

// The backends the quill backend may start: those that reach a print server over the network and
// that CUPS runs as the unprivileged user, as it runs the quill backend. (A backend that CUPS runs
// as root, such as lpd or usb, keeps its queue's plain URI.)
constexpr bool IsWrappableScheme(std::string_view scheme) {
  return scheme == "ipp" || scheme == "ipps" || scheme == "http" || scheme == "https" ||
         scheme == "socket";
}

// The URI of the backend behind the quill backend; any other URI unchanged. Readers that want the
// printer's address take this.
constexpr std::string_view Inner(std::string_view uri) {
  return IsWrapped(uri) ? uri.substr(kPrefix.size()) : uri;
}

// `uri` with the quill backend in front when its backend can be wrapped; unchanged otherwise
// (already wrapped, another backend, or not a URI).
inline std::string Wrapped(std::string_view uri) {
  const std::string_view scheme = Scheme(uri);
  if (IsWrapped(uri) || !IsWrappableScheme(scheme) || uri.substr(scheme.size(), 3) != "://") {
    return std::string(uri);
  }
  return std::string(kPrefix) + std::string(uri);
}

}  // namespace quill::backend_uri
