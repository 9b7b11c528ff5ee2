#include "server/SpoolerFiles.h"

#include <vector>

#include "platform/Paths.h"

namespace quill {
namespace {

constexpr std::string_view kCacheFolder = "/Library/Caches/KRT";

// The rest of `path` after the folder `folder` ("" when `path` is the folder itself), or
// nullopt when `path` is not inside it.
std::optional<std::string_view> Below(std::string_view path, std::string_view folder) {
  while (folder.size() > 1 && folder.back() == '/') folder.remove_suffix(1);
  if (path.substr(0, folder.size()) != folder) return std::nullopt;
  std::string_view rest = path.substr(folder.size());
  if (!rest.empty() && rest.front() != '/') return std::nullopt;  // "/Library/Caches/KRTx"
  return rest;
}

}  // namespace

std::string SpoolerFiles::CacheFolder() { return Paths::Resolve(kCacheFolder); }

std::optional<std::string> SpoolerFiles::ConfineToCache(std::string_view name, std::string* why) {
  auto refuse = [why](const char* reason) -> std::optional<std::string> {
    if (why != nullptr) *why = reason;
    return std::nullopt;
  };
  if (name.empty()) return refuse("empty file name");
  for (const char c : name) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
      return refuse(c == '\0' ? "NUL byte in file name" : "control character in file name");
    }
  }
  std::string_view rest = name;
  if (name.front() == '/') {
    const std::string cache = CacheFolder();
    std::optional<std::string_view> below = Below(name, cache);
    if (!below) below = Below(name, kCacheFolder);
    if (!below) return refuse("file name outside the cache folder");
    rest = *below;
  }
  std::vector<std::string_view> parts;
  while (!rest.empty()) {
    const size_t slash = rest.find('/');
    const std::string_view part = rest.substr(0, slash);
    rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
    if (part.empty() || part == ".") continue;
    if (part == "..") return refuse("\"..\" in file name");
    parts.push_back(part);
  }
  if (parts.empty()) return refuse("file name names the cache folder itself");
  std::string path = CacheFolder();
  for (const std::string_view part : parts) {
    path += '/';
    path += part;
  }
  return path;
}

std::string SpoolerFiles::TwoWayDataFolder(std::string_view bundlePath) {
  while (!bundlePath.empty() && bundlePath.back() == '/') bundlePath.remove_suffix(1);
  const size_t slash = bundlePath.rfind('/');
  if (bundlePath.empty() || slash == std::string_view::npos) return {};
  std::string folder = Paths::Resolve(bundlePath.substr(0, slash + 1));
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

std::string SpoolerFiles::DataFilePath(const std::string& folder, std::string_view queue) {
  return folder + std::string(queue) + ".bididata";
}

std::string SpoolerFiles::MarkerFilePath(const std::string& folder, std::string_view queue) {
  return folder + std::string(queue) + ".open";
}

std::string SpoolerFiles::ConnectionErrorFilePath(std::string_view identifier) {
  return Paths::Resolve(std::string(kCacheFolder) + "/ConnectionErrorInfoFile" +
                        std::string(identifier) + ".txt");
}

}  // namespace quill
