#include "platform/Bundle.h"

#include <plist/plist.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace quill {
namespace {

namespace fs = std::filesystem;

struct BuiltIn {
  const char* table;
  const char* key;
  const char* text;
};

// The English texts of the panel. The five watermark records are comma-separated fields:
// clear ink, x and y offset, red, green, blue, -, first page only, -, angle in tenths of a
// degree, -, -, font size, font name, text.
constexpr BuiltIn kBuiltIn[] = {
    {"Localizable", "PDE Panel Title", "Quill Features"},
    {"Localizable", "DocumentSizeCustom", "Custom"},
    {"Localizable", "Watermark0", "0,0,0,192,192,192,0,0,0,450,0,0,72,Helvetica-Bold,CONFIDENTIAL"},
    {"Localizable", "Watermark1", "0,0,0,192,192,192,0,0,0,450,0,0,96,Helvetica-Bold,DRAFT"},
    {"Localizable", "Watermark2", "0,0,0,192,192,192,0,0,0,450,0,0,96,Helvetica-Bold,COPY"},
    {"Localizable", "Watermark3", "0,0,0,255,0,0,0,1,0,450,0,0,96,Helvetica-Bold,URGENT"},
    {"Localizable", "Watermark4", "0,0,0,192,192,192,0,0,0,450,0,0,96,Helvetica-Bold,SAMPLE"},
    {"BidiStrings", "BIDI_SPOOLER_DELAY_S",
     "Two-Way Communication with the Quill controller cannot be established"},
    {"BidiStrings", "BIDI_SPOOLER_DELAY_L",
     "Select Continue to access Quill options without Two-Way Communication. Select Cancel to exit "
     "and try your connection again later."},
    {"BidiStrings", "CONTINUE", "Continue"},
    {"BidiStrings", "CANCEL", "Cancel"},
    {"BidiStrings", "OK", "OK"},
    {"BidiStrings", "INVALID_IP_ADDRESS", "You have entered an invalid IP Address or DNS Name"},
    {"BidiStrings", "PRESS_OKAY", "Press OK to enter a new IP Address or DNS Name."},
    {"BidiStrings", "IP_NOT_CONFIG", "The IP Address or DNS Name must be assigned."},
    {"BidiStrings", "Printing Preferences", "Printing Preferences"},
};

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Reads one quoted string starting at text[i] == '"'; advances i past the closing quote.
std::optional<std::string> quoted(std::string_view text, std::size_t& i) {
  if (i >= text.size() || text[i] != '"') return std::nullopt;
  std::string out;
  for (++i; i < text.size(); ++i) {
    char c = text[i];
    if (c == '"') {
      ++i;
      return out;
    }
    if (c == '\\' && i + 1 < text.size()) {
      c = text[++i];
      if (c == 'n') c = '\n';
      else if (c == 't') c = '\t';
      else if (c == 'r') c = '\r';
    }
    out += c;
  }
  return std::nullopt;
}

void skip_space_and_comments(std::string_view text, std::size_t& i) {
  while (i < text.size()) {
    const char c = text[i];
    if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
      ++i;
    } else if (text.compare(i, 2, "//") == 0) {
      const std::size_t end = text.find('\n', i);
      i = end == std::string_view::npos ? text.size() : end;
    } else if (text.compare(i, 2, "/*") == 0) {
      const std::size_t end = text.find("*/", i + 2);
      i = end == std::string_view::npos ? text.size() : end + 2;
    } else {
      return;
    }
  }
}

}  // namespace

Bundle::Bundle(std::string folder) : folder_(std::move(folder)) {}

Bundle& Bundle::Main() {
  static Bundle bundle([] {
    const char* folder = std::getenv(kFolderVariable);
    return std::string(folder != nullptr ? folder : "");
  }());
  return bundle;
}

std::map<std::string, std::string> Bundle::ParseStringsTable(std::string_view text) {
  std::map<std::string, std::string> table;
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  std::size_t i = 0;
  while (i < text.size()) {
    skip_space_and_comments(text, i);
    if (i >= text.size()) break;
    auto key = quoted(text, i);
    std::optional<std::string> value;
    if (key) {
      skip_space_and_comments(text, i);
      if (i < text.size() && text[i] == '=') {
        ++i;
        skip_space_and_comments(text, i);
        value = quoted(text, i);
      }
    }
    if (key && value) {
      skip_space_and_comments(text, i);
      if (i < text.size() && text[i] == ';') ++i;
      table.emplace(std::move(*key), std::move(*value));
      continue;
    }
    // Skip the rest of a line that does not parse.
    const std::size_t end = text.find('\n', i);
    i = end == std::string_view::npos ? text.size() : end + 1;
  }
  return table;
}

const std::map<std::string, std::string>& Bundle::Table(const std::string& name) const {
  auto it = tables_.find(name);
  if (it != tables_.end()) return it->second;
  std::map<std::string, std::string> table;
  if (!folder_.empty() && name.find('/') == std::string::npos && name != "..") {
    table = ParseStringsTable(read_file(folder_ + "/" + name + ".strings"));
  }
  return tables_.emplace(name, std::move(table)).first->second;
}

std::optional<std::string> Bundle::BuiltInString(std::string_view table, std::string_view key) {
  for (const BuiltIn& b : kBuiltIn) {
    if (table == b.table && key == b.key) return std::string(b.text);
  }
  return std::nullopt;
}

std::string Bundle::LocalizedString(std::string_view key, std::string_view table,
                                    std::optional<std::string_view> defaultText) const {
  const std::string table_name(table.empty() ? std::string_view(kDefaultTable) : table);
  const auto& strings = Table(table_name);
  if (auto it = strings.find(std::string(key)); it != strings.end()) return it->second;
  if (auto builtin = BuiltInString(table_name, key)) return *builtin;
  if (defaultText) return std::string(*defaultText);
  return std::string(key);
}

std::optional<std::string> Bundle::InfoValue(std::string_view key) const {
  if (folder_.empty()) return std::nullopt;
  const std::string text = read_file(folder_ + "/Info.plist");
  if (text.empty()) return std::nullopt;
  plist_t root = nullptr;
  plist_from_memory(text.data(), static_cast<uint32_t>(text.size()), &root);
  if (root == nullptr) return std::nullopt;
  std::optional<std::string> value;
  if (plist_get_node_type(root) == PLIST_DICT) {
    plist_t node = plist_dict_get_item(root, std::string(key).c_str());
    if (node != nullptr && plist_get_node_type(node) == PLIST_STRING) {
      uint64_t length = 0;  // (libplist's copying getter asserts on NUL bytes)
      const char* s = plist_get_string_ptr(node, &length);
      if (s != nullptr) value = std::string(s, static_cast<std::size_t>(length));
    } else if (node != nullptr && plist_get_node_type(node) == PLIST_UINT) {
      uint64_t n = 0;
      plist_get_uint_val(node, &n);
      value = std::to_string(n);
    }
  }
  plist_free(root);
  return value;
}

std::string Bundle::Version() const { return InfoValue("CFBundleVersion").value_or("0"); }

std::string Bundle::Identifier() const {
  return InfoValue("CFBundleIdentifier").value_or("org.quill.features");
}

std::optional<std::string> Bundle::ResourcePath(std::string_view name) const {
  if (folder_.empty() || name.empty() || name.front() == '/') return std::nullopt;
  const fs::path relative = fs::path(std::string(name)).lexically_normal();
  if (relative.empty() || *relative.begin() == "..") return std::nullopt;
  const fs::path full = fs::path(folder_) / relative;
  std::error_code ec;
  if (!fs::exists(full, ec)) return std::nullopt;
  return full.string();
}

}  // namespace quill
