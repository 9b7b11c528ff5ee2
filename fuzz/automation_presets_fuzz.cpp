// Feeds arbitrary bytes to the automation presets file reader as the file's contents. When the
// reader takes the file, moving on to the next preset must record exactly the next name in the
// file it writes back (or, when it cannot write, answer nothing and leave the file as it was),
// and the preset it answers is its own copy.
#include <plist/plist.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "panel/PlistParser.h"

namespace {

std::string LastUsed(plist_t dictionary) {
  plist_t node = plist_dict_get_item(dictionary, quill::PlistParser::kLastUsedKey);
  if (node == nullptr || plist_get_node_type(node) != PLIST_STRING) return "";
  const char* text = plist_get_string_ptr(node, nullptr);
  return text != nullptr ? text : "";
}

const std::string& FilePath() {
  static const std::string path = [] {
    char folder[] = "/tmp/quill-presets-fuzz-XXXXXX";
    if (::mkdtemp(folder) == nullptr) std::abort();
    return std::string(folder) + "/PresetsFile.xml";
  }();
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  {
    std::ofstream out(FilePath(), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  quill::PlistParser parser;
  if (!parser.isValidAutomationFile(FilePath())) return 0;
  const std::string next = quill::PlistParser::NextPresetName(LastUsed(parser.Dictionary()));
  const std::string before = LastUsed(parser.Dictionary());
  std::string error;
  quill::PlistParser::Node preset = parser.currentPreset(&error);
  if (!error.empty()) {
    // Not written back: nothing is answered and the file still names the preset used before.
    quill::PlistParser unchanged;
    if (preset || !unchanged.isValidAutomationFile(FilePath()) ||
        LastUsed(unchanged.Dictionary()) != before) {
      std::abort();
    }
    return 0;
  }
  if (preset && preset.get() == plist_dict_get_item(parser.Dictionary(), next.c_str()))
    std::abort();
  quill::PlistParser again;
  if (!again.isValidAutomationFile(FilePath())) std::abort();
  if (LastUsed(again.Dictionary()) != next) std::abort();
  return 0;
}
