#include "platform/SystemInfo.h"

#include <errno.h>
#include <pwd.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include "platform/Paths.h"

namespace quill {
namespace {

struct Settings {
  SystemVersion version;
  std::optional<std::string> user_name;
  std::optional<std::string> user_full_name;
  std::string bundle_identifier = "org.quill.cli";
  std::string short_version;
  std::optional<std::string> process_name;
  std::optional<TimeOfDay> time;
  std::optional<int64_t> process_id;
  std::optional<std::vector<NetworkInterface>> interfaces;
  std::optional<std::string> default_route;
};

Settings& settings() {
  static Settings s;
  return s;
}

std::string read_first_line(const std::string& path) {
  std::ifstream file(path);
  std::string line;
  std::getline(file, line);
  return line;
}

bool safe_interface_name(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

// "aa:bb:cc:dd:ee:ff" as six bytes; nullopt for any other text.
std::optional<std::array<uint8_t, 6>> parse_hardware_address(const std::string& text) {
  unsigned int bytes[6];
  char end = '\0';
  if (std::sscanf(text.c_str(), "%2x:%2x:%2x:%2x:%2x:%2x%c", &bytes[0], &bytes[1], &bytes[2],
                  &bytes[3], &bytes[4], &bytes[5], &end) != 6) {
    return std::nullopt;
  }
  std::array<uint8_t, 6> address{};
  for (size_t i = 0; i < address.size(); ++i) address[i] = static_cast<uint8_t>(bytes[i]);
  return address;
}

std::vector<NetworkInterface> read_interfaces() {
  std::vector<NetworkInterface> interfaces;
  const std::string folder = Paths::Resolve("/sys/class/net");
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    NetworkInterface interface;
    interface.name = entry.path().filename().string();
    if (!safe_interface_name(interface.name)) continue;
    const std::string path = folder + "/" + interface.name;
    interface.hardwareType = std::atoi(read_first_line(path + "/type").c_str());
    interface.address = parse_hardware_address(read_first_line(path + "/address"));
    interfaces.push_back(std::move(interface));
  }
  return interfaces;
}

std::vector<NetworkInterface> sorted_by_name(std::vector<NetworkInterface> interfaces) {
  std::stable_sort(
      interfaces.begin(), interfaces.end(),
      [](const NetworkInterface& a, const NetworkInterface& b) { return a.name < b.name; });
  return interfaces;
}

std::string read_default_route() {
  std::ifstream routes(Paths::Resolve("/proc/net/route"));
  std::string line;
  std::getline(routes, line);  // column titles
  std::string best;
  unsigned long best_metric = ULONG_MAX;
  while (std::getline(routes, line)) {
    std::istringstream fields(line);
    std::string name, destination, gateway, flags_text, refcount, use, metric_text, mask;
    if (!(fields >> name >> destination >> gateway >> flags_text >> refcount >> use >>
          metric_text >> mask)) {
      continue;
    }
    const unsigned long flags = std::strtoul(flags_text.c_str(), nullptr, 16);
    const unsigned long metric = std::strtoul(metric_text.c_str(), nullptr, 10);
    if (destination != "00000000" || mask != "00000000" || (flags & 1) == 0) continue;  // RTF_UP
    if (metric < best_metric) {
      best = name;
      best_metric = metric;
    }
  }
  return best;
}

}  // namespace

SystemVersion SystemInfo::Version() { return settings().version; }
void SystemInfo::SetVersion(SystemVersion version) { settings().version = version; }

std::string SystemInfo::UserName() {
  if (settings().user_name) return *settings().user_name;
  if (const passwd* pw = getpwuid(geteuid()); pw != nullptr && pw->pw_name != nullptr) {
    return pw->pw_name;
  }
  if (const char* user = std::getenv("USER"); user != nullptr) return user;
  return {};
}
void SystemInfo::SetUserName(std::string name) { settings().user_name = std::move(name); }

std::string SystemInfo::UserFullName() {
  if (settings().user_full_name) return *settings().user_full_name;
  const passwd* pw = getpwuid(geteuid());
  if (pw == nullptr || pw->pw_gecos == nullptr) return {};
  std::string gecos = pw->pw_gecos;
  return gecos.substr(0, gecos.find(','));
}
void SystemInfo::SetUserFullName(std::string name) {
  settings().user_full_name = std::move(name);
}

std::string SystemInfo::HostBundleIdentifier() { return settings().bundle_identifier; }
void SystemInfo::SetHostBundleIdentifier(std::string identifier) {
  settings().bundle_identifier = std::move(identifier);
}

std::string SystemInfo::HostShortVersion() { return settings().short_version; }
void SystemInfo::SetHostShortVersion(std::string version) {
  settings().short_version = std::move(version);
}

std::string SystemInfo::HostProcessName() {
  if (settings().process_name) return *settings().process_name;
  return program_invocation_short_name != nullptr ? program_invocation_short_name : "";
}
void SystemInfo::SetHostProcessName(std::optional<std::string> name) {
  settings().process_name = std::move(name);
}

TimeOfDay SystemInfo::CurrentTime() {
  if (settings().time) return *settings().time;
  timeval now{};
  gettimeofday(&now, nullptr);
  return {static_cast<int64_t>(now.tv_sec), static_cast<int64_t>(now.tv_usec)};
}
void SystemInfo::SetCurrentTime(std::optional<TimeOfDay> time) { settings().time = time; }

int64_t SystemInfo::ProcessId() {
  return settings().process_id ? *settings().process_id : static_cast<int64_t>(getpid());
}
void SystemInfo::SetProcessId(std::optional<int64_t> id) { settings().process_id = id; }

std::vector<NetworkInterface> SystemInfo::NetworkInterfaces() {
  return sorted_by_name(settings().interfaces ? *settings().interfaces : read_interfaces());
}
void SystemInfo::SetNetworkInterfaces(std::optional<std::vector<NetworkInterface>> interfaces) {
  settings().interfaces = std::move(interfaces);
}

std::string SystemInfo::DefaultRouteInterface() {
  return settings().default_route ? *settings().default_route : read_default_route();
}
void SystemInfo::SetDefaultRouteInterface(std::optional<std::string> name) {
  settings().default_route = std::move(name);
}

void SystemInfo::Reset() { settings() = Settings{}; }

}  // namespace quill
