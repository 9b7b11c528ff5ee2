#include "platform/SystemInfo.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>

namespace quill {
namespace {

struct Settings {
  SystemVersion version;
  std::optional<std::string> user_name;
  std::string bundle_identifier = "org.quill.cli";
};

Settings& settings() {
  static Settings s;
  return s;
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

std::string SystemInfo::HostBundleIdentifier() { return settings().bundle_identifier; }
void SystemInfo::SetHostBundleIdentifier(std::string identifier) {
  settings().bundle_identifier = std::move(identifier);
}

void SystemInfo::Reset() { settings() = Settings{}; }

}  // namespace quill
