// TempDir: a temporary folder for one test, removed with everything in it when it goes away.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace quill::testing {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  [[nodiscard]] const std::filesystem::path& path() const { return path_; }
  // Writes `content` to the file `name` inside the folder (creating sub-folders) and returns
  // its full path.
  std::string Write(std::string_view name, std::string_view content) const;

 private:
  std::filesystem::path path_;
};

// Full path of a file under tests/fixtures/ or examples/.
std::string FixturePath(std::string_view name);
std::string ExamplePath(std::string_view name);

}  // namespace quill::testing
