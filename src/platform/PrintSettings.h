// PrintSettings: the settings of one print, as the dialog hands them from panel to panel and to
// the spooler: ordered keys, each with a property-list value (string, integer, real, boolean,
// array, dictionary, data).
//
// A user's choices for a queue survive from one print to the next as an XML property list (a
// dictionary in key order) under the user's configuration folder:
//   $XDG_CONFIG_HOME/quill/<queue>.plist, or ~/.config/quill/<queue>.plist without XDG_CONFIG_HOME.
// At submission the values are mapped to CUPS job options by the caller.
#pragma once

#include <plist/plist.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace quill {

class PrintSettings {
 public:
  // Largest settings file Load reads; a larger one is refused as unreadable.
  static constexpr std::size_t kMaxFileSize = 16u << 20;

  PrintSettings();
  ~PrintSettings();
  PrintSettings(const PrintSettings& other);
  PrintSettings& operator=(const PrintSettings& other);
  PrintSettings(PrintSettings&&) noexcept;
  PrintSettings& operator=(PrintSettings&&) noexcept;

  // --- values --------------------------------------------------------------------------------

  // Takes `value` (a libplist node made by the caller; null removes the key). A new key goes to
  // the end; an existing key keeps its place and gets the new value.
  void SetValue(std::string_view key, plist_t value);
  void SetString(std::string_view key, std::string_view text);
  void SetInteger(std::string_view key, int64_t number);
  void SetBoolean(std::string_view key, bool flag);
  void SetReal(std::string_view key, double number);
  // Sets an array of strings.
  void SetStringArray(std::string_view key, const std::vector<std::string>& texts);

  // The value of `key` (owned by the settings, valid until the key is changed); null when absent.
  [[nodiscard]] plist_t GetValue(std::string_view key) const;
  [[nodiscard]] bool Contains(std::string_view key) const { return GetValue(key) != nullptr; }
  // The string value; nullopt when absent or not a string.
  [[nodiscard]] std::optional<std::string> GetString(std::string_view key) const;
  // An integer value, or a real or boolean read as one; nullopt when absent or of another type.
  [[nodiscard]] std::optional<int64_t> GetInteger(std::string_view key) const;
  // A boolean, or a number read as non-zero; nullopt when absent or of another type.
  [[nodiscard]] std::optional<bool> GetBoolean(std::string_view key) const;
  // The strings of an array value (elements of other types are left out); nullopt when absent
  // or not an array.
  [[nodiscard]] std::optional<std::vector<std::string>> GetStringArray(std::string_view key) const;

  // Removes `key`; false when it was not there.
  bool Remove(std::string_view key);
  void Clear();
  [[nodiscard]] std::size_t Size() const { return entries_.size(); }
  [[nodiscard]] bool Empty() const { return entries_.empty(); }
  // The keys in order.
  [[nodiscard]] std::vector<std::string> Keys() const;

  // --- text form -----------------------------------------------------------------------------

  // The settings as an XML property list: one dictionary, keys in order.
  [[nodiscard]] std::string ToXML() const;
  // Settings from XML (or binary) property-list text: nullopt, with the reason in *error, when it
  // does not parse or is not a dictionary. Entries whose string values (at any depth) hold
  // control characters or are not UTF-8 are left out with a log line, so that a hand-edited file
  // cannot carry a line break into a job.
  [[nodiscard]] static std::optional<PrintSettings> FromXML(std::string_view text,
                                                            std::string* error = nullptr);

  // --- per queue and user --------------------------------------------------------------------

  // The file of `queue`'s settings; "" for a name that cannot name a file (empty, ".", "..",
  // holding "/" or a control character).
  [[nodiscard]] static std::string PathForQueue(std::string_view queue);

  enum class LoadResult { kLoaded, kMissing, kUnreadable };
  // Replaces the settings by the ones saved for `queue`. kMissing (settings emptied) when none
  // were saved; kUnreadable (settings unchanged, reason in *error) when the file cannot be read,
  // is larger than kMaxFileSize or does not parse, or the queue name cannot name a file.
  LoadResult Load(std::string_view queue, std::string* error = nullptr);
  // Saves the settings for `queue`: creates the folder (mode 0700), writes a temporary file
  // beside the target (mode 0600) and renames it into place. False with the reason otherwise.
  bool Save(std::string_view queue, std::string* error = nullptr) const;

  // True when `text` may be stored as a setting typed by a user: valid UTF-8 without control
  // characters (C0, DEL and C1), so it can never start a new line of a job or a ticket.
  [[nodiscard]] static bool IsAcceptableText(std::string_view text);

 private:
  struct Entry {
    std::string key;
    plist_t value = nullptr;  // owned
  };
  void Reindex();
  [[nodiscard]] const Entry* Find(std::string_view key) const;

  std::vector<Entry> entries_;
  std::unordered_map<std::string, std::size_t> index_;  // key -> position in entries_
};

}  // namespace quill
