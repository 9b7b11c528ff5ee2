// Bundle: the panel's resources: its information values ("CFBundleVersion", ...), its string
// tables and its resource files, read from one resources folder:
//
//   <folder>/Info.plist            information values (an XML property list dictionary)
//   <folder>/<table>.strings       string tables: lines  "key" = "value";  (// and /* */ comments,
//                                  \" \\ \n \t escapes; the file is UTF-8)
//   <folder>/<anything else>       resource files (ResourcePath)
//
// Every text the panel shows has a built-in default (the English texts), so a bundle without a
// folder, or with a table that lacks a key, still answers.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace quill {

class Bundle {
 public:
  // Environment variable naming the resources folder of the default bundle.
  static constexpr const char* kFolderVariable = "QUILL_BUNDLE_DIR";
  static constexpr const char* kDefaultTable = "Localizable";

  // A bundle over `folder` ("" for one with the built-in texts only). Nothing is read yet.
  explicit Bundle(std::string folder = {});

  // The bundle of the panel: over the folder named by QUILL_BUNDLE_DIR, else the built-in texts.
  static Bundle& Main();

  [[nodiscard]] const std::string& Folder() const { return folder_; }

  // The text of `key` in `table` ("Localizable" when empty): the folder's table, else the
  // built-in text, else `defaultText` when given, else the key itself.
  [[nodiscard]] std::string LocalizedString(std::string_view key, std::string_view table = {},
                                            std::optional<std::string_view> defaultText = {}) const;

  // An information value as text (strings as they are, numbers in decimal); nullopt when the
  // folder has no Info.plist or no such key.
  [[nodiscard]] std::optional<std::string> InfoValue(std::string_view key) const;
  // "CFBundleVersion", "0" when unknown.
  [[nodiscard]] std::string Version() const;
  // "CFBundleIdentifier", "org.quill.features" when unknown.
  [[nodiscard]] std::string Identifier() const;

  // Full path of the resource `name` inside the folder; nullopt when it does not exist or the
  // name would step out of the folder ("..", an absolute name).
  [[nodiscard]] std::optional<std::string> ResourcePath(std::string_view name) const;

  // The built-in text of `key` in `table`; nullopt when there is none.
  [[nodiscard]] static std::optional<std::string> BuiltInString(std::string_view table,
                                                                std::string_view key);

  // Parses the text of a strings table; lines that do not parse are skipped.
  [[nodiscard]] static std::map<std::string, std::string> ParseStringsTable(std::string_view text);

 private:
  const std::map<std::string, std::string>& Table(const std::string& name) const;

  std::string folder_;
  mutable std::map<std::string, std::map<std::string, std::string>> tables_;  // read on first use
};

}  // namespace quill
