#include "panel/PDEData.h"

#include <cups/http.h>
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>
#include <string_view>

#include "PPDX/KRTPPD.h"
#include "PPDX/PPDFile.h"
#include "PPDX/PPDObjects/Controls/PPDXControl.h"
#include "PPDX/PPDObjects/PPDXControls.h"
#include "connection/KRTMeridiaPrinterPList.h"
#include "panel/PPDTree.h"
#include "panel/SessionText.h"
#include "platform/Log.h"
#include "platform/PageFormat.h"
#include "platform/Paths.h"
#include "platform/PrintSession.h"
#include "platform/PrintSettings.h"
#include "platform/SystemInfo.h"
#include "server/DeviceManagement.h"

namespace fs = std::filesystem;

const char* const kExpertTonesmithKeywords[14] = {
    "*KRRGBOverride", "*KRColorRendDict", "*KRRGBSep",        "*KRSimulation",
    "*KRSimSpeed",    "*KROutProfile",    "*KRSpotColors",    "*KRPureBlack",
    "*KRBlkOvpCtrl",  "*KRKOnlyGrayCMYK", "*KRKOnlyGrayRGB",  "*KRPaperSim",
    "*KRSpotPriority", "*KRGrayOverride"};

const char* const kSpecialTonesmithKeywords[5] = {"*KROutProfile", "*KRSimulation",
                                                  "*KRRGBOverride", "*KRSpotPriority",
                                                  "*KRGrayOverride"};

const char* const kBasicPanelExcludedKeywords[116] = {
    "*KRMMInUse", "*KRMMInsType", "*KRMMCover", "*KRImageUnit", "*KRImageFlag", "*KRImageAlign",
    "*KRRIPBooklet", "*KRBookCoverEnabled", "*KRBookCoverTray", "*KRBookFrCover",
    "*KRBookBkCover", "*KRBookCoverInType", "*KRBookletCreep", "*KRBookletReduce",
    "*KRBookAutoSpine", "*KRBookNumSheetPerSubset", "*KRBookCentering", "*KRNUpOption",
    "*KRTPrintTime", "*KREmbeddedRGB", "*KRNUpBoundingBox", "*KRClearCoat", "*KRTextClearCoat",
    "*KRGraphicClearCoat", "*KRImageClearCoat", "*KRSpotColorClearCoat", "*KRImageWiseRange",
    "*KRImageWise_RangeType", "*KRImageWise_RangeValue", "*KREmbeddedCMYK",
    "*KRSubsetFinishingInUse", "*KREnhancedFF", "*KRClearDryInk_RangeType",
    "*KRClearDryInk_RangeValue", "*KRMMTabShift", "*KRControlBar", "*KRPostFlight",
    "*KRProgressives", "*KRDocServer", "*KRDSUserName", "*KRDSPassword", "*KRDSFileName",
    "*KRHTScreen", "*KRBookSpineContentType", "*KRBookScaling", "*KRBookTrimType",
    "*KRBookFaceTrimOnly", "*KRColorant_NoTonerLimit", "*KRColorant1Area", "*KRColorant1Text",
    "*KRColorant1Graphic", "*KRColorant1Image", "*KRColorant1Spot", "*KRColorant1Pass",
    "*KRColorant1_RangeType", "*KRColorant1_RangeValue", "*KRDisplayJobTracking",
    "*KRAccountSetting", "*KRAccountShowLast", "*PageSize", "*KRCurveAdjust", "*KRTUProfileBody",
    "*KRTUProfileCover", "KRSlipSheetPaperCatalog", "KRCoverPagePaperCatalog",
    "*KRBlackPointCompCMYK", "*KRColorant1Rip", "*KRColorant2Rip", "*KRColorant2Area",
    "*KRColorant2Text", "*KRColorant1Image", "*KRColorant2Graphic", "*KRColorant1Spot",
    "*KRColorant2Image", "*KRColorant1Pass", "*KRColorant2Pass", "*KRColorant1_LimitCoverage",
    "*KRColorant1_RangeType", "*KRColorant2_LimitCoverage", "*KRColorant2_RangeType",
    "*KRColorant1_RangeValue", "*KRColorant1Text", "*KRColorant2_RangeValue", "*KRColorant2Spot",
    "*KRProcessNColorants", "*KRProcessColorantsSpotOnly", "*KRMltClrPrntMap", "*KRSubstColors",
    "*KREmbeddedGray", "*KRGrayColorRendDict", "*KRKOnlyGray", "*KRCMYKColorRendDict",
    "*KRColorant1Enable", "*KRSlipsheetOffs", "*KRInterlvMedia", "*KRColorant2Enable",
    "*KRColorant2Optimised", "*KRColorant1Optimised", "*KRBannerPage", "*KRBannerPageCount",
    "*KRBannerSource", "*KRBannerTemplates", "*KRCoverPagePaperCatalog", "*KRPrintCover",
    "*KRSlipsheet", "*KRSlipSheetFreq", "*KRSlipSheetBoundary", "*KRSlipSheetPaperCatalog",
    "*KRPadBackCoverTray", "*KROffsetPad", "*KRPadCover", "*KRPadPrinting", "*KRSheetsInPad",
    "*KROffsetWithinJob", "*KROffsetFreq", "*KROffsetBoundary"};

namespace {

bool equals_any(const char* keyword, const char* const* table, std::size_t n) {
  if (keyword == nullptr) return false;
  for (std::size_t i = 0; i < n; ++i) {
    if (std::strcmp(keyword, table[i]) == 0) return true;
  }
  return false;
}

bool is_excluded_from_basic_panel(const char* keyword) {
  static const std::set<std::string_view> excluded(std::begin(kBasicPanelExcludedKeywords),
                                                   std::end(kBasicPanelExcludedKeywords));
  return keyword != nullptr && excluded.count(keyword) != 0;
}

std::string& workflow_client_setting() {
  static std::string path;
  return path;
}

std::string workflow_client_path() {
  if (!workflow_client_setting().empty()) return workflow_client_setting();
  const char* from_env = std::getenv(PDEData::kWorkflowClientVariable);
  return from_env != nullptr ? from_env : "";
}

// A folder only this user can enter, made for one session: under $XDG_RUNTIME_DIR when it is an
// absolute folder, else under the user's cache folder. "" when none can be made.
std::string make_session_folder() {
  std::vector<std::string> parents;
  if (const char* run = std::getenv("XDG_RUNTIME_DIR"); run != nullptr && run[0] == '/') {
    parents.emplace_back(run);
  }
  if (const char* cache = std::getenv("XDG_CACHE_HOME"); cache != nullptr && cache[0] == '/') {
    parents.push_back(std::string(cache) + "/quill");
  } else if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') {
    parents.push_back(std::string(home) + "/.cache/quill");
  }
  for (const std::string& parent : parents) {
    std::error_code ec;
    if (!fs::is_directory(parent, ec)) {
      fs::create_directories(parent, ec);
      if (ec) continue;
      ::chmod(parent.c_str(), 0700);
    }
    std::string pattern = parent + "/session-XXXXXX";
    if (::mkdtemp(pattern.data()) != nullptr) return pattern;  // mkdtemp makes it 0700
  }
  return {};
}

}  // namespace

// --- KeyValueTable ---------------------------------------------------------------------------

void KeyValueTable::SetCount(long long count) {
  count_ = static_cast<int32_t>(std::clamp<long long>(count, 0, static_cast<long long>(Capacity())));
}

bool KeyValueTable::Append(std::wstring key, std::wstring value) {
  if (static_cast<std::size_t>(count_) >= pairs_.size()) return false;
  pairs_[static_cast<std::size_t>(count_)] = {std::move(key), std::move(value)};
  ++count_;
  return true;
}

void KeyValueTable::Clear() {
  for (Pair& p : pairs_) {
    p.key.clear();
    p.value.clear();
  }
  count_ = 0;
}

// --- free functions --------------------------------------------------------------------------

bool isBidiKeyword(const char* keyword) {
  if (keyword == nullptr) return false;
  const std::size_t n = std::strlen(keyword);
  return n >= 5 && std::strcmp(keyword + n - 4, "Bidi") == 0;
}

bool isExpertTonesmithControl(const char* keyword) {
  return equals_any(keyword, kExpertTonesmithKeywords, std::size(kExpertTonesmithKeywords));
}

// --- construction ----------------------------------------------------------------------------

PDEData::PDEData(KRTPPD* ppd, std::string queueName, quill::PrintSession* session)
    : ppd_(ppd), session_(session), queueName_(std::move(queueName)) {
  std::string source;
  if (ppd_ != nullptr && ppd_->GetFile() != nullptr) source = ppd_->GetFile()->path();
  if (!source.empty()) MakePPDCopy(source);

  ResetMeridiaPrinterList();
  bool ipEnabled = false;
  const std::optional<std::string> address = GetMeridiaPrinterAddress(&ipEnabled);
  printerAddress_ = address.value_or("");
  // Every queue seen gets a record in the list.
  if (!queueName_.empty() && address) SetMeridiaPrinterAddress(*address, ipEnabled);

  for (std::size_t i = 0; i < kPaperCatalogPairs; ++i) {
    paperCatalog_.Append(quill::WidenUTF8(kPaperCatalogKeys[i]), L"-1");
  }
}

PDEData::~PDEData() {
  if (!sessionFolder_.empty()) {
    std::error_code ec;
    fs::remove_all(sessionFolder_, ec);
  }
}

void PDEData::MakePPDCopy(const std::string& source) {
  // The name the copy gets: "krtcopy.ppd" from 10.7 on, before that the PPD's own name (with
  // ".ppd" added when it has none). Either way it lies in a folder of this session alone.
  std::string name = fs::path(source).filename().string();
  if (name.find(".ppd") == std::string::npos) name += ".ppd";
  if (quill::SystemInfo::Version().AtLeast(10, 7)) name = "krtcopy.ppd";

  copyPath_ = source;  // used when no copy can be made
  sessionFolder_ = make_session_folder();
  if (sessionFolder_.empty()) {
    quill::PanelLog("PDEData::PDEData: no private folder for the PPD copy; using %s",
                    source.c_str());
    return;
  }
  const std::string target = sessionFolder_ + "/" + name;
  std::error_code ec;
  fs::copy_file(source, target, fs::copy_options::overwrite_existing, ec);
  if (ec) {
    quill::PanelLog("PDEData::PDEData: cannot copy %s: %s", source.c_str(), ec.message().c_str());
    return;
  }
  copyPath_ = target;
}

quill::PrintSession* PDEData::Session() const {
  return session_ != nullptr ? session_ : &quill::PrintSession::Current();
}

// --- printer address -------------------------------------------------------------------------

bool PDEData::ResetMeridiaPrinterList() {
  printerList_ = std::make_unique<quill::KRTMeridiaPrinterPList>();
  return printerList_->ArrayExists();
}

std::optional<std::string> PDEData::GetMeridiaPrinterAddress(bool* ipEnabled) {
  if (!printerList_) return std::nullopt;
  std::string address = printerList_->Find(queueName_);
  if (address.empty()) {
    firstLaunch_ = true;
    address = GetPrinterAddress();
  } else {
    firstLaunch_ = false;
  }
  bool found = false;
  printerList_->Exists(queueName_, found);
  if (ipEnabled != nullptr && found) *ipEnabled = printerList_->getIPEnabled(queueName_);
  printerAddress_ = address;
  return address;
}

std::optional<std::string> PDEData::GetMeridiaPrinterAddress() {
  return GetMeridiaPrinterAddress(nullptr);
}

bool PDEData::SetMeridiaPrinterAddress(std::string_view address, bool ipEnabled) {
  if (!printerList_) return false;
  if (!printerList_->Add(queueName_, address, ipEnabled)) return false;
  printerAddress_ = std::string(address);
  return printerList_->Save();
}

bool PDEData::SetIPAddressEnabled(bool enabled) {
  if (queueName_.empty() || !printerList_) return enabled;
  return printerList_->setIPEnabled(queueName_, enabled) && printerList_->Save();
}

bool PDEData::isBIDIEnabled() {
  if (!printerList_ || queueName_.empty()) return false;
  bool found = false;
  printerList_->Exists(queueName_, found);
  if (!found) return false;
  GetMeridiaPrinterAddress();
  return printerList_->getIPEnabled(queueName_);
}

std::string PDEData::GetPrinterAddress() const {
  const quill::Printer* printer = Session()->CurrentPrinter();
  if (printer == nullptr) return {};
  const std::string uri = printer->DeviceURI();
  if (uri.empty()) return {};
  char scheme[64] = "", user[256] = "", host[256] = "", resource[1024] = "";
  int port = 0;
  if (httpSeparateURI(HTTP_URI_CODING_ALL, uri.c_str(), scheme, sizeof scheme, user, sizeof user,
                      host, sizeof host, &port, resource, sizeof resource) < HTTP_URI_STATUS_OK) {
    return {};
  }
  if (std::strcmp(scheme, "pap") == 0 || std::strcmp(scheme, "mdns") == 0) return {};
  return host;
}

// --- values from the printing system ---------------------------------------------------------

int PDEData::GetNumCopiesFromOS() const {
  if (printSettings_ == nullptr) return 1;
  const auto copies = printSettings_->GetInteger(kCopiesKey);
  if (!copies || *copies < 1 || *copies > 0x7FFFFFFF) return 1;
  return static_cast<int>(*copies);
}

uint32_t PDEData::GetPageOrientationFromOS() const {
  return pageFormat_ != nullptr ? pageFormat_->Orientation() : quill::PageFormat::kPortrait;
}

int PDEData::GetPrimayPaperFeedFromOS(char* out, int size) const {
  if (out == nullptr || size < 1) return 0;
  out[0] = '\0';
  if (printSettings_ == nullptr) return 0;
  std::optional<std::string> slot;
  if (!quill::SystemInfo::Version().AtLeast(10, 6)) {
    const auto feed = printSettings_->GetStringArray(kPrimaryPaperFeedKey);
    if (feed && feed->size() >= 2) slot = (*feed)[1];
  } else {
    slot = printSettings_->GetString(kFirstPageInputSlotKey);
    if (!slot) slot = printSettings_->GetString(kInputSlotKey);
  }
  if (!slot) return 0;
  const std::string cut = quill::CutUTF8(*slot, static_cast<std::size_t>(size) - 1);
  std::memcpy(out, cut.data(), cut.size());
  out[cut.size()] = '\0';
  return 0;
}

// --- control tests ---------------------------------------------------------------------------

bool PDEData::IsValidBasicPanelControl(PPDXControl* control) {
  if (ppd_ != nullptr && curveAdjustPPD_ != ppd_) {
    CNTL_TYPE type = kBaseControl;
    hasCurveAdjust_ = ppd_->GetControls() != nullptr &&
                      ppd_->GetControls()->Find("*KRCurveAdjust", type, true) != nullptr;
    curveAdjustPPD_ = ppd_;
  }
  if (control == nullptr) return false;
  const char* keyword = control->Keyword();
  if (keyword == nullptr) return false;
  const PPDXElement* parent = control->GetParent();
  if (parent != nullptr && parent->Keyword() != nullptr &&
      std::strcmp(parent->Keyword(), "KRPPInstallableOptions") == 0) {
    return false;
  }
  if (isBidiKeyword(keyword) || isExpertTonesmithControl(keyword) ||
      control->IsNoQuillDriverUI()) {
    return false;
  }
  if (std::strcmp(keyword, "*KRColorMode") == 0 && hasCurveAdjust_) return false;
  return !is_excluded_from_basic_panel(keyword);
}

bool PDEData::isSpecialTonesmithControl(const char* keyword) const {
  if (keyword == nullptr) return false;
  for (const char* special : kSpecialTonesmithKeywords) {
    if (std::strstr(keyword, special) != nullptr) return true;
  }
  return false;
}

// --- quick-access list -----------------------------------------------------------------------

bool PDEData::GetPPDShortcuts(PPDTree& tree) {
  if (queueName_.empty()) return false;
  std::vector<std::string> lines;
  if (!printerList_ || !printerList_->GetDataBlob(queueName_, kShortcutsBlock, lines) ||
      lines.empty()) {
    return true;
  }
  tree.shortcuts.clear();
  PPDXControls* controls = ppd_ != nullptr ? ppd_->GetControls() : nullptr;
  for (const std::string& line : lines) {
    const std::string keyword = line.substr(0, kMaxKeywordBytes);
    CNTL_TYPE type = kBaseControl;
    PPDXControl* control =
        controls != nullptr ? controls->Find(keyword.c_str(), type, true) : nullptr;
    if (control == nullptr || !IsValidBasicPanelControl(control) || dmtHides(keyword.c_str())) {
      continue;
    }
    if (!tree.AddShortcut(control->CFStringUserName(), keyword)) {
      quill::PanelLog("PDEData::GetPPDShortcuts: more than %zu stored entries; the rest are left out",
                      PPDTree::kMaxShortcuts);
      break;
    }
  }
  return true;
}

bool PDEData::SetPPDShortcuts(const PPDTree& tree) {
  if (queueName_.empty() || !printerList_) return false;
  std::vector<std::string> lines;
  for (const PPDTreeShortcut& s : tree.shortcuts) {
    lines.push_back(quill::CutUTF8(s.keyword, quill::KRTMeridiaPrinterPList::kLineSlot - 1));
  }
  return printerList_->AddDataBlob(queueName_, kShortcutsBlock, lines) && printerList_->Save();
}

// --- watermarks ------------------------------------------------------------------------------

bool PDEData::SaveWatermarksToPreferences() {
  if (queueName_.empty() || !printerList_ || watermarks_.Empty()) return false;
  return printerList_->AddDataBlob(queueName_, kWatermarksBlock, watermarks_.StoredLines());
}

bool PDEData::GetWatermarksFromPreferences() {
  if (queueName_.empty()) return false;
  std::vector<std::string> lines;
  if (printerList_) printerList_->GetDataBlob(queueName_, kWatermarksBlock, lines);
  watermarks_.LoadFromLines(lines);  // no lines: the list stays as it is
  return true;
}

// --- settings outside the PPD options --------------------------------------------------------

void PDEData::SaveTable(const KeyValueTable& table, const TableKeys& keys) {
  printSettings_->SetInteger(keys.count, table.Count());
  char name[64];
  for (int32_t i = 0; i < table.Count(); ++i) {
    const KeyValueTable::Pair* pair = table.At(static_cast<std::size_t>(i));
    std::snprintf(name, sizeof name, keys.key, i);
    printSettings_->SetString(name, quill::NarrowToUTF8(pair->key, kMaxSettingBytes));
    std::snprintf(name, sizeof name, keys.value, i);
    printSettings_->SetString(name, quill::NarrowToUTF8(pair->value, kMaxSettingBytes));
  }
}

int PDEData::SaveNonPSSettings() {
  if (printSettings_ == nullptr) return -1;
  printSettings_->SetInteger(KRTWatermarkList::kFirstPageInfoKey, watermarks_.FirstPageInfo());
  printSettings_->SetInteger(KRTWatermarkList::kSelectedKey, watermarks_.SelectedIndex());
  SaveTable(mixedMedia_, kMixedMediaKeys);
  SaveTable(padCover_, kPadCoverKeys);
  SaveTable(coverPage_, kCoverPageKeys);
  SaveTable(slipSheet_, kSlipSheetKeys);
  return 0;
}

void PDEData::RestoreTable(KeyValueTable& table, const TableKeys& keys) {
  if (!printSettings_->Contains(keys.count)) {
    table.SetCount(0);
    return;
  }
  const std::optional<int64_t> stored = printSettings_->GetInteger(keys.count);
  if (!stored) return;  // unreadable: the count stays
  if (*stored < 0 || static_cast<uint64_t>(*stored) > table.Capacity()) {
    quill::PanelLog("PDEData::RestoreNonPSSettings: %s count %lld outside 0..%zu; kept within",
                    keys.count, static_cast<long long>(*stored), table.Capacity());
  }
  table.SetCount(*stored);
  char name[64];
  for (int32_t i = 0; i < table.Count(); ++i) {
    KeyValueTable::Pair* pair = table.At(static_cast<std::size_t>(i));
    std::snprintf(name, sizeof name, keys.key, i);
    if (auto key = printSettings_->GetString(name)) {
      pair->key = quill::WidenUTF8(quill::CutUTF8(*key, kMaxSettingBytes));
    }
    std::snprintf(name, sizeof name, keys.value, i);
    if (auto value = printSettings_->GetString(name)) {
      pair->value = quill::WidenUTF8(quill::CutUTF8(*value, kMaxSettingBytes));
    }
  }
}

int PDEData::RestoreNonPSSettings() {
  if (printSettings_ == nullptr) return -1;
  std::optional<long long> storedIndex;
  if (printSettings_->Contains(KRTWatermarkList::kSelectedKey)) {
    storedIndex = printSettings_->GetInteger(KRTWatermarkList::kSelectedKey).value_or(-1);
  }
  long long storedCount = 0;
  if (storedIndex && !queueName_.empty() && printerList_) {
    std::vector<std::string> lines;
    printerList_->GetDataBlob(queueName_, kWatermarksBlock, lines);
    storedCount = static_cast<long long>(lines.size());
  }
  std::optional<long long> firstPage;
  if (auto v = printSettings_->GetInteger(KRTWatermarkList::kFirstPageInfoKey)) firstPage = *v;
  watermarks_.RestoreSelection(storedIndex, storedCount, firstPage);

  for (std::size_t i = 0; i < kPaperCatalogPairs; ++i) {
    KeyValueTable::Pair* pair = paperCatalog_.At(i);
    const auto value = printSettings_->GetString(kPaperCatalogKeys[i]);
    // The value slot holds 511 characters and its terminator.
    pair->value = value ? quill::WidenUTF8(*value).substr(0, 511) : std::wstring(L"-1");
  }
  RestoreTable(mixedMedia_, kMixedMediaKeys);
  RestoreTable(padCover_, kPadCoverKeys);
  RestoreTable(coverPage_, kCoverPageKeys);
  RestoreTable(slipSheet_, kSlipSheetKeys);
  return 0;
}

// --- device management -----------------------------------------------------------------------

bool PDEData::dmtHides(const char* keyword) const {
  return ppd_ != nullptr && quill::dmtHides(ppd_->CustomXMLText(), keyword);
}

bool PDEData::dmtLocks(const char* keyword) const {
  return ppd_ != nullptr && quill::dmtLocks(ppd_->CustomXMLText(), keyword);
}

bool PDEData::fetchHiddenKeysFromDMTXML(std::vector<std::string>& keys) const {
  return ppd_ != nullptr && quill::fetchHiddenKeysFromDMTXML(ppd_->CustomXMLText(), keys);
}

void PDEData::dmtSetNonPPDKeys() {
  if (ppd_ == nullptr || ppd_->CustomXMLText() == nullptr) return;
  PPDXControls* controls = ppd_->GetControls();
  auto isJobNote = [controls](std::string_view keyword) {
    return controls != nullptr &&
           controls->FindJobNote(std::string(keyword).c_str(), true) != nullptr;
  };
  auto hasControl = [controls](std::string_view keyword) {
    CNTL_TYPE type = kBaseControl;
    return controls != nullptr &&
           controls->Find(std::string(keyword).c_str(), type, true) != nullptr;
  };
  const auto defaults = quill::dmtNonPPDDefaults(ppd_->CustomXMLText(), isJobNote, hasControl);
  for (const quill::DMTNonPPDDefault& d : defaults) {
    KeyValueTable* table = nullptr;
    switch (d.target) {
      case quill::DMTNonPPDTarget::kMixedMedia: table = &mixedMedia_; break;
      case quill::DMTNonPPDTarget::kPadCover: table = &padCover_; break;
      case quill::DMTNonPPDTarget::kSlipSheet: table = &slipSheet_; break;
      case quill::DMTNonPPDTarget::kCoverPage: table = &coverPage_; break;
      default: break;
    }
    if (table != nullptr && !table->Append(d.key, d.value)) {
      quill::PanelLog("PDEData::dmtSetNonPPDKeys: table full; %s left out", d.settingsKey.c_str());
      continue;
    }
    if (printSettings_ != nullptr) printSettings_->SetString(d.settingsKey, d.settingsValue);
  }
  if (printSettings_ != nullptr) {
    SaveTable(mixedMedia_, kMixedMediaKeys);
    SaveTable(padCover_, kPadCoverKeys);
  }
}

// --- workflow upload -------------------------------------------------------------------------

void PDEData::SetWorkflowClientPath(std::string path) { workflow_client_setting() = std::move(path); }

void PDEData::UploadRelayerXMLFiles(int mode) {
  const std::string library = workflow_client_path();
  if (library.empty() || ppd_ == nullptr || ppd_->GetControls() == nullptr) return;
  void* handle = ::dlopen(library.c_str(), RTLD_NOW | RTLD_GLOBAL);
  if (handle == nullptr) {
    quill::PanelLog("PDEData::UploadRelayerXMLFiles: cannot load %s", library.c_str());
    return;
  }
  using CloseFn = int (*)(void*);
  using OpenFn = int (*)(const char*, const char*, const char*, const char*, void**, int);
  using CreateFn = int (*)(void*, const char*, const char*, const char*, char*);
  auto close_session = reinterpret_cast<CloseFn>(::dlsym(handle, "RLCloseSession"));
  auto open_session = reinterpret_cast<OpenFn>(::dlsym(handle, "RLOpenSession"));
  auto create_job = reinterpret_cast<CreateFn>(::dlsym(handle, "RLCreateNewJobEx"));

  PPDXControls* controls = ppd_->GetControls();
  auto value_of = [controls](const char* keyword, std::size_t limit) -> std::optional<std::string> {
    CNTL_TYPE type = kBaseControl;
    PPDXControl* control = controls->Find(keyword, type, true);
    if (control == nullptr) return std::nullopt;
    auto value = control->CopyCurrentControlValueString();
    if (!value) return std::nullopt;
    return quill::CutUTF8(*value, limit);
  };
  const auto user = value_of("*KRUserName", 127);
  const auto password = value_of("*KRUserPassword", 127);
  const auto address = value_of("*KRIP", 127);
  const auto workflow = value_of("*KRWorkflowName", 255);
  const auto folder = value_of("*KRWorkflowFolder", 255);
  const bool safe_name = workflow && !workflow->empty() && workflow->front() != '.' &&
                         workflow->find('/') == std::string::npos &&
                         quill::PrintSettings::IsAcceptableText(*workflow);
  if (!user || !password || !address || !folder || !safe_name || open_session == nullptr ||
      close_session == nullptr || create_job == nullptr) {
    ::dlclose(handle);
    return;
  }
  const std::string xml_path = quill::Paths::Resolve("/tmp/" + *workflow + ".xml");
  void* session = nullptr;
  open_session(address->c_str(), user->c_str(), password->c_str(), "english", &session, 0);
  if (session == nullptr) {
    ::dlclose(handle);
    return;
  }
  std::string job_name;
  if (printSettings_ != nullptr) {
    job_name = quill::CutUTF8(printSettings_->GetString(kJobNameKey).value_or(""), 255);
  }
  if (mode == 2) {
    char job_id[256] = {};
    create_job(session, folder->c_str(), job_name.c_str(), xml_path.c_str(), job_id);
    job_id[sizeof job_id - 1] = '\0';
    for (const char* keyword : {"*KRRelayerJobId", "*KRRLNewJobID"}) {
      CNTL_TYPE type = kBaseControl;
      if (PPDXControl* control = controls->Find(keyword, type, true)) {
        control->SetCurrentControlWithCFString(job_id);
      }
    }
  }
  close_session(session);
  ::dlclose(handle);
}
