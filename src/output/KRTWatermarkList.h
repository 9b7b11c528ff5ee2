// KRTWatermarkList: the session's watermarks and which one is selected, with the selection's
// print-settings entries and the keys exchanged with the job-properties module.
//
// The list holds at most 99 records, in order; the selected index is -1 for none. Every index that
// comes from outside (stored settings, the module) is checked against the list: an index that
// names no record selects nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "output/KRTWatermark.h"

class KRTWatermarkList {
 public:
  static constexpr std::size_t kMaxWatermarks = 99;
  static constexpr std::size_t kMaxStoredLine = 1023;  // bytes of one stored record line
  static constexpr int kModuleMaxWatermarks = 20;      // positions the module can select

  // Print-settings entries of the selection and module keys.
  static constexpr const char* kFirstPageInfoKey = "WatermarkFirstPageInfo";
  static constexpr const char* kSelectedKey = ".SelectedWatermarkKey";
  static constexpr const char* kModuleSelectionKey = "*KR_WATERMARK";
  static constexpr const char* kModuleFirstPageKey = "*KR_WATERMARK_FIRSTPAGEONLY";

  [[nodiscard]] int Count() const { return static_cast<int>(records_.size()); }
  [[nodiscard]] bool Empty() const { return records_.empty(); }
  // The record at `index`, or null when the index names none.
  [[nodiscard]] KRTWatermark* At(int index);
  [[nodiscard]] const KRTWatermark* At(int index) const;

  [[nodiscard]] int SelectedIndex() const { return selected_; }
  // The selected record, or null.
  [[nodiscard]] KRTWatermark* Selected() { return At(selected_); }
  [[nodiscard]] const KRTWatermark* Selected() const { return At(selected_); }
  // Selects `index`; an index that names no record selects nothing. Returns the new index.
  int Select(long long index);

  // Appends a record made from `recordText`. False, with nothing added, for a refused record
  // (reason in *why) or a full list.
  bool Add(const char* recordText, std::string* why = nullptr);
  // Deletes every record; the selection becomes none.
  void Clear();

  // Replaces the records by one per line (each cut to kMaxStoredLine bytes on a UTF-8 boundary).
  // With no lines the list is left alone and false is returned. Refused lines are skipped and
  // lines past kMaxWatermarks are dropped, each with a log line. The selection is kept when it
  // still names a record.
  bool LoadFromLines(const std::vector<std::string>& lines);
  // The record text of every record, in order (the stored form, one line each).
  [[nodiscard]] std::vector<std::string> StoredLines() const;

  // Fills an empty list with the five records of the localized strings "Watermark0" to
  // "Watermark4" (`localized` answers a key with its string). A string that makes no valid
  // record is skipped. Does nothing when the list is not empty; returns the count.
  int AddDefaults(const std::function<std::string(const std::string& key)>& localized);

  // "WatermarkFirstPageInfo": 1 when a record is selected and it prints on the first page only,
  // else 0.
  [[nodiscard]] int32_t FirstPageInfo() const;

  // Restores the selection from the print settings: `storedIndex` (".SelectedWatermarkKey",
  // nullopt when absent) selects when it names a record below `storedCount` (the number of
  // stored records) and below Count(), else nothing; a present non-zero `firstPageInfo`
  // ("WatermarkFirstPageInfo") sets the selected record's first-page-only flag.
  void RestoreSelection(std::optional<long long> storedIndex, long long storedCount,
                        std::optional<long long> firstPageInfo);

  // Applies one key of the module's answer: "*KR_WATERMARK" with 0 (or a negative or unreadable
  // number) selects none, 1 to 20 select position value - 1, larger values position 19, each only
  // when that record exists; "*KR_WATERMARK_FIRSTPAGEONLY" sets the selected record's flag to
  // whether the value is "True". False for any other key.
  bool ApplyModuleSetting(std::string_view key, std::string_view value);

  // The selection as the module is told it: ("*KR_WATERMARK", selected + 1 as "%d") and
  // ("*KR_WATERMARK_FIRSTPAGEONLY", "True"/"False"), the flag from `firstPageInfo` (the print
  // settings entry) when present, else from the selected record ("False" with none).
  [[nodiscard]] std::vector<std::pair<std::string, std::string>> ModuleSelection(
      std::optional<long long> firstPageInfo) const;

 private:
  std::vector<std::unique_ptr<KRTWatermark>> records_;
  int selected_ = -1;
};
