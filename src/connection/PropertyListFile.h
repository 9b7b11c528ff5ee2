// PropertyListFile: a property list loaded from a file or, on newer systems, from the data block
// "DriverPreference" that the spooler-side filter keeps in the current printer's PPD; and saved
// back the same way (a file, or the command "Command_KRTPrefs" to the filter, which stores the
// block).
//
// A list whose source exists but cannot be read (a PPD that cannot be fetched, a block or file
// that is not a property list) is never saved over: Save refuses, so no queue's record is lost.
#pragma once

#include <plist/plist.h>

#include <memory>
#include <string>
#include <string_view>

namespace quill {

struct PlistDeleter {
  void operator()(void* node) const { plist_free(static_cast<plist_t>(node)); }
};
// One owned libplist node.
using PlistPtr = std::unique_ptr<void, PlistDeleter>;

class PropertyListFile {
 public:
  // Error set when a list cannot be serialised.
  static constexpr int kSerialiseError = -108;
  // The cache file whose presence the old system notes.
  static constexpr const char* kCacheFile = "/Library/Caches/KRT/KRT.MeridiaPrinterV2.plist";
  // The block holding the list in the queue's PPD (stored as "KR" + this name).
  static constexpr const char* kBlockName = "DriverPreference";

  // Loads the list named `path`. From macOS 10.7 on (SystemInfo's version) from the block of the
  // current printer's PPD (fetched with Printer::CopyPPD, the copy removed afterwards); before
  // that from the file $HOME + `path`. `flag` is kept for callers; `option` is the parse option
  // (libplist nodes are always mutable).
  PropertyListFile(std::string path, bool flag, int option);
  // Reads `fileName` in the folder `directory`; marks the list loaded when it parses.
  PropertyListFile(const std::string& directory, const std::string& fileName);
  virtual ~PropertyListFile();
  PropertyListFile(const PropertyListFile&) = delete;
  PropertyListFile& operator=(const PropertyListFile&) = delete;

  // Reads the file at `path` and parses it as a property list (XML or binary); null when the file
  // cannot be read or does not parse.
  [[nodiscard]] static PlistPtr CreatePropertyListFromFile(const std::string& path, int option);
  // Parses `text` as an XML property list; null when it does not parse.
  [[nodiscard]] static PlistPtr CreatePropertyListFromText(std::string_view text);

  // Saves `array`: refused (false, nothing written or sent) when the source could not be read;
  // false with Error() kSerialiseError when it cannot be serialised. Before 10.7 writes the file
  // (through a temporary file renamed into place); from 10.7 on sends the XML text to the current
  // printer as "Command_KRTPrefs" + a fresh UUID and, before 10.15, waits for that job
  // (isJobComple). False when there is no current printer or the send failed.
  bool Save(plist_t array);

  [[nodiscard]] static bool IsOSVersionMac1015orAbove();

  [[nodiscard]] bool IsValid() const { return valid_; }
  [[nodiscard]] bool IsLoaded() const { return loaded_; }
  [[nodiscard]] bool CacheFilePresent() const { return cacheFilePresent_; }
  // False when the source exists but could not be read; Save refuses then.
  [[nodiscard]] bool SourceReadable() const { return sourceReadable_; }
  [[nodiscard]] int Error() const { return error_; }
  // Why the last load or save failed, one line (for front ends).
  [[nodiscard]] const std::string& ErrorText() const { return errorText_; }
  // Job id of the last command Save sent; 0 when none.
  [[nodiscard]] int LastJobId() const { return lastJobId_; }
  // The loaded list; null when nothing was loaded.
  [[nodiscard]] plist_t List() const { return list_.get(); }

 protected:
  // For lists made from text in memory (tests, tools): loaded, readable when it parsed.
  struct FromText {};
  PropertyListFile(FromText, std::string_view text);
  // For a list that parsed but is not what the owner reads (an array expected): Save refuses.
  void MarkSourceUnreadable(std::string reason) {
    sourceReadable_ = false;
    errorText_ = std::move(reason);
  }

 private:
  void LoadFromPrinterPPD();
  void LoadFromFile(const std::string& path);

  std::string path_;  // file URL (path) the list is read from and, on the old system, written to
  PlistPtr list_;
  bool flag_ = false;
  int option_ = 0;
  bool valid_ = false;
  int error_ = 0;
  bool loaded_ = false;
  bool cacheFilePresent_ = false;
  bool sourceReadable_ = true;
  std::string errorText_;
  int lastJobId_ = 0;
};

}  // namespace quill
