// KRTPPD: construction, the parse loop and its dispatch, the header keywords of the vendor, and
// the process-wide display and extension settings.
#include "PPDX/KRTPPD.h"

#include <strings.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>

#include "PPDX/PPDFile.h"
#include "PPDX/PPDFileStream.h"
#include "PPDX/PPDObjects/GroupName.h"
#include "PPDX/PPDObjects/PPDXControls.h"
#include "PPDX/PPDObjects/PPDXGroups.h"
#include "PPDX/PPDObjects/PPDXProperties.h"
#include "PPDX/PPDObjects/PPDXRollDown.h"
#include "PPDX/PPDObjects/PPDXShortcuts.h"
#include "PPDX/PPDStream.h"
#include "TextConverter/TextConverter.h"
#include "constraints/UIConstraints.h"
#include "foundation/ProcessGlobals.h"
#include "platform/Log.h"
#include "platform/SystemInfo.h"
#include "platform/TextEncoding.h"
#include "ppddata/PPDDataBlocks.h"

namespace {

// Two-way data that the spooler-side filter keeps in the PPD; never parsed as options.
constexpr std::string_view kSkippedKeywords[] = {
    "KRBidiData",          "KRCDIHelpStrings",       "KRPpdDefaults",
    "KRPresetsData",       "KRPresetsList",          "KRServerFeatureSupport",
    "KRServerInfo",        "KRTrayInfo",             "KRTonerInfo",
    "KRDeviceLinkProfilesList", "KRToneSmith",       "KRCalibration",
    "KRUpdatedTrayInfoFile", "KRUpdatedTonerInfoFile", "KRUpdatedVDMastersList",
    "KRPagesCount",        "KRlocalPreset",          "KRDriverPreference",
    "KRServerValFrmDict",
};

// Hosts that end the parse at the first "APLANNOTATE END" line.
constexpr const char* kAnnotatingHosts[] = {"vectorworks", "Preview", "InDesign"};

bool contains_ignoring_case(std::string haystack, std::string needle) {
  auto lower = [](std::string& s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  };
  lower(haystack);
  lower(needle);
  return haystack.find(needle) != std::string::npos;
}

bool host_ends_parse_at_annotations() {
  const std::string host = quill::SystemInfo::HostBundleIdentifier();
  return std::any_of(std::begin(kAnnotatingHosts), std::end(kAnnotatingHosts),
                     [&](const char* name) { return contains_ignoring_case(host, name); });
}

// Hands the lines of the parse to the data-block store.
class BlockCollector : public PPDLineSink {
 public:
  explicit BlockCollector(quill::PPDDataBlocks& blocks) : blocks_(blocks) {}
  void Take(std::string_view piece, bool lineEnded) override { blocks_.Take(piece, lineEnded); }

 private:
  quill::PPDDataBlocks& blocks_;
};

}  // namespace

const KRTPPD::DispatchEntry KRTPPD::kDispatch[] = {
    {"*UIConstraints", &KRTPPD::ParseUIConstraints},
    {"*%KRTUIConstraints", &KRTPPD::ParseUIConstraints},
    {"*%KRTUIRequires", &KRTPPD::ParseUIRequires},
    {"*%KRTPropPage", &KRTPPD::ParsePropertyPage},
    {"*%KRTGroupName", &KRTPPD::ParseGroupName},
    {"*%KRTSubGroupName", &KRTPPD::ParseSubGroupName},
    {"*%KRTParent", &KRTPPD::ParseParent},
    {"*%KRTFlags", &KRTPPD::ParseControl},
    {"*%ParamCustomPrintSize", &KRTPPD::ParseCustomPageSizeLine},
    {"*%KRShortcut", &KRTPPD::ParseShortcut},
    {"*%KRTSpecialOption", &KRTPPD::ParseSpecialOption},
    {"*%KRTJobNote", &KRTPPD::ParseJobNote},
};

KRTPPD::KRTPPD(_PARSE_OPTIONS_ options) : parseOptions_(options) { Build(); }

KRTPPD::KRTPPD(const std::string& path, _PARSE_OPTIONS_ options,
               const std::vector<std::string>* names)
    : PPDX(path, names), parseOptions_(options) {
  Build();
}

KRTPPD::~KRTPPD() {
  // The tree is torn down with every element in view, as its owner lists see them.
  const _DISPLAY_OPTIONS_ saved = Options();
  Options(kDisplayOrphans | kDisplayHidden);
  shortcuts_.reset();
  controls_.reset();
  groups_.reset();
  properties_.reset();
  constraints_.reset();
  Options(saved);
}

_DISPLAY_OPTIONS_ KRTPPD::Options() { return Globals().displayOptions; }
void KRTPPD::Options(_DISPLAY_OPTIONS_ options) { Globals().displayOptions = options; }
uint32_t KRTPPD::GetExtensions() { return Globals().extensionsSupport; }
void KRTPPD::SetExtensions(uint32_t extensions) { Globals().extensionsSupport = extensions; }

char const* KRTPPD::VendorFileVersion() const {
  return vendorFileVersion_ ? vendorFileVersion_->c_str() : nullptr;
}
char const* KRTPPD::VendorVersion() const {
  return vendorVersion_ ? vendorVersion_->c_str() : nullptr;
}
char const* KRTPPD::VendorMacVersion() const {
  return vendorMacVersion_ ? vendorMacVersion_->c_str() : nullptr;
}
char const* KRTPPD::CustomXMLText() const { return customXML_ ? customXML_->c_str() : nullptr; }

KRTPPD::ErrorPtr KRTPPD::Error(short code, char const* keyword, bool fatal) const {
  ErrorPtr error = keyword == nullptr || keyword[0] == '\0'
                       ? std::make_unique<PPDXErrorObj>(code, fatal)
                       : std::make_unique<PPDXErrorObj>(code, CString(keyword), fatal);
  if (const PPDStream* stream = CurrentFileStream()) error->SetLine(stream->LineNumber());
  return error;
}

void KRTPPD::AddError(short code, char const* keyword, bool fatal) {
  if (GetErrors() != nullptr) GetErrors()->Add(Error(code, keyword, fatal).release());
}

void KRTPPD::Build() {
  constraints_ = std::make_unique<UIConstraints>();
  properties_ = std::make_unique<PPDXProperties>();
  groups_ = std::make_unique<PPDXGroups>();
  controls_ = std::make_unique<PPDXControls>();

  if (GetFile() != nullptr) {
    Parse();
    if (!injectionText_.empty()) ReadCustXmlData(injectionText_);
    ReadPUJNPrefs();
  }
  FindQuestionControls();

  if (properties_->Empty()) AddError(PPDErr_NoPropertyPages, nullptr);
  if (groups_->Empty()) AddError(PPDErr_NoGroups, nullptr);
  if (controls_->ControlCount() == 0) AddError(PPDErr_NoControls, nullptr);
}

bool KRTPPD::NextFileLine(char* line) {
  PPDStream* stream = CurrentFileStream();
  if (stream == nullptr) {
    line[0] = '\0';
    return false;
  }
  // A line cut at 255 bytes or by the end of the file still counts as a line here.
  return stream->ReadLine(line) || line[0] != '\0';
}

void KRTPPD::Parse() {
  if (properties_ == nullptr || groups_ == nullptr || controls_ == nullptr) {
    if (GetErrors() != nullptr) AddError(PPDErr_OutOfMemory, nullptr, true);
    return;
  }
  if (GetFile() == nullptr) return;

  PPDFileStream stream(GetFile(), true);
  if (stream.Bad()) {
    AddError(PPDErr_FileError, nullptr, true);
    GetFile()->closeDataFork();
    return;
  }
  SetCurrentFileStream(&stream);
  // The file as it is read now: the collected blocks answer for it while it stays so.
  const std::optional<quill::FileIdentity> identity =
      quill::FileIdentity::OfDescriptor(GetFile()->getDataForkRefNum());
  blocks_ = std::make_unique<quill::PPDDataBlocks>();
  BlockCollector collector(*blocks_);
  stream.SetLineSink(&collector);

  char token[kLineSizeLimit];
  char value[kLineSizeLimit];
  ErrorPtr header_error;
  const bool ppd_text =
      NextToken(stream, token, kMainKeywordDelimiters, true) && std::strcmp(token, "*PPD-Adobe") == 0;
  if (ppd_text && GetQuotedString(stream, value, kLineSizeLimit) > 0 &&
      std::strcmp(value, "4.3") == 0) {
    SetValidHeader(true);
  } else {
    header_error = Error(PPDErr_NotPPDFile, nullptr, true);
    header_error->SetLine(1);
  }

  if (header_error == nullptr) {
    const bool annotating_host = host_ends_parse_at_annotations();
    char line[kLineSizeLimit];
    while (NextParseLine(stream, line)) {
      bool stop = false;
      PPDStream line_stream(line, static_cast<long>(std::strlen(line)));
      if (NextToken(line_stream, token, kMainKeywordDelimiters, true) && token[0] != '\0') {
        if (ErrorPtr error = Dispatch(line_stream, token, line)) {
          stop = error->IsFatal() || AllErrorsAreFatal();
          GetErrors()->Add(error.release());
        }
      }
      if (annotating_host && std::strstr(line, "APLANNOTATE END") != nullptr) stop = true;
      if (stop) break;
    }
  }

  // Blocks may stand behind the point where the parse stopped (the end marker, a fatal error):
  // the rest of the file is looked through for them. A file that is no PPD text has none.
  if (ppd_text) stream.ReadRest(collector);
  stream.SetLineSink(nullptr);
  blocks_->Finish();
  if (identity) blocks_->Register(*identity);

  ResolveShortcuts();
  shortcutKeywords_.clear();
  CollectOrphanGroups();
  groupNames_.clear();
  constraints_->Resolve();
  SetCurrentFileStream(nullptr);
  GetFile()->closeDataFork();
  if (header_error) GetErrors()->Add(header_error.release());
}

bool KRTPPD::NextParseLine(PPDStream& stream, char* line) {
  bool skipping = false;
  for (;;) {
    const bool complete = stream.ReadLine(line);
    if (complete) {
      if (!skipping) return true;
      skipping = false;  // that was the tail of the over-long line
      continue;
    }
    if (stream.LineWasCut()) {
      // A line longer than a line buffer cannot be read whole. It is left out, and the lines
      // behind it are still read: stopping here would drop the rest of the file unnoticed.
      if (!skipping) quill::PanelLog("KRTPPD::Parse skips a line longer than 255 bytes");
      skipping = true;
      continue;
    }
    // The data ended: its last line needs no line end. A 0xFF byte or the end marker ends the
    // parse where it stands.
    return !skipping && !stream.Good() && line[0] != '\0' && !Globals().endOfPPDLatch;
  }
}

KRTPPD::ErrorPtr KRTPPD::Dispatch(PPDStream& stream, char const* keyword, char const* line) {
  // Every skipped name begins with "KR": a keyword holds one only where it holds "KR", and most
  // keywords hold that once or never.
  for (const char* at = std::strstr(keyword, "KR"); at != nullptr; at = std::strstr(at + 1, "KR")) {
    for (const std::string_view skipped : kSkippedKeywords) {
      // at[2] is a byte of the keyword or its NUL; the third byte tells most names apart.
      if (at[2] == skipped[2] && std::strncmp(at, skipped.data(), skipped.size()) == 0) {
        return nullptr;
      }
    }
  }
  // The lengths rule out all but one or two entries before any bytes are compared.
  const std::string_view name(keyword);
  for (const auto& entry : kDispatch) {
    if (name == entry.keyword) return (this->*entry.handler)(stream, keyword);
  }
  if (std::strstr(line, "*DMT_Injection") != nullptr) {
    ParseDMTInjection(line);
    return nullptr;
  }
  ParsePSKeywords(stream, keyword);
  return nullptr;
}

void KRTPPD::ParsePSKeywords(PPDStream& stream, char const* keyword) {
  char value[kLineSizeLimit];
  auto rest_of_line = [&]() -> std::optional<std::string> {
    if (!NextToken(stream, value, kEndofLineDelimiters, true)) return std::nullopt;
    return std::string(value);
  };

  if (std::strcmp(keyword, "*%KRFileVersion") == 0) {
    if (auto v = rest_of_line()) vendorFileVersion_ = std::move(v);
  } else if (std::strcmp(keyword, "*%KRVersion") == 0) {
    if (auto v = rest_of_line(); v && !vendorMacVersion_) vendorVersion_ = std::move(v);
  } else if (std::strcmp(keyword, "*%KRVersionMac") == 0) {
    if (auto v = rest_of_line()) {
      vendorMacVersion_ = *v;
      vendorVersion_ = std::move(v);
    }
  } else if (std::strcmp(keyword, "*OpenGroup") == 0) {
    if (!NextToken(stream, value, kOptionKeywordDelimiters, true) ||
        std::strcmp(value, "InstallableOptions") != 0) {
      return;
    }
    insideInstallableOptions_ = true;
    char translation[kLineSizeLimit] = "";
    NextToken(stream, translation, kOptionKeywordDelimiters, true);
    if (installableRollDown_ == nullptr) {
      auto roll_down = std::make_unique<PPDXRollDown>(
          "InstallableOptions", DisplayName(translation, "InstallableOptions"), true);
      installableRollDown_ = roll_down.get();
      groups_->Add(roll_down.release());
    }
  } else if (std::strcmp(keyword, "*CloseGroup") == 0) {
    if (NextToken(stream, value, kOptionKeywordDelimiters, true) &&
        std::strcmp(value, "InstallableOptions") == 0) {
      insideInstallableOptions_ = false;
    }
  } else {
    PPDX::ParsePSKeywords(stream, keyword);
  }
}

std::string KRTPPD::DisplayName(char const* translation, char const* fallback) const {
  if (TextConverter* converter = GetTextConverter(); converter != nullptr && translation != nullptr) {
    return converter->ConvertToCFString(translation, static_cast<long>(std::strlen(translation)));
  }
  // Without a converter the encoding is unknown: a translation that is UTF-8 shows as it is,
  // anything else gives way to the keyword.
  if (translation != nullptr && translation[0] != '\0' &&
      quill::TextEncoding::IsValidUTF8(translation)) {
    return translation;
  }
  return fallback ? fallback : "";
}

bool KRTPPD::GetPPDFileName(char* name) const {
  if (GetFile() == nullptr || name == nullptr) return false;
  return GetFile()->getFileName(name) == noErr;
}

bool KRTPPD::operator==(const KRTPPD& other) const {
  if (GetFile() == nullptr || other.GetFile() == nullptr) return false;
  std::error_code e1, e2;
  const auto mine = std::filesystem::weakly_canonical(GetFile()->path(), e1);
  const auto theirs = std::filesystem::weakly_canonical(other.GetFile()->path(), e2);
  if (e1 || e2 || mine != theirs) return false;
  const char* a = PCFileName();
  const char* b = other.PCFileName();
  return a != nullptr && b != nullptr && std::strcmp(a, b) == 0;
}
