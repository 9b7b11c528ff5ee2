// SystemInfo: what the panel asks of the host system (version, user, host application).
//
// The system version decides between old and new behaviours at the thresholds 10.6, 10.7, 10.9 and
// 10.15. On Linux it is a setting: it defaults to the newest behaviour and tests set older ones.
#pragma once

#include <string>

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

class SystemInfo {
 public:
  // The version whose behaviour the system follows; 10.15 unless set.
  static SystemVersion Version();
  static void SetVersion(SystemVersion version);

  // Login name of the current user: the setting, else the password database, else $USER, else "".
  static std::string UserName();
  static void SetUserName(std::string name);

  // Identifier of the host application ("bundle identifier"); "org.quill.cli" unless set.
  static std::string HostBundleIdentifier();
  static void SetHostBundleIdentifier(std::string identifier);

  // Restores every setting to its default.
  static void Reset();
};

}  // namespace quill
