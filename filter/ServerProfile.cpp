#include "ServerProfile.h"

#include <fstream>
#include <sstream>

#include "platform/Paths.h"

namespace quill::cqf {
namespace {

bool IsSectionName(std::string_view name) {
  if (name.empty() || name.size() > 36) return false;
  for (const char c : name) {
    if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))) return false;
  }
  return true;
}

void TrimTrailingBlankLines(std::string& text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ' || text.back() == '\t')) {
    const size_t nl = text.rfind('\n');
    const std::string_view last = std::string_view(text).substr(nl == std::string::npos ? 0 : nl + 1);
    if (last.find_first_not_of(" \t") != std::string_view::npos) break;
    text.erase(nl == std::string::npos ? 0 : nl);
  }
}

}  // namespace

std::string ServerProfile::PathFor(std::string_view queue) {
  return Paths::Resolve("/etc/quill/profiles/" + std::string(queue) + ".conf");
}

ServerProfile ServerProfile::Load(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  std::ostringstream text;
  text << in.rdbuf();
  return Parse(text.str());
}

ServerProfile ServerProfile::Parse(std::string_view text) {
  ServerProfile profile;
  std::string name;
  std::string body;
  bool in_section = false;
  int line_number = 0;
  auto finish = [&] {
    if (!in_section) return;
    TrimTrailingBlankLines(body);
    if (name == "ServerInfo") {
      std::istringstream lines(body);
      std::string line;
      while (std::getline(lines, line)) {
        const size_t eq = line.find('=');
        if (eq == std::string::npos || eq == 0) continue;
        profile.server_info_.emplace_back(line.substr(0, eq), line.substr(eq + 1));
      }
    } else {
      for (auto& section : profile.sections_) {
        if (section.first == name) {
          section.second = body;
          return;
        }
      }
      profile.sections_.emplace_back(name, body);
    }
  };

  size_t at = 0;
  while (at <= text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(at, end - at);
    at = end + 1;
    ++line_number;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (!line.empty() && line.front() == '#') continue;
    if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
      finish();
      name = std::string(line.substr(1, line.size() - 2));
      body.clear();
      in_section = IsSectionName(name);
      if (!in_section) {
        profile.problems_.push_back("line " + std::to_string(line_number) + ": bad section name \"" +
                                    name + "\"");
      }
      continue;
    }
    if (!in_section) {
      if (line.find_first_not_of(" \t") != std::string_view::npos) {
        profile.problems_.push_back("line " + std::to_string(line_number) + ": outside a section");
      }
      continue;
    }
    if (body.empty() && line.empty()) continue;  // blank lines before the text
    body += line;
    body += '\n';
  }
  finish();
  return profile;
}

}  // namespace quill::cqf
