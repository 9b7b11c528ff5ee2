#include "panel/PlistParser.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

namespace quill {

bool PlistParser::isValidAutomationFile(const std::string& path) {
  dictionary_.reset();
  path_ = path;
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode) ||
      static_cast<std::size_t>(info.st_size) > kMaxFileSize) {
    return false;
  }
  std::ifstream in(path, std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (!in && !in.eof()) return false;
  plist_t root = nullptr;
  plist_from_memory(text.data(), static_cast<uint32_t>(text.size()), &root);
  if (root == nullptr) return false;
  if (plist_get_node_type(root) != PLIST_DICT) {
    plist_free(root);
    return false;
  }
  dictionary_.reset(root);
  plist_t marker = plist_dict_get_item(root, kMarkerKey);
  if (marker == nullptr || plist_get_node_type(marker) != PLIST_STRING) return false;
  const char* value = plist_get_string_ptr(marker, nullptr);
  return value != nullptr && std::strcmp(value, kMarker) == 0;
}

std::string PlistParser::NextPresetName(std::string_view lastUsed) {
  if (lastUsed.empty()) return "Preset 01";
  constexpr std::string_view kPrefix = "Preset ";
  long number = 0;
  if (lastUsed.substr(0, kPrefix.size()) == kPrefix) {
    const std::string digits(lastUsed.substr(kPrefix.size()));
    number = std::strtol(digits.c_str(), nullptr, 10);
    if (number < 0 || number > 1000000) number = 0;
  }
  ++number;
  char name[32];
  std::snprintf(name, sizeof name, number < 10 ? "Preset 0%ld" : "Preset %ld", number);
  return name;
}

PlistParser::Node PlistParser::currentPreset(std::string* writeError) {
  if (!dictionary_) {
    if (writeError != nullptr) *writeError = "no presets file was read";
    return nullptr;
  }
  plist_t root = dictionary_.get();
  std::string last;
  if (plist_t node = plist_dict_get_item(root, kLastUsedKey);
      node != nullptr && plist_get_node_type(node) == PLIST_STRING) {
    if (const char* text = plist_get_string_ptr(node, nullptr)) last = text;
  }
  const std::string next = NextPresetName(last);
  plist_dict_set_item(root, kLastUsedKey, plist_new_string(next.c_str()));

  char* xml = nullptr;
  uint32_t length = 0;
  plist_to_xml(root, &xml, &length);
  bool written = false;
  std::string why;
  if (xml == nullptr) {
    why = "the presets cannot be written as a property list";
  } else {
    const std::string temporary = path_ + ".new";
    if (FILE* out = std::fopen(temporary.c_str(), "wb")) {
      const bool complete = std::fwrite(xml, 1, length, out) == length;
      const bool closed = std::fclose(out) == 0;
      written = complete && closed && std::rename(temporary.c_str(), path_.c_str()) == 0;
      if (!written) {
        why = std::strerror(errno);
        ::unlink(temporary.c_str());
      }
    } else {
      why = std::strerror(errno);
    }
    plist_to_xml_free(xml);
  }
  if (!written) {
    if (writeError != nullptr) *writeError = "cannot write " + path_ + ": " + why;
    return nullptr;
  }
  plist_t preset = plist_dict_get_item(root, next.c_str());
  return Node(preset != nullptr ? plist_copy(preset) : nullptr);
}

}  // namespace quill
