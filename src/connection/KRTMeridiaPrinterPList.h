// KRTMeridiaPrinterPList: the printer preference list, one flat array shared by all queues with
// one record per queue:
//
//   queue name, printer address, two-way switch (boolean), form marker "2",
//   blocks: header "index:count" followed by `count` line strings (newest block first),
//   "----- Data End -----"
//
// Older forms ("0": one element after the marker; "1": a line count and that many lines after
// the marker) are converted to form "2" when a record is changed.
//
// Records are found by walking the array record by record from its start, so a queue name only
// matches at a record start (never a block line or an address that happens to equal it), and
// block headers are walked by their line counts, which are checked against the array.
#pragma once

#include <plist/plist.h>

#include <string>
#include <string_view>
#include <vector>

#include "connection/PropertyListFile.h"

namespace quill {

class KRTMeridiaPrinterPList : public PropertyListFile {
 public:
  static constexpr const char* kListPath = "/Library/Preferences/KRT.MeridiaPrinterV2.plist";
  static constexpr const char* kDataEnd = "----- Data End -----";
  static constexpr std::size_t kLineSlot = 1024;  // bytes per line slot of AddDataBlob's buffer

  // Loads the list (see PropertyListFile) and makes the working copy: the loaded array, or an
  // empty one when nothing (or no array) was loaded.
  KRTMeridiaPrinterPList();
  // A list made from XML text in memory (tests and tools); an empty text gives an empty list.
  explicit KRTMeridiaPrinterPList(std::string_view xmlText);

  // Position of `name`'s record (compared ignoring ASCII case); `found` false and -1 when none.
  int Exists(std::string_view name, bool& found) const;
  // The record's address; "" when there is no record.
  [[nodiscard]] std::string Find(std::string_view name) const;
  // The record's two-way switch; false when there is no record or no switch.
  [[nodiscard]] bool getIPEnabled(std::string_view name) const;
  // Sets the switch; false when there is no record.
  bool setIPEnabled(std::string_view name, bool flag);
  // Creates or updates the record (converting an old form to form "2").
  bool Add(std::string_view name, std::string_view address, bool ipEnabled);
  // Replaces block `blockIndex` of the record with `lineCount` lines taken from `lines`, a buffer
  // of `lineCount` slots of kLineSlot bytes, each line up to its slot's first NUL (at most 1023
  // bytes). Bytes that are not UTF-8 become U+FFFD, so that the header's count always equals the
  // lines stored. True (nothing stored) when the queue has no record; false for a null buffer
  // with lines or a negative count.
  bool AddDataBlob(std::string_view name, int lineCount, int blockIndex, const char* lines);
  bool AddDataBlob(std::string_view name, int blockIndex, const std::vector<std::string>& lines);
  // Appends block `blockIndex`'s lines to `out`. False when there is no record, the record has
  // an old form, the block is missing, or its line count runs past the record.
  bool GetDataBlob(std::string_view name, int blockIndex, std::vector<std::string>& out) const;

  // Saves the working array; a list that has not changed since it was loaded or last saved is
  // not sent again (true).
  bool Save();

  [[nodiscard]] bool Modified() const { return modified_; }
  [[nodiscard]] bool ArrayExists() const { return array_ != nullptr; }
  // The working array (owned by this object).
  [[nodiscard]] plist_t Array() const { return array_.get(); }
  // Queue names of the records, in order.
  [[nodiscard]] std::vector<std::string> QueueNames() const;

 private:
  struct Record {
    uint32_t start = 0;   // queue name
    uint32_t end = 0;     // one past the last element
    std::string form;     // "0", "1", "2" or "" when unknown
    bool intact = true;   // form "2" with every block count fitting before the end marker
  };

  void MakeWorkingArray();
  [[nodiscard]] std::vector<Record> Records() const;
  [[nodiscard]] Record RecordAt(uint32_t start) const;
  [[nodiscard]] bool IsRecordStart(uint32_t at) const;
  [[nodiscard]] const Record* FindRecord(std::string_view name, std::vector<Record>& all) const;
  // Converts the record at `record` to form "2"; the record's new end.
  void ConvertToCurrentForm(Record& record);

  PlistPtr array_;
  bool modified_ = false;
};

}  // namespace quill
