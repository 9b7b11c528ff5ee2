// SpoolerFiles: where the spooler-side filter and the panel keep the files they share, and the
// confinement of file names that command jobs carry.
//
// The cache folder is "/Library/Caches/KRT" under the configurable root (Paths). Names that a
// command carries (the ticket path, update files, the mailbox folder) must stay inside it: a name
// may be relative to it, or absolute as the panel writes it ("/Library/Caches/KRT/..."), or
// absolute under the resolved cache folder; anything else is refused.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quill {

class SpoolerFiles {
 public:
  // "/Library/Caches/KRT" under the root, without a trailing slash.
  [[nodiscard]] static std::string CacheFolder();

  // The path inside the cache folder that `name` names. Refused (nullopt, with the reason in
  // *why when given) when the name is empty, holds a NUL byte or another control character, has a
  // ".." component, is absolute outside the cache folder, or names the cache folder itself.
  [[nodiscard]] static std::optional<std::string> ConfineToCache(std::string_view name,
                                                                 std::string* why = nullptr);

  // The folder (with a trailing "/") that holds the panel bundle named by a PPD's
  // "*APDialogExtension" value `bundlePath`, under the root; "" for an empty value or one
  // without a folder.
  [[nodiscard]] static std::string TwoWayDataFolder(std::string_view bundlePath);

  // The files of queue `queue` in `folder` (which ends in "/"): the two-way data file, the marker
  // file that exists while it is written.
  [[nodiscard]] static std::string DataFilePath(const std::string& folder, std::string_view queue);
  [[nodiscard]] static std::string MarkerFilePath(const std::string& folder, std::string_view queue);

  // "/Library/Caches/KRT/ConnectionErrorInfoFile<identifier>.txt" under the root.
  [[nodiscard]] static std::string ConnectionErrorFilePath(std::string_view identifier);
};

}  // namespace quill
