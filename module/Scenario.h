// The stand-in module's scenario file: one instruction per line ("#" starts a comment line).
//
//   answer N              what JP1_1OpenUI answers (default 0, accepted)
//   begin-fails           JP1_1BeginSession starts no session
//   never-ready           JP1_1IsServerReady never answers true
//   ready-after N         ... answers true from the N+1-th question on
//   set KEY=VALUE         the returned settings hold KEY with VALUE (changed or added)
//   watermark ID=TEXT     the returned watermarks (the first such line replaces those received)
//   settings MODE         returned settings: null, null-entries, garbage-count, null-strings
//   watermarks null       no watermark list is returned
//   dict NAME             also ask the server dictionary for NAME
//
// Header-only so that the module and its fuzz target read scenarios the same way.
#pragma once

#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quill::standin {

using Pairs = std::vector<std::pair<std::wstring, std::wstring>>;

struct Scenario {
  int answer = 0;
  bool beginFails = false;
  int readyAfter = 0;         // questions before ready; -1 never
  std::string settingsMode;   // "", "null", "null-entries", "garbage-count", "null-strings"
  std::string watermarkMode;  // "", "null"
  Pairs sets;
  Pairs watermarks;
  bool watermarksGiven = false;
  std::vector<std::wstring> dictNames;
};

// UTF-8 to wide text; a malformed sequence gives U+FFFD for its first byte.
inline std::wstring Widen(std::string_view s) {
  std::wstring out;
  for (std::size_t i = 0; i < s.size();) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    const int extra = c >= 0xF0 && c < 0xF8 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : c >= 0x80 ? -1 : 0;
    if (extra < 0 || i + static_cast<std::size_t>(extra) >= s.size() + (extra == 0 ? 1 : 0)) {
      out += extra == 0 ? static_cast<wchar_t>(c) : L'\xFFFD';
      ++i;
      continue;
    }
    char32_t cp = extra == 0 ? c : (c & (0x3F >> extra));
    bool ok = true;
    for (int k = 1; k <= extra; ++k) {
      const unsigned char n = static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]);
      ok = ok && (n & 0xC0) == 0x80;
      cp = (cp << 6) | (n & 0x3F);
    }
    if (!ok) {
      out += L'\xFFFD';
      ++i;
      continue;
    }
    out += static_cast<wchar_t>(cp);
    i += static_cast<std::size_t>(extra) + 1;
  }
  return out;
}

// A bounded number: leading sign and digits, kept within -1..100000.
inline int ScenarioNumber(const std::string& text) {
  long n = std::strtol(text.c_str(), nullptr, 10);
  if (n < -100000) n = -100000;
  if (n > 100000) n = 100000;
  return static_cast<int>(n);
}

// Reads `text` into `scenario` (which starts as given); returns the lines it did not understand.
inline std::vector<std::string> ParseScenario(std::string_view text, Scenario& scenario) {
  std::vector<std::string> unknown;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string line(text.substr(0, end));
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    const std::size_t space = line.find(' ');
    const std::string word = line.substr(0, space);
    const std::string rest = space == std::string::npos ? std::string() : line.substr(space + 1);
    const std::size_t eq = rest.find('=');
    if (word == "answer") {
      scenario.answer = ScenarioNumber(rest);
    } else if (word == "begin-fails") {
      scenario.beginFails = true;
    } else if (word == "never-ready") {
      scenario.readyAfter = -1;
    } else if (word == "ready-after") {
      scenario.readyAfter = ScenarioNumber(rest) < 0 ? 0 : ScenarioNumber(rest);
    } else if (word == "settings" &&
               (rest == "null" || rest == "null-entries" || rest == "garbage-count" || rest == "null-strings")) {
      scenario.settingsMode = rest;
    } else if (word == "watermarks" && rest == "null") {
      scenario.watermarkMode = rest;
    } else if (word == "set" && eq != std::string::npos && eq > 0) {
      scenario.sets.emplace_back(Widen(rest.substr(0, eq)), Widen(rest.substr(eq + 1)));
    } else if (word == "watermark" && eq != std::string::npos) {
      scenario.watermarksGiven = true;
      scenario.watermarks.emplace_back(Widen(rest.substr(0, eq)), Widen(rest.substr(eq + 1)));
    } else if (word == "dict" && !rest.empty()) {
      scenario.dictNames.push_back(Widen(rest));
    } else {
      unknown.push_back(line);
    }
  }
  return unknown;
}

}  // namespace quill::standin
