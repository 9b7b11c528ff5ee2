#include "server/SpoolerCommands.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <random>
#include <thread>

#include "platform/Paths.h"

namespace quill {
namespace {

std::optional<double>& scale_override() {
  static std::optional<double> scale;
  return scale;
}

double ScaleFromEnvironment() {
  const char* text = std::getenv(SpoolerWaits::kScaleVariable);
  if (text == nullptr) return 1.0;
  char* end = nullptr;
  double value = std::strtod(text, &end);
  return (end != text && value > 0.0) ? value : 1.0;
}

}  // namespace

std::string NewCommandIdentifier() {
  static thread_local std::mt19937_64 gen{std::random_device{}()};
  unsigned char bytes[16];
  for (int i = 0; i < 16; i += 8) {
    uint64_t word = gen();
    for (int j = 0; j < 8; ++j) bytes[i + j] = static_cast<unsigned char>(word >> (8 * j));
  }
  bytes[6] = static_cast<unsigned char>((bytes[6] & 0x0F) | 0x40);  // version 4
  bytes[8] = static_cast<unsigned char>((bytes[8] & 0x3F) | 0x80);  // variant 1
  char text[37];
  std::snprintf(text, sizeof text,
                "%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X", bytes[0],
                bytes[1], bytes[2], bytes[3], bytes[4], bytes[5], bytes[6], bytes[7], bytes[8],
                bytes[9], bytes[10], bytes[11], bytes[12], bytes[13], bytes[14], bytes[15]);
  return text;
}

std::string CacheFolder() { return Paths::Resolve(kCacheFolder); }

bool IsCacheFileName(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  for (char c : name) {
    if (c == '/' || static_cast<unsigned char>(c) < 0x20) return false;
  }
  return true;
}

std::optional<std::string> ConfinedCachePath(std::string_view nameOrPath) {
  if (IsCacheFileName(nameOrPath)) return CacheFolder() + std::string(nameOrPath);
  for (const std::string& folder : {std::string(kCacheFolder), CacheFolder()}) {
    if (nameOrPath.substr(0, folder.size()) == folder &&
        IsCacheFileName(nameOrPath.substr(folder.size()))) {
      return CacheFolder() + std::string(nameOrPath.substr(folder.size()));
    }
  }
  return std::nullopt;
}

std::optional<std::string> ConnectionErrorFilePath(std::string_view identifier) {
  std::string name = "ConnectionErrorInfoFile" + std::string(identifier) + ".txt";
  if (identifier.find('\0') != std::string_view::npos || !IsCacheFileName(name)) {
    return std::nullopt;
  }
  return CacheFolder() + name;
}

double SpoolerWaits::TimeScale() {
  if (scale_override()) return *scale_override();
  static const double from_environment = ScaleFromEnvironment();
  return from_environment;
}

void SpoolerWaits::SetTimeScale(double scale) {
  if (scale > 0.0) scale_override() = scale;
}

void SpoolerWaits::ResetTimeScale() { scale_override().reset(); }

void SpoolerWaits::Sleep(double milliseconds) {
  std::this_thread::sleep_for(std::chrono::duration<double, std::milli>(milliseconds * TimeScale()));
}

}  // namespace quill
