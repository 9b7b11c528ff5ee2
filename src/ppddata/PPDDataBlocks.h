// PPDDataBlocks: the data-block attributes of one PPD file ("*KR<name><4 hex digits>: \"...\""),
// collected by the PPD parser while it reads the file, so that blocks of a file that has been
// parsed are read without opening and parsing the file once more.
//
// The parser hands over every line it reads, in pieces (Take), and the rest of the file behind the
// point where its own reading stopped. Attribute lines are taken the way libcups takes them, so that
// both reading paths give the same data: names compare ignoring case, the first attribute of a name
// wins, a quoted value that is not closed on its line goes on over the following lines, and the
// value is stripped of its blanks and of a pair of enclosing quotes. Block attributes are written
// without an option word; a line that has one ("*KRPopup0001 Opt1/Choice 1: ...") is an option
// line of a UI group and is not taken, whatever its keyword looks like.
//
// A store that is registered for its file (Register) answers the block reads of that file
// (ReadPPDDataBlock, CPPDMsgHdlr) while the file is the one that was read: same device, inode,
// size and modification time. Once the file has changed, or the store is gone, reads go through
// libcups again.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace quill {

// What tells one version of a file from another.
struct FileIdentity {
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  long long modifiedNs = 0;

  // The identity of an open file or of a path; nullopt when it cannot be examined.
  static std::optional<FileIdentity> OfDescriptor(int fd);
  static std::optional<FileIdentity> OfPath(const std::string& path);
  bool operator==(const FileIdentity&) const = default;
};

class PPDDataBlocks {
 public:
  PPDDataBlocks() = default;
  // Unregisters the store.
  ~PPDDataBlocks();
  PPDDataBlocks(const PPDDataBlocks&) = delete;
  PPDDataBlocks& operator=(const PPDDataBlocks&) = delete;

  // Takes the next piece of the file's text: `piece` holds bytes of one line without its line end;
  // `lineEnded` says whether the line ends after it (a long line comes in several pieces). Lines
  // that are no data-block attribute cost a look at their first bytes.
  void Take(std::string_view piece, bool lineEnded);
  // The end of the file: a value still open (its closing quote missing) ends here.
  void Finish();

  // The value of the attribute `name` ("KRPopupJnData0000", any case); null when the file has no
  // such attribute. The text belongs to the store.
  [[nodiscard]] const std::string* Find(std::string_view name) const;
  [[nodiscard]] std::size_t Size() const { return values_.size(); }

  // Registers the store as the answer for the file at `path` while that file keeps `identity`
  // (taken from the open file the lines were read from). A later registration for the same file
  // takes over; a store is registered for one file at a time.
  void Register(const FileIdentity& identity);
  // The registered store for the file at `path` when that file is still the one that was read;
  // null otherwise.
  [[nodiscard]] static const PPDDataBlocks* ForFile(const std::string& path);

 private:
  enum class State { kLineStart, kSkipping, kCollecting };
  void Commit();

  State state_ = State::kLineStart;
  std::string line_;       // the attribute line being collected, continuation lines included
  bool openQuote_ = false;  // an odd number of quotes so far in line_
  std::unordered_map<std::string, std::string> values_;  // lower-case name -> value
  std::optional<FileIdentity> identity_;                 // set while registered
};

}  // namespace quill
