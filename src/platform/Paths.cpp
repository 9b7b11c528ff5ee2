#include "platform/Paths.h"

#include <cstdlib>
#include <optional>

namespace quill {
namespace {

std::optional<std::string>& root_override() {
  static std::optional<std::string> root;
  return root;
}

std::string without_trailing_slash(std::string root) {
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  return root.empty() ? std::string("/") : root;
}

}  // namespace

std::string Paths::Root() {
  if (root_override()) return *root_override();
  const char* from_env = std::getenv(kRootVariable);
  return without_trailing_slash(from_env != nullptr ? from_env : "/");
}

void Paths::SetRoot(std::string root) { root_override() = without_trailing_slash(std::move(root)); }
void Paths::ResetRoot() { root_override().reset(); }

std::string Paths::Resolve(std::string_view path) {
  std::string root = Root();
  if (root == "/") return std::string(path);
  if (!path.empty() && path.front() != '/') root += '/';
  return root + std::string(path);
}

}  // namespace quill
