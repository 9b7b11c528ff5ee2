// Paths: maps the system's fixed absolute paths ("/Library/Caches/KRT/", "/tmp", ...) under one
// configurable root, so that a test or a packaged install can move them all at once.
//
// The root is taken from the environment variable QUILL_ROOT when set, else "/". `SetRoot`
// overrides both (tests point it at a temporary folder).
#pragma once

#include <string>
#include <string_view>

namespace quill {

class Paths {
 public:
  static constexpr const char* kRootVariable = "QUILL_ROOT";

  // The root every fixed path lives under; never empty, no trailing slash except for "/".
  static std::string Root();
  static void SetRoot(std::string root);
  // Forgets a root set by SetRoot, so that the environment decides again.
  static void ResetRoot();

  // The fixed path `path` (absolute, as the system names it) under the root. A trailing slash
  // of `path` is kept.
  static std::string Resolve(std::string_view path);
};

}  // namespace quill
