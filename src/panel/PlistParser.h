// PlistParser: the reader of the automation presets file, an XML property list that a script
// leaves for the panel: a marker that says the file is meant for it, the presets "Preset 01",
// "Preset 02", ... and the name of the one used last. Each print dialog takes the next preset
// and records it in the file, so a run of prints walks through the presets in turn.
#pragma once

#include <plist/plist.h>

#include <memory>
#include <string>
#include <string_view>

namespace quill {

class PlistParser {
 public:
  static constexpr const char* kMarkerKey = "KRTKey";
  static constexpr const char* kMarker = "ScriptFeedOnly_KEY_17350926";
  static constexpr const char* kLastUsedKey = "LastUsedPreset";
  // Largest file read; a larger one is not an automation file.
  static constexpr std::size_t kMaxFileSize = 4u << 20;

  struct PlistFree {
    void operator()(plist_t node) const { plist_free(node); }
  };
  using Node = std::unique_ptr<void, PlistFree>;

  // Reads the file at `path` as a property-list dictionary; valid only when its "KRTKey" value
  // is the marker. The dictionary is kept (also when not valid) for currentPreset.
  bool isValidAutomationFile(const std::string& path);

  // The name after `lastUsed`: "Preset 01" for an empty name, else the number after "Preset "
  // (0 when there is none) plus 1, as "Preset 0N" below 10 and "Preset N" from 10 on.
  [[nodiscard]] static std::string NextPresetName(std::string_view lastUsed);

  // Moves on to the next preset: stores its name under "LastUsedPreset", writes the dictionary
  // back to the file read last (a temporary file renamed into place) and answers a copy of the
  // value under that name (null when there is none). When the file cannot be written back the
  // answer is null and *writeError (when given) says why: a preset that cannot be recorded as
  // used would be applied again on every print.
  [[nodiscard]] Node currentPreset(std::string* writeError = nullptr);

  // The dictionary read (null before a read).
  [[nodiscard]] plist_t Dictionary() const { return dictionary_.get(); }

 private:
  Node dictionary_;
  std::string path_;
};

}  // namespace quill
