#include "support/TempDir.h"

#include <cstdlib>
#include <fstream>
#include <stdexcept>

namespace quill::testing {

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "quill-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::Write(std::string_view name, std::string_view content) const {
  std::filesystem::path file = path_ / name;
  std::filesystem::create_directories(file.parent_path());
  std::ofstream out(file, std::ios::binary);
  out.write(content.data(), static_cast<std::streamsize>(content.size()));
  return file.string();
}

std::string FixturePath(std::string_view name) {
  return std::string(QUILL_FIXTURES_DIR) + "/" + std::string(name);
}

std::string ExamplePath(std::string_view name) {
  return std::string(QUILL_EXAMPLES_DIR) + "/" + std::string(name);
}

}  // namespace quill::testing
