// BidiSections: the loaded two-way data text, indexed once, with each section decoded on first
// use and kept. The module's callbacks ask it for sections many times while the module's window
// is open; each section is inflated only once per loaded text.
//
// A section's records are the lines "<name><counter as %04x>: <Base64>", matched exactly on the
// whole text before ": ", so "TrayInfo" never picks up records of another section whose name or
// data merely contains it. Records are read from counter 0 up to the first empty (terminating)
// or missing one; a record that does not decode, or inflation that fails, ends the payload with
// what was read so far. The payload (UTF-32 code units in host order) becomes wide text.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace quill {

class BidiSections {
 public:
  // Replaces the text (every earlier decoded section is dropped).
  void Load(std::string text);
  void Clear() { Load(std::string()); }
  [[nodiscard]] bool Empty() const { return text_.empty(); }
  [[nodiscard]] const std::string& Text() const { return text_; }

  // The section's text; null when the section is absent. An empty pointer-to-text means present
  // but empty.
  [[nodiscard]] const std::wstring* Section(std::string_view name);

  // The sections the module's callbacks read (process-wide; loaded by the module bridge).
  static BidiSections& Current();

 private:
  std::optional<std::wstring> Decode(std::string_view name) const;

  std::string text_;
  std::unordered_map<std::string_view, std::string_view> records_;  // "<name><counter>" -> value
  std::map<std::string, std::optional<std::wstring>, std::less<>> decoded_;
};

}  // namespace quill
