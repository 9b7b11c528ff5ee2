// DeviceManagement: what the session asks of a queue's device-management document (the text
// KRTPPD::CustomXMLText() keeps): whether an option is hidden or locked, which options are hidden,
// and which of the document's defaults are not ordinary PPD options and where they go.
//
// The session (PDEData) owns the tables and the print settings; these functions only read the
// document and tell it what to do, so they stay free of the panel's types. A null or empty
// document hides, locks and defaults nothing.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace quill {

// Whether the document's <Show> section hides `keyword` (with or without its leading asterisk):
// the keyword, enclosed in double quotes, occurs inside <Show> ... </Show> of the category
// element, and value="False" follows it before the element's "/>". A keyword matched with its
// quotes, so "*MediaType" does not find MediaTypeEx. False for null arguments.
[[nodiscard]] bool dmtHides(const char* dmtText, const char* keyword);

// The same test on the <Lock> section with value="True".
[[nodiscard]] bool dmtLocks(const char* dmtText, const char* keyword);

// Appends "*<key>" for every key of the <Show> section, in key order, whatever its value. False
// when the document has no such section (nothing appended).
bool fetchHiddenKeysFromDMTXML(const char* dmtText, std::vector<std::string>& keys);

// Where a default of the <Controls> section goes when it is not an ordinary PPD option.
enum class DMTNonPPDTarget {
  kMixedMedia,       // keys starting "RangeProp", "RangeNum", "Chapters", "SubsetFinishing", "MM_A"
  kPadCover,         // "PadCover..."
  kSlipSheet,        // "SlipSheet_..."
  kCoverPage,        // "CoverPage_..."
  kPaperCatalog,     // "KRPCMID...", "KRPCName...", "KRCoverSizePCMID...", "KRCoverSizePCName..."
  kJobNote,          // a key with a job note "*<key>" in the option tree
  kCustomPrintSize,  // "CustomPrintSize", when "*CustomPrintSize" exists
};

// One default to apply. `key` is the document's key with the asterisk the session's tables and
// print settings use ("*PadCoverTray"). For the four tables the pair (key, value) is appended to
// the table and also set in the print settings; for the others only the print settings entry is
// set. `settingsKey` and `settingsValue` are the same texts in UTF-8.
struct DMTNonPPDDefault {
  DMTNonPPDTarget target;
  std::wstring key;
  std::wstring value;
  std::string settingsKey;
  std::string settingsValue;
};

// Answers whether the option tree has a control with this main keyword ("*KRJobName").
using DMTControlQuery = std::function<bool(std::string_view mainKeyword)>;

// The defaults of the <Controls> section that dmtSetNonPPDKeys applies, in key order. `isJobNote`
// answers for job notes, `hasControl` whether "*CustomPrintSize" exists; either may be empty (then
// nothing of that kind is returned). Keys of no row above are left out (the ordinary PPD options
// take their defaults elsewhere). Empty without a document or section.
[[nodiscard]] std::vector<DMTNonPPDDefault> dmtNonPPDDefaults(const char* dmtText,
                                                              const DMTControlQuery& isJobNote,
                                                              const DMTControlQuery& hasControl);

// Which table or entry a <Controls> key belongs to by its name alone (the first four tables and
// the paper catalog); false for other keys.
[[nodiscard]] bool dmtClassifyKey(std::wstring_view key, DMTNonPPDTarget* target);

}  // namespace quill
