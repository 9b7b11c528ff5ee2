// ServerProfile: what an administrator tells the filter about a queue's server that IPP cannot
// answer (presets, feature support, help strings, disk and memory figures, ...).
//
// One file per queue, "/etc/quill/profiles/<queue>.conf" under the configurable root. The file is
// a list of sections, each opened by a line "[SectionName]"; the lines up to the next section are
// the section's text, handed to the panel as they stand (in the section's own text format). Lines
// starting with "#" are comments and blank lines at the end of a section are dropped. In
// "[ServerInfo]" each line is "Item=Value" (ServerVersion=7.2, DiskAvailable=120000); these fill
// the items that the print server does not report itself. A missing file is an empty profile.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quill::cqf {

class ServerProfile {
 public:
  using Section = std::pair<std::string, std::string>;  // name, text

  // The profile file of queue `queue` under the root.
  [[nodiscard]] static std::string PathFor(std::string_view queue);
  // Reads the file at `path`; an empty profile when it does not exist or cannot be read.
  [[nodiscard]] static ServerProfile Load(const std::string& path);
  // Reads profile text. A section name must be letters and digits, at most 36 of them; lines of
  // a section with a bad name, and lines before the first section, are skipped (and reported in
  // Problems()).
  [[nodiscard]] static ServerProfile Parse(std::string_view text);

  // Every section but "ServerInfo", in file order; a name given twice keeps its last text.
  [[nodiscard]] const std::vector<Section>& Sections() const { return sections_; }
  // The "[ServerInfo]" items as (item, value), in file order.
  [[nodiscard]] const std::vector<Section>& ServerInfoItems() const { return server_info_; }
  [[nodiscard]] const std::vector<std::string>& Problems() const { return problems_; }

 private:
  std::vector<Section> sections_;
  std::vector<Section> server_info_;
  std::vector<std::string> problems_;
};

}  // namespace quill::cqf
