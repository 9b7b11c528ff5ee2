// SystemInfo: what the system asks of the host (version, user, host application, clock, process
// id, network interfaces). Every answer can be set, so that tests fix what the host would vary.
//
// The system version decides between old and new behaviours at the thresholds 10.6, 10.7, 10.9 and
// 10.15. On Linux it is a setting: it defaults to the newest behaviour and tests set older ones.
// The network interfaces and the routing table are read from the kernel's files under Paths' root
// ("/proc/net/route", "/sys/class/net/<name>/type" and ".../address").
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quill {

struct SystemVersion {
  int major = 10;
  int minor = 15;

  friend bool operator==(const SystemVersion&, const SystemVersion&) = default;
  // True when this version is at least major.minor.
  [[nodiscard]] bool AtLeast(int at_major, int at_minor) const {
    return major > at_major || (major == at_major && minor >= at_minor);
  }
};

// A moment as the time of day gives it: seconds and microseconds since the epoch.
struct TimeOfDay {
  int64_t seconds = 0;
  int64_t microseconds = 0;  // 0 to 999999

  friend bool operator==(const TimeOfDay&, const TimeOfDay&) = default;
};

// One network interface of the host.
struct NetworkInterface {
  static constexpr int kEthernetType = 1;  // the kernel's ARPHRD_ETHER

  std::string name;
  int hardwareType = 0;  // kEthernetType for Ethernet-like interfaces
  // Hardware address; nullopt when the interface has none or it cannot be read.
  std::optional<std::array<uint8_t, 6>> address;

  friend bool operator==(const NetworkInterface&, const NetworkInterface&) = default;
};

class SystemInfo {
 public:
  // The version whose behaviour the system follows; 10.15 unless set.
  static SystemVersion Version();
  static void SetVersion(SystemVersion version);

  // Login name of the current user: the setting, else the password database, else $USER, else "".
  static std::string UserName();
  static void SetUserName(std::string name);

  // Full name of the current user: the setting, else the first comma-separated field of the
  // password database's comment (GECOS) field, else "".
  static std::string UserFullName();
  static void SetUserFullName(std::string name);

  // Identifier of the host application ("bundle identifier"); "org.quill.cli" unless set.
  static std::string HostBundleIdentifier();
  static void SetHostBundleIdentifier(std::string identifier);
  // Short version string of the host application ("CFBundleShortVersionString"); "" unless set.
  static std::string HostShortVersion();
  static void SetHostShortVersion(std::string version);
  // Name of the host process: the setting, else the name the process was started under (its
  // last path component).
  static std::string HostProcessName();
  static void SetHostProcessName(std::optional<std::string> name);

  // The time of day; the setting when one is given.
  static TimeOfDay CurrentTime();
  static void SetCurrentTime(std::optional<TimeOfDay> time);

  // Id of this process; the setting when one is given.
  static int64_t ProcessId();
  static void SetProcessId(std::optional<int64_t> id);

  // The interfaces of the host (or the setting when one is given), sorted by name. Names that
  // could step out of the interface folder ("", ".", "..", any with "/") are left out of what is
  // read. Empty when the list cannot be read.
  static std::vector<NetworkInterface> NetworkInterfaces();
  static void SetNetworkInterfaces(std::optional<std::vector<NetworkInterface>> interfaces);

  // Name of the interface that the default route (destination and mask 0, route up) with the
  // lowest metric leaves through; the setting when one is given; "" when there is none or the
  // routing table cannot be read.
  static std::string DefaultRouteInterface();
  static void SetDefaultRouteInterface(std::optional<std::string> name);

  // Restores every setting to its default.
  static void Reset();
};

}  // namespace quill
