// PopupJnRecord: building the pop-up job-note preferences record of one user, and the updated
// dictionary of all users' records that the panel hands to the spooler-side filter.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace quill {

// One of the five pop-up job-note slots.
struct PopupJobNoteSlot {
  std::string keyword;   // the job note's keyword; empty for an unused slot
  std::string text;      // its current text, UTF-8
  bool password = false; // the job note is flagged as a password
};

struct PopupJobNoteRecord {
  bool enabled = false;            // *KRDisplayJobTracking is true
  bool accountSettingOne = false;  // *KRAccountSetting has value 1
  bool showLast = false;           // *KRAccountShowLast is true
  std::array<PopupJobNoteSlot, 5> slots;
};

// The record text: three flag bytes ("1"/"0", "1"/"2", "1"/"0"), then per slot its keyword line
// and its text line, each ended by a line feed. The text of a password job note is never stored
// (its line stays empty). Line breaks inside a keyword or text become blanks, so that every slot
// keeps its two lines.
[[nodiscard]] std::string BuildPopupJnRecord(const PopupJobNoteRecord& record);

// The dictionary text to store after setting `user`'s entry to `record`, starting from the block's
// current text `stored` (read up to its first NUL): every other user's entry is kept. Nothing when
// `stored` is not empty and is not a dictionary, so that other users' records are not replaced by
// a dictionary holding only this one.
[[nodiscard]] std::optional<std::string> UpdatePopupJnDictionary(std::string_view stored,
                                                                 const std::string& user,
                                                                 const std::string& record);

}  // namespace quill
