// PDEData: the data of one panel session (one print dialog and queue) besides the option tree:
// the session's private copy of the queue's PPD, the dialog's print settings, page format and
// bundle, the queue's printer address and two-way switch in the printer preference list, the
// settings that are not PostScript options (mixed-media, pad-cover, cover-page, slip-sheet and
// paper-catalog tables, the watermark list), the quick-access list stored per queue, the rules
// for which controls the quick-access pane may show, the device-management questions, and the
// hand-off of a workflow file to the optional workflow client library.
//
// The PPD copy lives in a folder made for this session only (mode 0700, under $XDG_RUNTIME_DIR,
// else the user's cache folder) and goes with the session.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "output/KRTWatermarkList.h"

class KRTJobTicket;
class KRTPPD;
class PPDXControl;
struct PPDTree;
enum CNTL_TYPE : int32_t;

namespace quill {
class Bundle;
class KRTMeridiaPrinterPList;
class PageFormat;
class PrintSession;
class PrintSettings;
}  // namespace quill

// A table of (key, value) pairs of wide text with a fixed number of slots and a count of the
// slots in use. Slots past the count keep their texts until they are overwritten.
class KeyValueTable {
 public:
  struct Pair {
    std::wstring key;
    std::wstring value;
  };

  explicit KeyValueTable(std::size_t capacity) : pairs_(capacity) {}

  [[nodiscard]] std::size_t Capacity() const { return pairs_.size(); }
  [[nodiscard]] int32_t Count() const { return count_; }
  // Sets the count, kept within 0..Capacity().
  void SetCount(long long count);
  // The slot at `index`; null past the capacity.
  [[nodiscard]] Pair* At(std::size_t index) { return index < pairs_.size() ? &pairs_[index] : nullptr; }
  [[nodiscard]] const Pair* At(std::size_t index) const {
    return index < pairs_.size() ? &pairs_[index] : nullptr;
  }
  // Writes the pair into the next slot; false when every slot is in use.
  bool Append(std::wstring key, std::wstring value);
  // Count 0 and every slot emptied.
  void Clear();

 private:
  std::vector<Pair> pairs_;
  int32_t count_ = 0;
};

// The keyword tables of the control tests.
extern const char* const kExpertTonesmithKeywords[14];
extern const char* const kSpecialTonesmithKeywords[5];
extern const char* const kBasicPanelExcludedKeywords[116];

// True when `keyword` is at least five characters long and ends in "Bidi".
bool isBidiKeyword(const char* keyword);
// True when `keyword` is one of the 14 expert colour keywords.
bool isExpertTonesmithControl(const char* keyword);

class PDEData {
 public:
  static constexpr std::size_t kMixedMediaPairs = 2048;
  static constexpr std::size_t kTablePairs = 16;
  static constexpr std::size_t kPaperCatalogPairs = 4;
  static constexpr std::size_t kMaxSettingBytes = 255;  // a stored table key or value
  static constexpr std::size_t kMaxKeywordBytes = 63;   // a stored quick-access keyword
  static constexpr std::size_t kPrimaryPaperFeedSize = 64;

  // Data blocks of the queue's record in the printer preference list.
  static constexpr int kShortcutsBlock = 0;
  static constexpr int kWatermarksBlock = 1;

  // Print-settings entries.
  static constexpr const char* kCopiesKey = "com.apple.print.PrintSettings.PMCopies";
  static constexpr const char* kJobNameKey = "com.apple.print.JobInfo.PMJobName";
  static constexpr const char* kPrimaryPaperFeedKey =
      "com.apple.print.PrintSettings.PMPrimaryPaperFeed";
  static constexpr const char* kFirstPageInputSlotKey = "AP_FIRSTPAGE_InputSlot";
  static constexpr const char* kInputSlotKey = "InputSlot";
  // Count entries and the key/value entry formats of the four tables, in save order.
  struct TableKeys {
    const char* count;
    const char* key;
    const char* value;
  };
  static constexpr TableKeys kMixedMediaKeys = {".MMKey", "MMKey%d", "MMValue%d"};
  static constexpr TableKeys kPadCoverKeys = {".PadCov", "PCovKey%d", "PCovValue%d"};
  static constexpr TableKeys kCoverPageKeys = {".CovPag", "CovPagKey%d", "CovPagValue%d"};
  static constexpr TableKeys kSlipSheetKeys = {".SlpSht", "SlpShtKey%d", "SlpShtValue%d"};
  // Keys of the paper-catalog table, in order; each value starts as "-1".
  static constexpr const char* kPaperCatalogKeys[kPaperCatalogPairs] = {
      "*KRPCMID", "*KRPCName", "*KRCoverSizePCMID", "*KRCoverSizePCName"};

  // Environment variable naming the workflow client library; without it (and without
  // SetWorkflowClientPath) the workflow upload does nothing.
  static constexpr const char* kWorkflowClientVariable = "QUILL_WORKFLOW_CLIENT";

  // Builds the session for `ppd` (not owned; must outlive the session) of queue `queueName`
  // ("" when unknown) on `session` (not owned; null for the process's session): copies the PPD
  // into the session folder, loads the printer preference list and gives the queue its record
  // there, and starts the tables empty, the paper catalog at "-1" and no watermark selected.
  PDEData(KRTPPD* ppd, std::string queueName, quill::PrintSession* session = nullptr);
  // Removes the session folder with the PPD copy.
  ~PDEData();
  PDEData(const PDEData&) = delete;
  PDEData& operator=(const PDEData&) = delete;

  // --- printer address and two-way switch -------------------------------------------------

  // Loads the printer preference list anew; its "exists" flag.
  bool ResetMeridiaPrinterList();
  // The queue's stored address (first launch cleared), or, when there is none or it is empty,
  // the host of the queue's device URI (first launch set). `ipEnabled` receives the stored
  // switch when the record has one. nullopt without a list.
  std::optional<std::string> GetMeridiaPrinterAddress(bool* ipEnabled);
  std::optional<std::string> GetMeridiaPrinterAddress();
  // Stores the address and switch for the queue and saves the list; the save's result.
  bool SetMeridiaPrinterAddress(std::string_view address, bool ipEnabled);
  // Without a queue name returns `enabled`; otherwise sets the switch and saves.
  bool SetIPAddressEnabled(bool enabled);
  // True only when the list holds a record for the queue with the switch on. Refreshes the
  // printer-address field.
  bool isBIDIEnabled();
  [[nodiscard]] bool isFirstLaunch() const { return firstLaunch_; }
  // The host of the current printer's device URI; "" without a printer, for an AppleTalk ("pap")
  // or Bonjour ("mdns") queue, or a URI without a host.
  [[nodiscard]] std::string GetPrinterAddress() const;

  // --- values from the printing system ----------------------------------------------------

  // The copies of the print settings; 1 without settings or entry.
  [[nodiscard]] int GetNumCopiesFromOS() const;
  // The page format's orientation; 1 (portrait) without one.
  [[nodiscard]] uint32_t GetPageOrientationFromOS() const;
  // Writes the selected input slot (UTF-8, cut on a character boundary to fit `size` bytes with
  // its NUL) into `out`; returns 0. Nothing is written for a size below 1.
  int GetPrimayPaperFeedFromOS(char* out, int size) const;

  // --- control tests ----------------------------------------------------------------------

  // Whether the control may appear in the quick-access pane.
  bool IsValidBasicPanelControl(PPDXControl* control);
  // True when one of the five special colour keywords occurs anywhere in `keyword`.
  [[nodiscard]] bool isSpecialTonesmithControl(const char* keyword) const;

  // --- quick-access list ------------------------------------------------------------------

  // Replaces the tree's quick-access entries by the list stored for the queue (when one is
  // stored), keeping only keywords of eligible, not hidden controls of the PPD; at most 99.
  // False without a queue name.
  bool GetPPDShortcuts(PPDTree& tree);
  // Stores the tree's quick-access keywords for the queue; true when stored and saved.
  bool SetPPDShortcuts(const PPDTree& tree);

  // --- watermarks -------------------------------------------------------------------------

  // Stores the record texts of the list for the queue (not saved). False without a queue name,
  // without a list, or with an empty watermark list.
  bool SaveWatermarksToPreferences();
  // Replaces the list by the records stored for the queue, when any are. False without a queue
  // name.
  bool GetWatermarksFromPreferences();
  [[nodiscard]] KRTWatermarkList& Watermarks() { return watermarks_; }
  [[nodiscard]] const KRTWatermarkList& Watermarks() const { return watermarks_; }

  // --- settings outside the PPD options ---------------------------------------------------

  // Writes the watermark selection and the four tables into the print settings. -1 without
  // print settings, else 0.
  int SaveNonPSSettings();
  // Reads them back (and the paper catalog). -1 without print settings, else 0. Counts are kept
  // within their tables and texts within 255 bytes, cut on a character boundary.
  int RestoreNonPSSettings();

  [[nodiscard]] KeyValueTable& MixedMedia() { return mixedMedia_; }
  [[nodiscard]] KeyValueTable& PadCover() { return padCover_; }
  [[nodiscard]] KeyValueTable& CoverPage() { return coverPage_; }
  [[nodiscard]] KeyValueTable& SlipSheet() { return slipSheet_; }
  [[nodiscard]] KeyValueTable& PaperCatalog() { return paperCatalog_; }
  [[nodiscard]] const KeyValueTable& MixedMedia() const { return mixedMedia_; }
  [[nodiscard]] const KeyValueTable& PadCover() const { return padCover_; }
  [[nodiscard]] const KeyValueTable& CoverPage() const { return coverPage_; }
  [[nodiscard]] const KeyValueTable& SlipSheet() const { return slipSheet_; }
  [[nodiscard]] const KeyValueTable& PaperCatalog() const { return paperCatalog_; }

  // --- device management ------------------------------------------------------------------

  // Whether the PPD's device-management document hides or locks the option `keyword`.
  [[nodiscard]] bool dmtHides(const char* keyword) const;
  [[nodiscard]] bool dmtLocks(const char* keyword) const;
  // Appends "*<key>" for every key of the document's <Show> section.
  bool fetchHiddenKeysFromDMTXML(std::vector<std::string>& keys) const;
  // Applies the document's defaults that are not PPD options to the tables and print settings;
  // nothing without a document. The mixed-media and pad-cover tables are then saved into the
  // print settings (when set).
  void dmtSetNonPPDKeys();

  // --- workflow upload --------------------------------------------------------------------

  // Hands the workflow file "/tmp/<workflow name>.xml" (under Paths' root) to the workflow
  // client library; with `mode` 2 creates a job and stores its id in "*KRRelayerJobId" and
  // "*KRRLNewJobID". Does nothing when no library is configured or it cannot be loaded, a
  // control is missing, the workflow name could step out of the folder, or no session opens.
  void UploadRelayerXMLFiles(int mode);
  // The workflow client library to load; "" for none (then the environment decides).
  static void SetWorkflowClientPath(std::string path);

  // --- print-time output --------------------------------------------------------------------

  // OutPostscriptData statuses besides those of the job-note output (KRTJobNoteList: -108 no
  // memory, -1 a note refused, -50 no ticket).
  static constexpr int kOutputOk = 0;
  static constexpr int kOutputRefused = -1;  // a value that cannot go into the job safely

  // Fills `ticket` with what the job needs, in order: the bare keyword of every option but
  // "*PageSize" (site -9), the feature code of the chosen options and the panel's own feature
  // blocks (81), the job notes' pieces (30, 504, 81), the watermark resource (81), the mailbox
  // path (900, after which "Command_PSKRDestination" goes to the current printer of `session`,
  // or of the session data's session when null), the header comments (501) and the end-of-pre-
  // parse marker (71). Returns kOutputOk; on a failure of the job-note output its status, and
  // kOutputRefused for a mailbox name that would leave the mailbox folder; then the ticket is
  // discarded (nothing is saved from it) and OutputError() says why.
  int OutPostscriptData(KRTJobTicket& ticket, quill::PrintSession* session);
  // Adds the bare keyword of every control, in tree order, except "*PageSize", under site -9:
  // the filter removes the feature code that CUPS inserted for these.
  void SuppressApplePostscript(KRTJobTicket& ticket);
  // Why the last OutPostscriptData failed; empty after a success.
  [[nodiscard]] const std::string& OutputError() const { return outputError_; }
  // The server's UTF-8 level ("*KRUTF8_Version") read by the last OutPostscriptData.
  [[nodiscard]] int UTF8Version() const { return utf8Version_; }

  // --- the session's objects ----------------------------------------------------------------

  [[nodiscard]] KRTPPD* PPD() const { return ppd_; }
  [[nodiscard]] const std::string& QueueName() const { return queueName_; }
  // The session's copy of the PPD (or the PPD itself when no copy could be made).
  [[nodiscard]] const std::string& CopyPath() const { return copyPath_; }
  [[nodiscard]] const std::string& PrinterAddress() const { return printerAddress_; }

  void SetPrintSettings(quill::PrintSettings* settings) { printSettings_ = settings; }
  [[nodiscard]] quill::PrintSettings* PrintSettings() const { return printSettings_; }
  void SetPageFormat(quill::PageFormat* format) { pageFormat_ = format; }
  [[nodiscard]] quill::PageFormat* PageFormat() const { return pageFormat_; }
  void SetBundle(quill::Bundle* bundle) { bundle_ = bundle; }
  [[nodiscard]] quill::Bundle* Bundle() const { return bundle_; }
  [[nodiscard]] quill::PrintSession* Session() const;
  [[nodiscard]] quill::KRTMeridiaPrinterPList* PrinterList() const { return printerList_.get(); }

  // Set by the job-properties bridge when the dialog's paper is a custom size.
  [[nodiscard]] bool CustomPaper() const { return customPaper_; }
  void SetCustomPaper(bool custom) { customPaper_ = custom; }
  [[nodiscard]] uint32_t PageOrientation() const { return pageOrientation_; }
  void SetPageOrientation(uint32_t orientation) { pageOrientation_ = orientation; }
  // The input slot last read with GetPrimayPaperFeedFromOS.
  [[nodiscard]] const std::string& PrimaryPaperFeed() const { return primaryPaperFeed_; }
  void SetPrimaryPaperFeed(std::string slot) { primaryPaperFeed_ = std::move(slot); }

 private:
  void MakePPDCopy(const std::string& source);
  void SaveTable(const KeyValueTable& table, const TableKeys& keys);
  void RestoreTable(KeyValueTable& table, const TableKeys& keys);
  // The page format's orientation, else the one the job-properties bridge set.
  [[nodiscard]] uint32_t OutputOrientation() const;
  void AddOptionControl(KRTJobTicket& ticket, PPDXControl* control, CNTL_TYPE type,
                        int utf8Version, const std::string& controlBarValue);

  KRTPPD* ppd_;  // not owned
  bool customPaper_ = false;
  KeyValueTable mixedMedia_{kMixedMediaPairs};
  KeyValueTable padCover_{kTablePairs};
  KeyValueTable coverPage_{kTablePairs};
  KeyValueTable slipSheet_{kTablePairs};
  uint32_t pageOrientation_ = 1;
  std::string primaryPaperFeed_;
  KeyValueTable paperCatalog_{kPaperCatalogPairs};
  KRTWatermarkList watermarks_;
  std::string copyPath_;
  std::string sessionFolder_;  // made for this session; removed by the destructor
  quill::PrintSettings* printSettings_ = nullptr;  // not owned
  quill::PrintSession* session_;                   // not owned
  quill::PageFormat* pageFormat_ = nullptr;        // not owned
  quill::Bundle* bundle_ = nullptr;                // not owned
  std::unique_ptr<quill::KRTMeridiaPrinterPList> printerList_;
  std::string queueName_;
  std::string printerAddress_;
  bool firstLaunch_ = false;
  // Whether the PPD has "*KRCurveAdjust", found once per PPD.
  const KRTPPD* curveAdjustPPD_ = nullptr;
  bool hasCurveAdjust_ = false;
  std::string outputError_;
  int utf8Version_ = 0;
};
