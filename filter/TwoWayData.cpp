#include "TwoWayData.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "foundation/UTF8.h"
#include "server/CFileHdlr.h"
#include "server/SpoolerFiles.h"

namespace quill::cqf {
namespace {

// A value inside a section line: the separators of its format and line ends become blanks.
std::string Field(std::string_view value, std::string_view separators) {
  std::string out(value);
  for (char& c : out) {
    if (c == '\n' || c == '\r' || separators.find(c) != std::string_view::npos) c = ' ';
  }
  return out;
}

int MarkerTypeCode(std::string_view type) {
  if (type == "toner") return 1;
  if (type == "ink" || type == "ink-cartridge") return 2;
  if (type == "waste-toner" || type == "waste-ink") return 3;
  return 0;
}

bool WriteAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t put = write(fd, text.data() + done, text.size() - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    done += static_cast<size_t>(put);
  }
  return true;
}

}  // namespace

std::string ServerInfoText(const ServerState& state, const ServerProfile& profile) {
  std::vector<ServerProfile::Section> items;
  auto add = [&items](const char* item, const std::string& value) {
    if (!value.empty()) items.emplace_back(item, value);
  };
  add("ServerName", !state.name.empty() ? state.name : state.info);
  add("ServerVersion", state.firmware);
  add("ProductFamily", state.model);
  bool ps = false;
  bool pcl = false;
  for (const std::string& format : state.formats) {
    ps = ps || format == "application/postscript";
    pcl = pcl || format == "application/vnd.hp-PCL";
  }
  add("PSSupport", ps ? "yes" : "no");
  add("PCLSupport", pcl ? "yes" : "no");
  for (const auto& [item, value] : profile.ServerInfoItems()) {
    bool known = false;
    for (const auto& have : items) known = known || have.first == item;
    if (!known) items.emplace_back(item, value);
  }
  std::string text;
  for (const auto& [item, value] : items) {
    text += Field(value, ":") + ":" + Field(item, ":") + "\n";
  }
  return text;
}

std::string TonerInfoText(const ServerState& state) {
  std::string text = std::to_string(state.markers.size()) + "\n";
  for (const MarkerState& m : state.markers) {
    text += Field(m.name, "@") + "@" + std::to_string(m.level) + "@100@" +
            (m.color.empty() ? std::string("NULL") : Field(m.color, "@")) + "@" +
            std::to_string(m.low) + "@" + std::to_string(m.high) + "@" +
            std::to_string(MarkerTypeCode(m.type)) + "\n";
  }
  return text;
}

std::string TrayInfoText(const ServerState& state) {
  // The panel reads at most 20 trays.
  const size_t count = state.trays.size() < 20 ? state.trays.size() : 20;
  std::string text = std::to_string(count) + ":";
  auto text_or = [](const std::string& value, const char* fallback) {
    return value.empty() ? std::string(fallback) : Field(value, "@:");
  };
  for (size_t i = 0; i < count; ++i) {
    const TrayState& t = state.trays[i];
    text += text_or(t.name, "N/A") + "@" + text_or(t.media, "N/A") + "@" + text_or(t.type, "EMPTY") +
            "@" + text_or(t.color, "EMPTY") + "@" + text_or(t.size, "EMPTY") + "@" +
            text_or(t.weight, "EMPTY") + "@" + text_or(t.source, "auto") + "@ready@" +
            std::to_string(t.level) + "@" + std::to_string(t.capacity) + ":";
  }
  return text;
}

std::string BidiDataText(std::string_view locale, std::string_view ppdPath, std::string_view server,
                         std::string_view body) {
  std::string text = "<?xml version=\"1.0\" encoding=\"UTF8\"?>\n <SMDData>\n <Configuration locale=\"";
  text += locale;
  text += "\" encoding=\"UTF8\" ppdLocation0=\"";
  text += ppdPath;
  text += "\" server=\"";
  text += server;
  text += "\" ControlScope=\"Driver\" username=\"admin\" /> \n";
  text += body;
  if (!body.empty() && body.back() != '\n') text += '\n';
  text += "</SMDData>\n";
  return text;
}

std::string WideBytes(std::string_view utf8) {
  const std::vector<char32_t> units = DecodeUTF8(utf8);
  std::string bytes(units.size() * sizeof(char32_t), '\0');
  if (!units.empty()) std::memcpy(bytes.data(), units.data(), bytes.size());
  return bytes;
}

std::string BuildTwoWayFile(const std::vector<ServerProfile::Section>& sections) {
  // The record writer also copies every record to standard error, which a filter's cupsd takes
  // for log lines: send that copy nowhere while the file is built.
  std::fflush(stderr);
  const int saved = dup(2);
  const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (saved >= 0 && null >= 0) dup2(null, 2);
  std::string text;
  for (const auto& [name, body] : sections) {
    const std::string payload = WideBytes(body);
    CFileHdlr::fileWriteData(name.c_str(), payload.data(), payload.size(), &text);
  }
  std::fflush(stderr);
  if (saved >= 0 && null >= 0) dup2(saved, 2);
  if (saved >= 0) close(saved);
  if (null >= 0) close(null);
  return text;
}

bool WriteTwoWayFile(const std::string& folder, const std::string& queue, const std::string& text,
                     std::string* error) {
  const std::string marker = SpoolerFiles::MarkerFilePath(folder, queue);
  const std::string target = SpoolerFiles::DataFilePath(folder, queue);
  const int marker_fd = open(marker.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
  if (marker_fd < 0) {
    *error = "cannot create " + marker + ": " + std::strerror(errno);
    return false;
  }
  close(marker_fd);

  std::string temp = folder + "." + queue + ".bididata.XXXXXX";
  const int fd = mkstemp(temp.data());
  bool ok = fd >= 0;
  if (!ok) *error = "cannot create a file in " + folder + ": " + std::strerror(errno);
  if (ok) {
    fchmod(fd, 0644);
    ok = WriteAll(fd, text) && fsync(fd) == 0;
    if (!ok) *error = "cannot write " + temp + ": " + std::strerror(errno);
    if (close(fd) != 0 && ok) {
      ok = false;
      *error = "cannot write " + temp + ": " + std::strerror(errno);
    }
    if (ok && rename(temp.c_str(), target.c_str()) != 0) {
      ok = false;
      *error = "cannot rename " + temp + " to " + target + ": " + std::strerror(errno);
    }
    if (!ok) unlink(temp.c_str());
  }
  unlink(marker.c_str());
  return ok;
}

}  // namespace quill::cqf
