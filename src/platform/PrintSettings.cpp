#include "platform/PrintSettings.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/Log.h"
#include "platform/TextEncoding.h"

namespace quill {
namespace {

namespace fs = std::filesystem;

std::string config_folder() {
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && xdg[0] == '/') {
    return std::string(xdg) + "/quill";
  }
  const char* home = std::getenv("HOME");
  return std::string(home != nullptr ? home : "") + "/.config/quill";
}

// The text of a string node, NUL bytes included (libplist's own copy asserts on them).
std::string_view string_of(plist_t node) {
  uint64_t length = 0;
  const char* text = plist_get_string_ptr(node, &length);
  return text != nullptr ? std::string_view(text, static_cast<std::size_t>(length))
                         : std::string_view();
}

bool has_control_character(std::string_view text) {
  for (unsigned char c : text) {
    if (c < 0x20 || c == 0x7F) return true;
  }
  // C1 controls U+0080..U+009F are C2 80..C2 9F in UTF-8.
  for (std::size_t i = 0; i + 1 < text.size(); ++i) {
    if (static_cast<unsigned char>(text[i]) == 0xC2 &&
        static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
        static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
      return true;
    }
  }
  return false;
}

// True when every string below `node` (keys of dictionaries included) is acceptable text.
bool node_text_acceptable(plist_t node, int depth = 0) {
  if (depth > 64) return false;  // no settings value nests this deep
  switch (plist_get_node_type(node)) {
    case PLIST_STRING:
      return PrintSettings::IsAcceptableText(string_of(node));
    case PLIST_ARRAY: {
      const uint32_t n = plist_array_get_size(node);
      for (uint32_t i = 0; i < n; ++i) {
        if (!node_text_acceptable(plist_array_get_item(node, i), depth + 1)) return false;
      }
      return true;
    }
    case PLIST_DICT: {
      plist_dict_iter it = nullptr;
      plist_dict_new_iter(node, &it);
      bool ok = true;
      while (ok) {
        char* key = nullptr;
        plist_t value = nullptr;
        plist_dict_next_item(node, it, &key, &value);
        if (key == nullptr) break;
        ok = PrintSettings::IsAcceptableText(key) && node_text_acceptable(value, depth + 1);
        std::free(key);
      }
      std::free(it);
      return ok;
    }
    default:
      return true;
  }
}

}  // namespace

PrintSettings::PrintSettings() = default;

PrintSettings::~PrintSettings() { Clear(); }

PrintSettings::PrintSettings(const PrintSettings& other) { *this = other; }

PrintSettings& PrintSettings::operator=(const PrintSettings& other) {
  if (this == &other) return *this;
  Clear();
  entries_.reserve(other.entries_.size());
  for (const Entry& e : other.entries_) entries_.push_back({e.key, plist_copy(e.value)});
  index_ = other.index_;
  return *this;
}

PrintSettings::PrintSettings(PrintSettings&& other) noexcept
    : entries_(std::move(other.entries_)), index_(std::move(other.index_)) {
  other.entries_.clear();
  other.index_.clear();
}

PrintSettings& PrintSettings::operator=(PrintSettings&& other) noexcept {
  if (this == &other) return *this;
  Clear();
  entries_ = std::move(other.entries_);
  index_ = std::move(other.index_);
  other.entries_.clear();
  other.index_.clear();
  return *this;
}

void PrintSettings::SetValue(std::string_view key, plist_t value) {
  if (value == nullptr) {
    Remove(key);
    return;
  }
  if (auto it = index_.find(std::string(key)); it != index_.end()) {
    plist_free(entries_[it->second].value);
    entries_[it->second].value = value;
    return;
  }
  index_.emplace(std::string(key), entries_.size());
  entries_.push_back({std::string(key), value});
}

void PrintSettings::SetString(std::string_view key, std::string_view text) {
  SetValue(key, plist_new_string(std::string(text).c_str()));
}
void PrintSettings::SetInteger(std::string_view key, int64_t number) {
  SetValue(key, plist_new_uint(static_cast<uint64_t>(number)));
}
void PrintSettings::SetBoolean(std::string_view key, bool flag) {
  SetValue(key, plist_new_bool(flag ? 1 : 0));
}
void PrintSettings::SetReal(std::string_view key, double number) {
  SetValue(key, plist_new_real(number));
}
void PrintSettings::SetStringArray(std::string_view key, const std::vector<std::string>& texts) {
  plist_t array = plist_new_array();
  for (const std::string& t : texts) plist_array_append_item(array, plist_new_string(t.c_str()));
  SetValue(key, array);
}

const PrintSettings::Entry* PrintSettings::Find(std::string_view key) const {
  auto it = index_.find(std::string(key));
  return it == index_.end() ? nullptr : &entries_[it->second];
}

plist_t PrintSettings::GetValue(std::string_view key) const {
  const Entry* e = Find(key);
  return e == nullptr ? nullptr : e->value;
}

std::optional<std::string> PrintSettings::GetString(std::string_view key) const {
  plist_t node = GetValue(key);
  if (node == nullptr || plist_get_node_type(node) != PLIST_STRING) return std::nullopt;
  return std::string(string_of(node));
}

std::optional<int64_t> PrintSettings::GetInteger(std::string_view key) const {
  plist_t node = GetValue(key);
  if (node == nullptr) return std::nullopt;
  switch (plist_get_node_type(node)) {
    case PLIST_UINT: {
      uint64_t v = 0;
      plist_get_uint_val(node, &v);
      return static_cast<int64_t>(v);
    }
    case PLIST_REAL: {
      double v = 0;
      plist_get_real_val(node, &v);
      if (!(v > -9.2e18 && v < 9.2e18)) return std::nullopt;  // NaN or beyond int64
      return static_cast<int64_t>(v);
    }
    case PLIST_BOOLEAN: {
      uint8_t v = 0;
      plist_get_bool_val(node, &v);
      return v != 0 ? 1 : 0;
    }
    default:
      return std::nullopt;
  }
}

std::optional<bool> PrintSettings::GetBoolean(std::string_view key) const {
  plist_t node = GetValue(key);
  if (node != nullptr && plist_get_node_type(node) == PLIST_BOOLEAN) {
    uint8_t v = 0;
    plist_get_bool_val(node, &v);
    return v != 0;
  }
  if (auto n = GetInteger(key)) return *n != 0;
  return std::nullopt;
}

std::optional<std::vector<std::string>> PrintSettings::GetStringArray(std::string_view key) const {
  plist_t node = GetValue(key);
  if (node == nullptr || plist_get_node_type(node) != PLIST_ARRAY) return std::nullopt;
  std::vector<std::string> texts;
  const uint32_t n = plist_array_get_size(node);
  for (uint32_t i = 0; i < n; ++i) {
    plist_t item = plist_array_get_item(node, i);
    if (plist_get_node_type(item) != PLIST_STRING) continue;
    texts.emplace_back(string_of(item));
  }
  return texts;
}

bool PrintSettings::Remove(std::string_view key) {
  auto it = index_.find(std::string(key));
  if (it == index_.end()) return false;
  plist_free(entries_[it->second].value);
  entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(it->second));
  Reindex();
  return true;
}

void PrintSettings::Clear() {
  for (Entry& e : entries_) plist_free(e.value);
  entries_.clear();
  index_.clear();
}

void PrintSettings::Reindex() {
  index_.clear();
  for (std::size_t i = 0; i < entries_.size(); ++i) index_.emplace(entries_[i].key, i);
}

std::vector<std::string> PrintSettings::Keys() const {
  std::vector<std::string> keys;
  keys.reserve(entries_.size());
  for (const Entry& e : entries_) keys.push_back(e.key);
  return keys;
}

std::string PrintSettings::ToXML() const {
  // The dictionary borrows our nodes for the moment of writing: copies keep ownership simple.
  plist_t dict = plist_new_dict();
  for (const Entry& e : entries_) plist_dict_set_item(dict, e.key.c_str(), plist_copy(e.value));
  char* xml = nullptr;
  uint32_t length = 0;
  plist_to_xml(dict, &xml, &length);
  std::string text = xml != nullptr ? std::string(xml, length) : std::string();
  plist_to_xml_free(xml);
  plist_free(dict);
  return text;
}

std::optional<PrintSettings> PrintSettings::FromXML(std::string_view text, std::string* error) {
  auto fail = [&](const char* why) -> std::optional<PrintSettings> {
    if (error != nullptr) *error = why;
    return std::nullopt;
  };
  if (text.empty() || text.size() > kMaxFileSize) return fail("not a property list");
  plist_t root = nullptr;
  plist_from_memory(text.data(), static_cast<uint32_t>(text.size()), &root);
  if (root == nullptr) return fail("not a property list");
  if (plist_get_node_type(root) != PLIST_DICT) {
    plist_free(root);
    return fail("not a dictionary of settings");
  }
  PrintSettings settings;
  plist_dict_iter it = nullptr;
  plist_dict_new_iter(root, &it);
  for (;;) {
    char* key = nullptr;
    plist_t value = nullptr;
    plist_dict_next_item(root, it, &key, &value);
    if (key == nullptr) break;
    if (value != nullptr && IsAcceptableText(key) && node_text_acceptable(value)) {
      settings.SetValue(key, plist_copy(value));
    } else {
      PanelLog("PrintSettings::FromXML: entry left out (control characters or not UTF-8)");
    }
    std::free(key);
  }
  std::free(it);
  plist_free(root);
  return settings;
}

std::string PrintSettings::PathForQueue(std::string_view queue) {
  if (queue.empty() || queue == "." || queue == ".." || queue.find('/') != std::string_view::npos ||
      has_control_character(queue) || queue.size() > 255) {
    return {};
  }
  return config_folder() + "/" + std::string(queue) + ".plist";
}

PrintSettings::LoadResult PrintSettings::Load(std::string_view queue, std::string* error) {
  auto unreadable = [&](std::string why) {
    if (error != nullptr) *error = std::move(why);
    return LoadResult::kUnreadable;
  };
  const std::string path = PathForQueue(queue);
  if (path.empty()) return unreadable("queue name cannot name a settings file");
  std::error_code ec;
  if (!fs::exists(path, ec)) {
    Clear();
    return LoadResult::kMissing;
  }
  const auto size = fs::file_size(path, ec);
  if (ec) return unreadable(path + ": " + ec.message());
  if (size > kMaxFileSize) return unreadable(path + ": larger than the settings limit");
  std::ifstream in(path, std::ios::binary);
  if (!in) return unreadable(path + ": " + std::strerror(errno));
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::string why;
  auto loaded = FromXML(text, &why);
  if (!loaded) return unreadable(path + ": " + why);
  *this = std::move(*loaded);
  return LoadResult::kLoaded;
}

bool PrintSettings::Save(std::string_view queue, std::string* error) const {
  auto fail = [&](std::string why) {
    if (error != nullptr) *error = std::move(why);
    return false;
  };
  const std::string path = PathForQueue(queue);
  if (path.empty()) return fail("queue name cannot name a settings file");
  const std::string folder = config_folder();
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (ec) return fail(folder + ": " + ec.message());
  ::chmod(folder.c_str(), 0700);

  std::string temp = path + ".XXXXXX";
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) return fail(folder + ": " + std::strerror(errno));
  ::fchmod(fd, 0600);
  const std::string xml = ToXML();
  std::size_t written = 0;
  while (written < xml.size()) {
    const ssize_t n = ::write(fd, xml.data() + written, xml.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    written += static_cast<std::size_t>(n);
  }
  const bool complete = written == xml.size() && ::fsync(fd) == 0;
  const int saved_errno = errno;
  ::close(fd);
  if (!complete || ::rename(temp.c_str(), path.c_str()) != 0) {
    const std::string why = std::strerror(complete ? errno : saved_errno);
    ::unlink(temp.c_str());
    return fail(path + ": " + why);
  }
  return true;
}

bool PrintSettings::IsAcceptableText(std::string_view text) {
  return TextEncoding::IsValidUTF8(text) && !has_control_character(text);
}

}  // namespace quill
