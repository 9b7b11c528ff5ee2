#include "connection/KRTMeridiaPrinterPList.h"

#include <cstdlib>
#include <cstring>
#include <optional>

#include "foundation/UTF8.h"

namespace quill {
namespace {

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

// The text of a string node. Read through its pointer and length: libplist's copying getter
// asserts (ending the process) on a string with a NUL byte inside, which a damaged list can hold.
std::optional<std::string> StringOf(plist_t node) {
  if (node == nullptr || plist_get_node_type(node) != PLIST_STRING) return std::nullopt;
  uint64_t length = 0;
  const char* value = plist_get_string_ptr(node, &length);
  if (value == nullptr) return std::string();
  // The length libplist reports can run past a NUL byte that ends its buffer; stop there.
  return std::string(value, strnlen(value, static_cast<std::size_t>(length)));
}

// A non-negative decimal number, the whole text.
std::optional<int> NumberOf(std::string_view text) {
  if (text.empty() || text.size() > 9) return std::nullopt;
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

// A block header "index:count".
std::optional<std::pair<int, int>> HeaderOf(const std::optional<std::string>& text) {
  if (!text) return std::nullopt;
  std::size_t colon = text->find(':');
  if (colon == std::string::npos) return std::nullopt;
  std::string_view index_text(*text);
  index_text = index_text.substr(0, colon);
  bool negative = !index_text.empty() && index_text[0] == '-';
  if (negative) index_text.remove_prefix(1);
  auto index = NumberOf(index_text);
  auto count = NumberOf(std::string_view(*text).substr(colon + 1));
  if (!index || !count) return std::nullopt;
  return std::make_pair(negative ? -*index : *index, *count);
}

// Text that libplist writes and reads back unchanged: valid UTF-8 without control characters
// other than tab, line feed and carriage return (which XML does not allow). Anything else becomes
// U+FFFD, one for one, so a line stays one line.
std::string StorableLine(std::string_view line) {
  std::string out;
  out.reserve(line.size());
  for (char32_t c : DecodeUTF8(line)) {
    if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') c = 0xFFFD;
    if (c == 0xFFFE || c == 0xFFFF) c = 0xFFFD;
    AppendUTF8(out, c);
  }
  return out;
}

}  // namespace

KRTMeridiaPrinterPList::KRTMeridiaPrinterPList() : PropertyListFile(kListPath, true, 0) {
  MakeWorkingArray();
}

KRTMeridiaPrinterPList::KRTMeridiaPrinterPList(std::string_view xmlText)
    : PropertyListFile(FromText{}, xmlText) {
  MakeWorkingArray();
}

void KRTMeridiaPrinterPList::MakeWorkingArray() {
  plist_t loaded = List();
  if (loaded != nullptr && plist_get_node_type(loaded) == PLIST_ARRAY) {
    array_.reset(plist_copy(loaded));
  } else {
    if (loaded != nullptr) MarkSourceUnreadable("the stored printer preference list is not an array");
    array_.reset(plist_new_array());
  }
}

bool KRTMeridiaPrinterPList::IsRecordStart(uint32_t at) const {
  plist_t a = array_.get();
  uint32_t size = plist_array_get_size(a);
  if (at + 2 >= size) return false;
  return plist_get_node_type(plist_array_get_item(a, at)) == PLIST_STRING &&
         plist_get_node_type(plist_array_get_item(a, at + 1)) == PLIST_STRING &&
         plist_get_node_type(plist_array_get_item(a, at + 2)) == PLIST_BOOLEAN;
}

KRTMeridiaPrinterPList::Record KRTMeridiaPrinterPList::RecordAt(uint32_t start) const {
  plist_t a = array_.get();
  const uint32_t size = plist_array_get_size(a);
  Record record;
  record.start = start;
  auto item = [&](uint32_t at) { return at < size ? plist_array_get_item(a, at) : nullptr; };
  // Ends the record at the next data-end marker, stopping before the next record.
  auto end_at_marker = [&](uint32_t from) {
    for (uint32_t at = from; at < size; ++at) {
      if (StringOf(item(at)) == kDataEnd) return at + 1;
      if (IsRecordStart(at)) return at;
    }
    return size;
  };

  std::optional<std::string> marker = StringOf(item(start + 3));
  if (marker == "0" || marker == "1" || marker == "2") record.form = *marker;
  if (record.form == "2") {
    uint32_t at = start + 4;
    for (;;) {
      std::optional<std::string> text = StringOf(item(at));
      if (text == kDataEnd) {
        record.end = at + 1;
        break;
      }
      auto header = HeaderOf(text);
      // The header's lines and the end marker must all be in the array, and the lines must be
      // strings: a count that runs into the next record (whose switch is a boolean) is wrong.
      bool fits = header && static_cast<uint64_t>(at) + 1 + header->second < size;
      for (uint32_t line = at + 1; fits && line <= at + static_cast<uint32_t>(header->second);
           ++line) {
        fits = plist_get_node_type(item(line)) == PLIST_STRING && !IsRecordStart(line);
      }
      if (!fits) {
        record.intact = false;
        record.end = end_at_marker(at);
        break;
      }
      uint32_t next = at + 1 + static_cast<uint32_t>(header->second);
      std::optional<std::string> after = StringOf(item(next));
      if (after != kDataEnd && !HeaderOf(after)) {
        // The lines are not followed by another block or the end: the count is wrong.
        record.intact = false;
        record.end = end_at_marker(at);
        break;
      }
      at = next;
    }
  } else if (record.form == "0") {
    record.end = start + 4;
    if (record.end < size && !IsRecordStart(record.end)) ++record.end;
  } else if (record.form == "1") {
    plist_t count_node = item(start + 4);
    std::optional<int> count;
    if (auto text = StringOf(count_node)) count = NumberOf(*text);
    if (count_node != nullptr && plist_get_node_type(count_node) == PLIST_UINT) {
      uint64_t value = 0;
      plist_get_uint_val(count_node, &value);
      if (value < 100000000) count = static_cast<int>(value);
    }
    // The counted lines must be strings and no record may start among them.
    bool fits = count && static_cast<uint64_t>(start) + 5 + *count <= size;
    for (uint32_t line = start + 5; fits && line < start + 5 + static_cast<uint32_t>(*count);
         ++line) {
      fits = plist_get_node_type(item(line)) == PLIST_STRING && !IsRecordStart(line);
    }
    if (fits) {
      record.end = start + 5 + static_cast<uint32_t>(*count);
      if (record.end < size && !IsRecordStart(record.end)) ++record.end;
    } else {
      record.intact = false;
      record.end = start + 4;
      while (record.end < size && !IsRecordStart(record.end)) ++record.end;
    }
  } else {
    record.intact = false;
    record.end = start + 3;
    while (record.end < size && !IsRecordStart(record.end)) ++record.end;
  }
  return record;
}

std::vector<KRTMeridiaPrinterPList::Record> KRTMeridiaPrinterPList::Records() const {
  std::vector<Record> records;
  const uint32_t size = plist_array_get_size(array_.get());
  for (uint32_t at = 0; at < size;) {
    if (!IsRecordStart(at)) {
      ++at;  // an element outside any record: skipped
      continue;
    }
    Record record = RecordAt(at);
    records.push_back(record);
    at = std::max(record.end, at + 1);
  }
  return records;
}

const KRTMeridiaPrinterPList::Record* KRTMeridiaPrinterPList::FindRecord(
    std::string_view name, std::vector<Record>& all) const {
  all = Records();
  for (const Record& record : all) {
    if (EqualsIgnoringCase(StringOf(plist_array_get_item(array_.get(), record.start)).value_or(""),
                           name)) {
      return &record;
    }
  }
  return nullptr;
}

int KRTMeridiaPrinterPList::Exists(std::string_view name, bool& found) const {
  std::vector<Record> all;
  const Record* record = FindRecord(name, all);
  found = record != nullptr;
  return found ? static_cast<int>(record->start) : -1;
}

std::string KRTMeridiaPrinterPList::Find(std::string_view name) const {
  std::vector<Record> all;
  const Record* record = FindRecord(name, all);
  if (record == nullptr) return {};
  return StringOf(plist_array_get_item(array_.get(), record->start + 1)).value_or("");
}

bool KRTMeridiaPrinterPList::getIPEnabled(std::string_view name) const {
  std::vector<Record> all;
  const Record* record = FindRecord(name, all);
  if (record == nullptr) return false;
  plist_t flag = plist_array_get_item(array_.get(), record->start + 2);
  if (flag == nullptr || plist_get_node_type(flag) != PLIST_BOOLEAN) return false;
  uint8_t value = 0;
  plist_get_bool_val(flag, &value);
  return value != 0;
}

bool KRTMeridiaPrinterPList::setIPEnabled(std::string_view name, bool flag) {
  std::vector<Record> all;
  const Record* record = FindRecord(name, all);
  if (record == nullptr) return false;
  plist_array_set_item(array_.get(), plist_new_bool(flag), record->start + 2);
  modified_ = true;
  return true;
}

void KRTMeridiaPrinterPList::ConvertToCurrentForm(Record& record) {
  plist_t a = array_.get();
  const uint32_t after_marker = record.start + 4;
  if (record.form == "2") return;
  if (record.form == "0") {
    plist_array_set_item(a, plist_new_string("2"), record.start + 3);
    if (record.end > after_marker) {
      plist_array_set_item(a, plist_new_string(kDataEnd), after_marker);
    } else {
      plist_array_insert_item(a, plist_new_string(kDataEnd), after_marker);
      ++record.end;
    }
  } else if (record.form == "1" && record.intact) {
    // Count and lines go; an element that closed the old record becomes the end marker, else one
    // is inserted, so the next record is never written over.
    uint32_t old_length = record.end - after_marker;
    plist_t count_node = plist_array_get_item(a, after_marker);
    uint32_t count = 0;
    if (auto text = StringOf(count_node)) {
      count = static_cast<uint32_t>(NumberOf(*text).value_or(0));
    } else {
      uint64_t value = 0;
      plist_get_uint_val(count_node, &value);
      count = static_cast<uint32_t>(value);
    }
    bool had_closing_element = old_length == count + 2;
    for (uint32_t i = 0; i < count + 1; ++i) plist_array_remove_item(a, after_marker);
    plist_array_set_item(a, plist_new_string("2"), record.start + 3);
    if (had_closing_element) {
      plist_array_set_item(a, plist_new_string(kDataEnd), after_marker);
    } else {
      plist_array_insert_item(a, plist_new_string(kDataEnd), after_marker);
    }
    record.end = after_marker + 1;
  } else {
    // Unknown or damaged form: a fresh form "2" ending, inserted before what was there.
    plist_array_insert_item(a, plist_new_string(kDataEnd), record.start + 3);
    plist_array_insert_item(a, plist_new_string("2"), record.start + 3);
    record.end = after_marker + 1;
  }
  record.form = "2";
  record.intact = true;
}

bool KRTMeridiaPrinterPList::Add(std::string_view name, std::string_view address, bool ipEnabled) {
  plist_t a = array_.get();
  std::vector<Record> all;
  const Record* found = FindRecord(name, all);
  if (found != nullptr) {
    Record record = *found;
    plist_array_set_item(a, plist_new_string(std::string(address).c_str()), record.start + 1);
    plist_array_set_item(a, plist_new_bool(ipEnabled), record.start + 2);
    ConvertToCurrentForm(record);
  } else {
    plist_array_append_item(a, plist_new_string(std::string(name).c_str()));
    plist_array_append_item(a, plist_new_string(std::string(address).c_str()));
    plist_array_append_item(a, plist_new_bool(ipEnabled));
    plist_array_append_item(a, plist_new_string("2"));
    plist_array_append_item(a, plist_new_string(kDataEnd));
  }
  modified_ = true;
  return true;
}

bool KRTMeridiaPrinterPList::AddDataBlob(std::string_view name, int lineCount, int blockIndex,
                                         const char* lines) {
  if (lineCount < 0 || (lines == nullptr && lineCount > 0)) return false;
  std::vector<std::string> taken;
  taken.reserve(static_cast<std::size_t>(lineCount));
  for (int i = 0; i < lineCount; ++i) {
    const char* slot = lines + static_cast<std::size_t>(i) * kLineSlot;
    taken.emplace_back(slot, strnlen(slot, kLineSlot - 1));
  }
  return AddDataBlob(name, blockIndex, taken);
}

bool KRTMeridiaPrinterPList::AddDataBlob(std::string_view name, int blockIndex,
                                         const std::vector<std::string>& lines) {
  plist_t a = array_.get();
  std::vector<Record> all;
  const Record* found = FindRecord(name, all);
  if (found == nullptr) return true;
  Record record = *found;
  ConvertToCurrentForm(record);
  if (!record.intact) return false;

  // Remove the block with the same index (there is at most one; every one found goes).
  for (uint32_t at = record.start + 4;;) {
    std::optional<std::string> text = StringOf(plist_array_get_item(a, at));
    if (!text || *text == kDataEnd) break;
    auto header = HeaderOf(text);
    if (!header) break;
    if (header->first == blockIndex) {
      for (int i = 0; i <= header->second; ++i) plist_array_remove_item(a, at);
    } else {
      at += 1 + static_cast<uint32_t>(header->second);
    }
  }
  std::string header = std::to_string(blockIndex) + ":" + std::to_string(lines.size());
  uint32_t at = record.start + 4;
  plist_array_insert_item(a, plist_new_string(header.c_str()), at++);
  for (const std::string& line : lines) {
    plist_array_insert_item(a, plist_new_string(StorableLine(line.substr(0, kLineSlot - 1)).c_str()),
                            at++);
  }
  modified_ = true;
  return true;
}

bool KRTMeridiaPrinterPList::GetDataBlob(std::string_view name, int blockIndex,
                                         std::vector<std::string>& out) const {
  std::vector<Record> all;
  const Record* record = FindRecord(name, all);
  if (record == nullptr || record->form != "2") return false;
  plist_t a = array_.get();
  for (uint32_t at = record->start + 4; at < record->end;) {
    std::optional<std::string> text = StringOf(plist_array_get_item(a, at));
    if (!text || *text == kDataEnd) return false;
    auto header = HeaderOf(text);
    if (!header) return false;
    uint32_t last = at + static_cast<uint32_t>(header->second);
    if (last >= record->end) return false;  // the count runs past the record
    if (header->first == blockIndex) {
      for (uint32_t i = at + 1; i <= last; ++i) {
        out.push_back(StringOf(plist_array_get_item(a, i)).value_or(""));
      }
      return true;
    }
    at = last + 1;
  }
  return false;
}

bool KRTMeridiaPrinterPList::Save() {
  if (!modified_) return true;
  if (!PropertyListFile::Save(array_.get())) return false;
  modified_ = false;
  return true;
}

std::vector<std::string> KRTMeridiaPrinterPList::QueueNames() const {
  std::vector<std::string> names;
  for (const Record& record : Records()) {
    names.push_back(StringOf(plist_array_get_item(array_.get(), record.start)).value_or(""));
  }
  return names;
}

}  // namespace quill
