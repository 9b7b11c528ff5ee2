#include "panel/QuillFeaturesPDE.h"

#include <plist/plist.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>

#include "PPDX/KRTPPD.h"
#include "PPDX/PPDObjects/Controls/PPDXBooleanControl.h"
#include "PPDX/PPDObjects/Controls/PPDXControl.h"
#include "PPDX/PPDObjects/Controls/PPDXJobNote.h"
#include "PPDX/PPDObjects/Controls/PPDXPopupControl.h"
#include "PPDX/PPDObjects/PPDXControls.h"
#include "connection/BonjourModuleController.h"
#include "connection/PrinterListFile.h"
#include "foundation/ProcessGlobals.h"
#include "foundation/UTF8.h"
#include "output/KRTJobTicket.h"
#include "panel/CustomizePaneController.h"
#include "panel/CustomizeQuickAccessDialogController.h"
#include "panel/DocumentPrinter.h"
#include "panel/PDEData.h"
#include "panel/PDEDataAddressStore.h"
#include "panel/PPDTree.h"
#include "panel/PlistParser.h"
#include "panel/PopupJobNoteWindow.h"
#include "panel/SpoolerChannel.h"
#include "panel/TableViewControllerDB.h"
#include "panel/UI_Panel.h"
#include "platform/Alert.h"
#include "platform/Bundle.h"
#include "platform/Log.h"
#include "platform/Paths.h"
#include "platform/PrintDialogCallback.h"
#include "platform/SystemInfo.h"
#include "ppddata/KRPDEData.h"
#include "ppddata/PPDDataBlock.h"
#include "ppddata/PopupJnRecord.h"

namespace {

// The controllers of the process, as the print dialog's host keeps them.
struct PanelProcessState {
  QuillFeaturesPDE* current = nullptr;
  QuillFeaturesPDE* saved = nullptr;
  bool ignoreNextDealloc = false;
  std::string pdeOpenPath;
  // Print goes on (the account prompt clears it on cancel); texts are converted without UTF-8
  // while the prompt's answers are synchronised.
  bool shouldPrint = false;
  bool noUTF8 = false;
};

PanelProcessState& State() {
  static PanelProcessState state;
  return state;
}

constexpr std::size_t kMaxPDEOpenPath = 511;
constexpr const char* kPresetSettingsKey = "com.apple.print.preset.settings";
constexpr const char* kServerPresetNotes[] = {"*PresetType", "*PresetName",
                                              "*PresetTimestampModified"};

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

// Whether `name` can stand as one component of a path without leaving its folder.
bool IsSafePathComponent(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  return std::none_of(name.begin(), name.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return c == '/' || c == '\\' || byte < 0x20 || byte == 0x7F;
  });
}

std::string WideToUTF8(const std::wstring& text) {
  std::string out;
  for (wchar_t c : text) AppendUTF8(out, static_cast<char32_t>(c));
  return out;
}

PPDXJobNote* FindJobNote(KRTPPD& ppd, const char* keyword) {
  if (ppd.GetControls() == nullptr) return nullptr;
  CNTL_TYPE type = kBaseControl;
  return dynamic_cast<PPDXJobNote*>(ppd.GetControls()->Find(keyword, type, true));
}

PPDXBooleanControl* FindBoolean(KRTPPD& ppd, const char* keyword) {
  if (ppd.GetControls() == nullptr) return nullptr;
  return dynamic_cast<PPDXBooleanControl*>(ppd.GetControls()->FindBoolean(keyword, true));
}

PPDXPopupControl* FindPopup(KRTPPD& ppd, const char* keyword) {
  if (ppd.GetControls() == nullptr) return nullptr;
  return dynamic_cast<PPDXPopupControl*>(ppd.GetControls()->FindPopup(keyword, true));
}

std::vector<PPDXJobNote*> JobNotes(KRTPPD& ppd) {
  std::vector<PPDXJobNote*> notes;
  if (ppd.GetControls() == nullptr) return notes;
  CNTL_TYPE type = kBaseControl;
  for (PPDXControl* c = ppd.GetControls()->First(type); c != nullptr;
       c = ppd.GetControls()->Next(type)) {
    if (type == kJobNoteControl) {
      if (auto* note = dynamic_cast<PPDXJobNote*>(c)) notes.push_back(note);
    }
  }
  return notes;
}

bool HasText(const PPDXJobNote* note) {
  const char* text = note->GetNotes();
  return text != nullptr && *text != '\0';
}

std::string PercentDecode(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() &&
        std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
        std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
      out += static_cast<char>(std::stoi(std::string(text.substr(i + 1, 2)), nullptr, 16));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

}  // namespace

// --- creation and tear-down -----------------------------------------------------------------

QuillFeaturesPDE::QuillFeaturesPDE(quill::PrintDialogCallback* callback, const Options& options)
    : callback_(callback),
      bundle_(options.bundle != nullptr ? options.bundle : &quill::Bundle::Main()),
      alerts_(options.alerts),
      popupPresenter_(options.popupPresenter),
      serverLocaleCode_(options.serverLocaleCode) {}

std::unique_ptr<QuillFeaturesPDE> QuillFeaturesPDE::initWithCallback(
    quill::PrintDialogCallback* callback, const Options& options, std::string* why) {
  if (callback == nullptr) {
    if (why != nullptr) *why = "no print dialog";
    return nullptr;
  }
  std::unique_ptr<QuillFeaturesPDE> panel(new QuillFeaturesPDE(callback, options));
  std::string reason;
  if (!panel->Start(&reason)) {
    quill::PanelLog("QuillFeaturesPDE::initWithCallback: no panel: %s", reason.c_str());
    if (why != nullptr) *why = reason;
    return nullptr;
  }
  return panel;
}

bool QuillFeaturesPDE::Start(std::string* why) {
  // The queue's name is the printer's own name: a PPD location is a file the spooler gave out,
  // whose name says nothing about the queue. The name goes into paths, so it must be one
  // component.
  queueName_ = callback_->PrinterName();
  if (!IsSafePathComponent(queueName_)) {
    *why = "the queue name \"" + queueName_ + "\" cannot name a file";
    return false;
  }
  ppdPath_ = callback_->PPDPath();

  ProcessGlobals& globals = Globals();
  globals.popupJobNotePrefs = PopupJobNotePrefs{};
  globals.popupJobNotesDefaultsButton = false;
  globals.popupJobNotesLangIsJapanese = false;
  globals.popupJobNotesDoneInitializing = false;
  globals.popupJobNotesFoundOne = false;
  State().shouldPrint = false;
  State().noUTF8 = false;
  globals.currentPPDPath = ppdPath_;

  const std::string uri = callback_->DeviceURI();
  bonjourPrinter_ = uri.rfind("dnssd", 0) == 0 || uri.rfind("mdns", 0) == 0;

  // The PPD must carry a PC file name of the bundle's printer list.
  std::vector<std::string> names;
  bool checkNames = false;
  if (!bundle_->Folder().empty()) {
    quill::PrinterListFile list(bundle_->Folder());
    if (list.IsValid()) {
      names = list.PCFileNames();
      checkNames = true;
    }
  }
  // A parse stops at the end-of-file latch that the previous parse left set; the name check
  // clears it when it runs, and this parse must read the whole file either way.
  globals.endOfPPDLatch = false;
  ppd_ = std::make_unique<KRTPPD>(ppdPath_, kParseOrphans | kParseHidden,
                                  checkNames ? &names : nullptr);

  quill::PrintSettings& settings = callback_->Settings();
  if (const char* pcFile = ppd_->PCFileName()) {
    const std::optional<std::string> stored = settings.GetString(kPCFileNameKey);
    shouldRestore_ = stored && EqualsIgnoringCase(*stored, pcFile);
    settings.SetString(kPCFileNameKey, pcFile);
  }
  if (!ppd_->IsValidPrinterName()) {
    *why = "the PPD is not one of the panel's printers";
    return false;
  }
  if (ppd_->FileVersion() == nullptr) {
    *why = "the PPD has no version";
    return false;
  }

  callback_->MakeCurrent();
  pdeData_ = std::make_unique<PDEData>(ppd_.get(), queueName_, callback_->Session());
  pdeData_->SetPageFormat(&callback_->Format());
  pdeData_->SetPrintSettings(&settings);
  pdeData_->SetBundle(bundle_);
  bundleVersion_ = bundle_->Version();

  PanelProcessState& state = State();
  if (state.current != nullptr) {
    state.saved = state.current;
    state.ignoreNextDealloc = true;
  }
  state.current = this;
  registered_ = true;

  uiPanel_ = std::make_unique<UI_Panel>(pdeData_.get());
  uiPanel_->PopulatePPDTreeStructure();
  addressStore_ = std::make_unique<quill::PDEDataAddressStore>(*pdeData_);
  channel_ = std::make_unique<quill::SpoolerChannel>();
  channel_->SetQueueName(queueName_);
  channel_->SetSessionPPDPath(pdeData_->CopyPath());
  channel_->SetModuleBridge(uiPanel_.get());
  uiPanel_->SetSpoolerChannel(channel_.get());
  pane_ = std::make_unique<CustomizePaneController>(*ppd_, pdeData_.get());
  pane_->LoadIconTable(*bundle_);
  chosen_ = std::make_unique<TableViewControllerDB>(GetPPDTree(), pdeData_.get(), pane_.get());
  customize_ = std::make_unique<CustomizeQuickAccessDialogController>(GetPPDTree(), pdeData_.get(),
                                                                      *chosen_);

  state.pdeOpenPath =
      quill::Paths::Resolve(std::string(kCachesFolder) + queueName_ + kOpenFileSuffix);
  if (state.pdeOpenPath.size() > kMaxPDEOpenPath) state.pdeOpenPath.clear();

  if (serverLocaleCode_.size() >= 2) {
    if (const quill::Printer* printer = callback_->CurrentPrinter()) {
      const quill::Printer::SendResult sent =
          printer->SendCommand(serverLocaleCode_, "Command_LocaleCode");
      if (!sent) quill::PanelLog("QuillFeaturesPDE: Command_LocaleCode: %s", sent.error.c_str());
    }
  }

  restoreValuesAndReturnError();
  Sync();
  shouldRestore_ = true;

  if (!PopupInitialisedWithNone()) globals.popupJobNotesDefaultsButton = false;
  const char* language = ppd_->LanguageVersion();
  globals.popupJobNotesLangIsJapanese =
      language != nullptr && std::strcmp(language, "Japanese") == 0;
  pane_->SetJapanese(globals.popupJobNotesLangIsJapanese);
  return true;
}

QuillFeaturesPDE::~QuillFeaturesPDE() {
  PanelProcessState& state = State();
  const bool ignored = registered_ && state.ignoreNextDealloc;
  if (ignored) {
    state.ignoreNextDealloc = false;
  } else if (registered_) {
    customPapername_.clear();
    if (customizeRunning_ && chosen_) chosen_->Cancel();
    customizeRunning_ = false;
  }
  // The parts that look into the session go first, then the bridge, the parsed PPD and the
  // session data.
  customize_.reset();
  chosen_.reset();
  pane_.reset();
  addressStore_.reset();
  if (uiPanel_) uiPanel_->SetSpoolerChannel(nullptr);
  channel_.reset();
  uiPanel_.reset();
  if (pdeData_) pdeData_->SetPrintSettings(nullptr);
  ppd_.reset();
  pdeData_.reset();
  if (!registered_) return;
  if (!ignored) {
    if (state.saved != nullptr) {
      state.saved = nullptr;
    } else {
      state.current = nullptr;
    }
  }
  // Whatever the flags said, no process-wide pointer may outlive this controller.
  if (state.saved == this) state.saved = nullptr;
  if (state.current == this) {
    state.current = state.saved;
    state.saved = nullptr;
  }
}

QuillFeaturesPDE* QuillFeaturesPDE::CurrentInstance() { return State().current; }
QuillFeaturesPDE* QuillFeaturesPDE::SavedInstance() { return State().saved; }
bool QuillFeaturesPDE::IgnoreNextDealloc() { return State().ignoreNextDealloc; }
const std::string& QuillFeaturesPDE::cachesPDEOpenFilePath() { return State().pdeOpenPath; }
void QuillFeaturesPDE::ResetProcessState() { State() = PanelProcessState{}; }

quill::AlertPresenter& QuillFeaturesPDE::Alerts() const {
  return alerts_ != nullptr ? *alerts_ : quill::CurrentAlertPresenter();
}

bool QuillFeaturesPDE::PopupInitialisedWithNone() const {
  return Globals().popupJobNotesDoneInitializing && !Globals().popupJobNotesFoundOne;
}

// --- the dialog's calls ---------------------------------------------------------------------

std::string QuillFeaturesPDE::panelName() const {
  return bundle_->LocalizedString("PDE Panel Title");
}

const char* QuillFeaturesPDE::panelKind() { return kQuillPanelKind; }

bool QuillFeaturesPDE::restoreValuesAndReturnError(std::string* error) {
  if (error != nullptr) error->clear();
  callback_->MakeCurrent();
  quill::PrintSettings& settings = callback_->Settings();
  if (!callback_->HasPresets()) uiPanel_->ResetControlsToDefault();

  uiPanel_->ResetControlsToDefault();
  if (shouldRestore_) {
    std::map<std::string, std::string> values;
    for (const std::string& key : settings.Keys()) {
      if (ppd_->GetPPDXControlForKey(key) == nullptr) continue;
      if (auto text = settings.GetString(key)) values[key] = *text;
    }
    ppd_->SetAllValues(values);
    if (!PopupInitialisedWithNone()) ppd_->ReadPUJNPrefs();
  }
  if (pdeData_->isBIDIEnabled()) uiPanel_->makeJobNotesForSpecialControls();

  // A PPD without quick-access entries keeps what was restored: there is only nothing to draw.
  if (!GetPPDTree().shortcuts.empty()) pane_->DrawControlsInTree(GetPPDTree());
  pdeData_->SetPrintSettings(&settings);
  pdeData_->RestoreNonPSSettings();

  updateUI();
  willShow();
  return true;
}

bool QuillFeaturesPDE::saveValuesAndReturnError(std::string* error) {
  if (error != nullptr) error->clear();
  quill::PrintSettings& settings = callback_->Settings();
  pdeData_->SetPrintSettings(&settings);
  if (const KeyValueTable::Pair* name = pdeData_->PaperCatalog().At(1)) {
    settings.SetString("*KRPCName", WideToUTF8(name->value));
  }
  pdeData_->SaveNonPSSettings();
  if (pdeData_->isBIDIEnabled()) uiPanel_->makeJobNotesForSpecialControls();
  StoreAddress();
  Sync();
  return true;
}

bool QuillFeaturesPDE::Sync() {
  updatePageSizeAndInputSlot();
  callback_->MakeCurrent();
  pdeData_->SetPrintSettings(&callback_->Settings());
  quill::DocumentPrinter printing(*ppd_, *pdeData_, callback_->Settings());
  std::string error;
  if (!printing.BuildTicket(callback_->Session(), &error)) {
    quill::PanelLog("QuillFeaturesPDE::Sync: %s", error.c_str());
    return false;
  }
  if (!quill::SystemInfo::Version().AtLeast(10, 7)) {
    if (printing.SaveTicket(&error) == nullptr) {
      quill::PanelLog("QuillFeaturesPDE::Sync: %s", error.c_str());
    }
  }
  return true;
}

void QuillFeaturesPDE::ReadPaperInfo() {
  customPageSize_ = false;
  plist_t ticket = callback_->Settings().GetValue(kPaperInfoTicketKey);
  if (ticket == nullptr || plist_get_node_type(ticket) != PLIST_DICT) return;
  std::optional<std::string> name;
  if (plist_t node = plist_dict_get_item(ticket, kPaperNameKey);
      node != nullptr && plist_get_node_type(node) == PLIST_STRING) {
    if (const char* text = plist_get_string_ptr(node, nullptr)) name = text;
  }
  bool custom = false;
  if (plist_t node = plist_dict_get_item(ticket, kCustomPaperKey); node != nullptr) {
    uint8_t flag = 0;
    if (plist_get_node_type(node) == PLIST_BOOLEAN) plist_get_bool_val(node, &flag);
    custom = flag != 0;
  } else if (name) {
    const auto& papers = callback_->PaperNames();
    custom = std::any_of(papers.begin(), papers.end(), [&](const std::string& paper) {
      return EqualsIgnoringCase(paper, *name);
    });
  }
  if (!name || !custom) return;
  customPageSize_ = true;
  if (quill::SystemInfo::Version().AtLeast(10, 9)) {
    if (*name == "tabloid") {
      customPapername_ = "Tabloid";
    } else if (*name == "SRA3") {
      customPapername_ = "SRA3";
    } else {
      customPapername_ = "Custom";
    }
  } else {
    customPapername_ = *name;
  }
  if (pane_) pane_->SetCustomPaperName(customPapername_);
}

void QuillFeaturesPDE::ApplyOSPageSizeAndInputSlot() {
  if (uiPanel_->GetOSPageSize()) {
    pdeData_->SetCustomPaper(true);
  } else {
    pdeData_->SetCustomPaper(false);
    if (PPDXPopupControl* size = FindPopup(*ppd_, "*KRPrintSize")) {
      const long item = size->GetValue();
      if (item >= 1 && item <= size->ItemCount()) size->SetValue(item);
    }
  }
  ApplyOSInputSlot();
}

void QuillFeaturesPDE::ApplyOSInputSlot() {
  char slot[PDEData::kPrimaryPaperFeedSize] = {};
  pdeData_->GetPrimayPaperFeedFromOS(slot, sizeof slot);
  if (slot[0] != '\0') {
    pdeData_->SetPrimaryPaperFeed(slot);
    if (PPDXPopupControl* input = FindPopup(*ppd_, "*InputSlot"))
      input->SetKeywordSelect(slot, true);
  }
}

void QuillFeaturesPDE::updatePageSizeAndInputSlot() {
  ReadPaperInfo();
  ApplyOSPageSizeAndInputSlot();
}

void QuillFeaturesPDE::setValueToPrintSettings(const std::string& inputSlot) {
  callback_->Settings().SetString(PDEData::kInputSlotKey, inputSlot);
}

bool QuillFeaturesPDE::willShow() {
  const char* xml = ppd_->CustomXMLText();
  if (xml != nullptr && *xml != '\0') customizeHidden_ = true;

  if (bonjourPrinter_) {
    bool ipEnabled = false;
    const std::optional<std::string> stored = pdeData_->GetMeridiaPrinterAddress(&ipEnabled);
    if (pdeData_->isFirstLaunch() || !stored || stored->empty()) {
      const std::string address = breakBonjourURLIntoMeaningFullItems(callback_->DeviceURI());
      if (!address.empty() && quill::BonjourModuleController::IsSafeAddress(address)) {
        pdeData_->SetMeridiaPrinterAddress(address, false);
        if (address_ != nullptr) address_->setprinterIPField(address);
      }
    }
  }
  ReadPaperInfo();
  if (!automationCalled_) {
    automationCalled_ = true;
    loadAutomationFileAndLoadPrintSetting();
  }
  ApplyOSPageSizeAndInputSlot();
  pane_->DrawControlsInTree(GetPPDTree());
  if (printerNameText_.empty()) ShowModelName();
  return true;
}

void QuillFeaturesPDE::ShowModelName() {
  std::string name = callback_->MakeAndModel();
  if (name.empty() && ppd_->ModelName() != nullptr) name = ppd_->ModelName();
  if (name.empty()) return;
  if (name.size() >= kModelNameCutFrom) {
    name.resize(kModelNameCutWithin);
    const std::size_t space = name.find_last_of(' ');
    if (space != std::string::npos) name.resize(space);
    // Never end inside a UTF-8 character.
    name = quill::PopupJobNoteWindow::CutText(name, 0, name.size());
  }
  printerNameText_ = name;
}

void QuillFeaturesPDE::updateUI() {
  ApplyOSInputSlot();
  pane_->DrawControlsInTree(GetPPDTree());
  ShowModelName();
  if (address_ != nullptr) address_->setIPAddress();
}

bool QuillFeaturesPDE::shouldHide() {
  if (customizeRunning_) {
    chosen_->Cancel();
    customizeRunning_ = false;
  }
  if (address_ != nullptr && address_->bonjourWindowSessionRunning()) address_->clickedCancel();
  return true;
}

void QuillFeaturesPDE::DefaultsButton() {
  const bool withPopups = !PopupInitialisedWithNone();
  if (withPopups) Globals().popupJobNotesDefaultsButton = true;
  uiPanel_->ResetControlsToDefault();
  resetJPServerpresetKeys();
  if (withPopups) {
    writePrefsFile();
    Globals().popupJobNotesDefaultsButton = false;
  }
  pane_->DrawControlsInTree(GetPPDTree());
}

void QuillFeaturesPDE::resetJPServerpresetKeys() {
  for (const char* keyword : kServerPresetNotes) {
    if (PPDXJobNote* note = FindJobNote(*ppd_, keyword)) note->SetNotes("");
  }
}

std::string QuillFeaturesPDE::getDynamicPPDKeys() const {
  std::string keys;
  if (ppd_->GetControls() == nullptr) return keys;
  CNTL_TYPE type = kBaseControl;
  for (PPDXControl* c = ppd_->GetControls()->First(type); c != nullptr;
       c = ppd_->GetControls()->Next(type)) {
    if (c->Keyword() == nullptr || !c->IsDynamic()) continue;
    const char* bare = c->Keyword() + (c->Keyword()[0] == '*' ? 1 : 0);
    const std::string piece = std::string(":DK:") + bare;
    // The text has room for 1023 bytes; a key that does not fit whole is left out.
    if (keys.size() + piece.size() >= kDynamicKeysBytes) break;
    keys += piece;
  }
  return keys;
}

bool QuillFeaturesPDE::isInvalidPrinterAddress() const {
  std::string text = quill::ReadPPDDataBlock(ppdPath_, "KRInvalidPrinterAddress");
  if (const std::size_t nul = text.find('\0'); nul != std::string::npos) text.resize(nul);
  return text == "yes";
}

std::string QuillFeaturesPDE::breakBonjourURLIntoMeaningFullItems(std::string_view uri) {
  const std::size_t schemeEnd = uri.find("://");
  const std::string_view scheme =
      schemeEnd == std::string_view::npos ? "" : uri.substr(0, schemeEnd);
  if (scheme.empty()) return "";
  static constexpr std::string_view kTypes[] = {"_printer._tcp", "_ipp._tcp", "_ipps._tcp",
                                                "_pdl-datastream._tcp"};
  std::string_view found;
  for (std::string_view type : kTypes) {
    if (uri.find(type) != std::string_view::npos) {
      found = type;
      break;
    }
  }
  std::string_view first = uri;
  if (!found.empty()) {
    const std::string separator = "." + std::string(found);
    first = uri.substr(0, uri.find(separator));
  }
  std::string piece(first);
  const std::string prefix = std::string(scheme) + "://";
  if (const std::size_t at = piece.find(prefix); at != std::string::npos)
    piece.erase(at, prefix.size());
  return PercentDecode(piece);
}

// --- presets files ----------------------------------------------------------------------------

bool QuillFeaturesPDE::loadAutomationFileAndLoadPrintSetting() {
  quill::PlistParser parser;
  const std::string path = quill::Paths::Resolve(kAutomationFile);
  if (!parser.isValidAutomationFile(path)) return false;
  std::string writeError;
  quill::PlistParser::Node preset = parser.currentPreset(&writeError);
  if (!writeError.empty()) {
    quill::PanelLog("QuillFeaturesPDE::loadAutomationFileAndLoadPrintSetting: %s",
                    writeError.c_str());
    Alerts().Show({"The automation presets file cannot be updated.",
                   writeError + ". Its presets were not applied, so that the same preset is not "
                                "used again on every print.",
                   "OK", ""});
    return false;
  }
  if (!preset || plist_get_node_type(preset.get()) != PLIST_DICT) return false;
  plist_t values = plist_dict_get_item(preset.get(), kPresetSettingsKey);
  if (values == nullptr || plist_get_node_type(values) != PLIST_DICT) return false;

  resetJPServerpresetKeys();
  quill::PrintSettings& settings = callback_->Settings();
  std::map<std::string, std::string> texts;
  plist_dict_iter it = nullptr;
  plist_dict_new_iter(values, &it);
  for (;;) {
    char* key = nullptr;
    plist_t value = nullptr;
    plist_dict_next_item(values, it, &key, &value);
    if (key == nullptr) break;
    const std::string name(key);
    std::free(key);
    if (value == nullptr) continue;
    if (plist_get_node_type(value) == PLIST_STRING) {
      const char* text = plist_get_string_ptr(value, nullptr);
      // A value that could end a line of the job is not taken from a file.
      if (text == nullptr || !quill::PrintSettings::IsAcceptableText(text)) continue;
      texts[name] = text;
    }
    settings.SetValue(name, plist_copy(value));
  }
  std::free(it);
  ppd_->SetAllValues(texts);
  for (const auto& [key, text] : texts) {
    if (PPDXJobNote* note = FindJobNote(*ppd_, key.c_str()))
      note->SetCurrentControlWithCFString(text);
  }
  pdeData_->SetPrintSettings(&settings);
  pdeData_->RestoreNonPSSettings();
  return true;
}

std::string QuillFeaturesPDE::LocalPresetsPath() const {
  const char* pcFile = ppd_->PCFileName();
  if (pcFile == nullptr || !IsSafePathComponent(pcFile)) return "";
  return quill::Paths::Resolve(std::string("/tmp/KRT/JPData/Driver_") + pcFile +
                               "/Presets/presets.xml");
}

bool QuillFeaturesPDE::readLocalPresetsDataFromDynamicPPD() {
  const std::string path = LocalPresetsPath();
  if (path.empty()) return false;
  std::string text = quill::ReadPPDDataBlock(ppdPath_, "KRLocalJPPresets");
  if (const std::size_t nul = text.find('\0'); nul != std::string::npos) text.resize(nul);
  // Folders from the temporary folder on, private to the user.
  const std::string base = quill::Paths::Resolve("/tmp");
  std::string folder = base;
  const std::string rest = path.substr(base.size());
  for (std::size_t at = rest.find('/', 1); at != std::string::npos; at = rest.find('/', at + 1)) {
    folder = base + rest.substr(0, at);
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  return static_cast<bool>(out);
}

bool QuillFeaturesPDE::writeLocalJPPresetsToDynamicPPD() {
  const std::string path = LocalPresetsPath();
  if (path.empty()) return false;
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const quill::Printer* printer = callback_->CurrentPrinter();
  if (printer == nullptr) return false;
  const quill::Printer::SendResult sent = printer->SendCommand(text, "Command_PRINTERLOCALPRESETS");
  if (!sent)
    quill::PanelLog("QuillFeaturesPDE: Command_PRINTERLOCALPRESETS: %s", sent.error.c_str());
  return static_cast<bool>(sent);
}

// --- the account prompt -------------------------------------------------------------------------

bool QuillFeaturesPDE::handlePopupJobnoteUI() {
  PanelProcessState& state = State();
  ProcessGlobals& globals = Globals();
  state.shouldPrint = true;

  // The pop-up notes take the five slots in tree order.
  slots_.clear();
  for (PPDXJobNote* note : JobNotes(*ppd_)) {
    if (note->IsPopupJN() && slots_.size() < quill::PopupJobNoteWindow::kMaxFields)
      slots_.push_back(note);
  }
  globals.popupJobNotesDoneInitializing = true;
  for (std::size_t k = 0; k < slots_.size(); ++k) {
    globals.popupJobNotePrefs.noteKeywords[k] = slots_[k]->Keyword();
  }

  PPDXBooleanControl* tracking = FindBoolean(*ppd_, "*KRDisplayJobTracking");
  PPDXPopupControl* setting = FindPopup(*ppd_, "*KRAccountSetting");
  PPDXBooleanControl* showLast = FindBoolean(*ppd_, "*KRAccountShowLast");

  std::vector<PPDXJobNote*> ask;
  if (tracking != nullptr && setting != nullptr && showLast != nullptr) {
    if (!tracking->IsTrue()) {
      writePrefsFile();
    } else {
      if (setting->GetValue() == 1 && !showLast->IsTrue()) {
        for (std::string& saved : globals.popupJobNotePrefs.savedTexts) saved.clear();
        for (PPDXJobNote* note : slots_) note->SetNotes("");
      }
      if (slots_.empty() || setting->GetValue() == 2) {
        writePrefsFile();
      } else {
        for (std::size_t k = 0; k < slots_.size(); ++k) {
          if (showLast->IsTrue() && !HasText(slots_[k])) {
            slots_[k]->SetCurrentControlWithCFString(globals.popupJobNotePrefs.savedTexts[k]);
          }
          ask.push_back(slots_[k]);
        }
      }
    }
  }
  // A required note is never sent empty, whatever the account settings say: it is asked for.
  for (PPDXJobNote* note : JobNotes(*ppd_)) {
    if (note->IsRequired() && !HasText(note) &&
        std::find(ask.begin(), ask.end(), note) == ask.end()) {
      ask.push_back(note);
    }
  }
  if (ask.empty()) return true;

  quill::PopupJobNoteWindow window(*ppd_, ask, globals.popupJobNotesWindowTitle);
  quill::PopupJobNotePresenter& presenter =
      popupPresenter_ != nullptr ? *popupPresenter_ : quill::CurrentPopupJobNotePresenter();
  activeWindow_ = &window;
  const bool ran = presenter.Run(window);
  activeWindow_ = nullptr;
  if (window.GetState() == quill::PopupJobNoteWindow::State::kCancelled) {
    state.shouldPrint = false;
    return false;
  }
  if (!ran || window.GetState() != quill::PopupJobNoteWindow::State::kConfirmed) {
    state.shouldPrint = false;
    lastPrintError_ = "the account codes could not be asked for; nothing was printed";
    Alerts().Show({"The account codes could not be asked for.",
                   "This queue needs an account code for every print, and the prompt could not be "
                   "shown. Nothing was printed.",
                   "OK", ""});
    return false;
  }
  // Every required note has its text now; one still empty (a note beyond the prompt's rows)
  // stops the print.
  for (PPDXJobNote* note : JobNotes(*ppd_)) {
    if (note->IsRequired() && !HasText(note)) {
      state.shouldPrint = false;
      lastPrintError_ = note->CFStringUserName() + " has no text; nothing was printed";
      Alerts().Show({"A required job note is empty.", lastPrintError_, "OK", ""});
      return false;
    }
  }
  state.noUTF8 = true;
  Sync();
  state.noUTF8 = false;
  if (!state.shouldPrint) return false;
  writePrefsFile();
  return true;
}

bool QuillFeaturesPDE::writePrefsFile() {
  PPDXBooleanControl* tracking = FindBoolean(*ppd_, "*KRDisplayJobTracking");
  if (tracking == nullptr) return false;
  PPDXPopupControl* setting = FindPopup(*ppd_, "*KRAccountSetting");
  PPDXBooleanControl* showLast = FindBoolean(*ppd_, "*KRAccountShowLast");
  PopupJobNotePrefs& prefs = Globals().popupJobNotePrefs;
  quill::PopupJobNoteRecord record;
  record.enabled = tracking->IsTrue();
  record.accountSettingOne = setting != nullptr && setting->GetValue() == 1;
  record.showLast = showLast != nullptr && showLast->IsTrue();
  prefs.enable = record.enabled ? '1' : '0';
  prefs.setting = record.accountSettingOne ? '1' : '2';
  prefs.showLast = record.showLast ? '1' : '0';
  for (std::size_t k = 0; k < slots_.size() && k < record.slots.size(); ++k) {
    PPDXJobNote* note = slots_[k];
    quill::PopupJobNoteSlot& slot = record.slots[k];
    slot.keyword = note->Keyword() != nullptr ? note->Keyword() : "";
    slot.password = note->IsPassword();
    slot.text = slot.password ? std::string() : note->CopyNotes().value_or("");
    prefs.noteKeywords[k] = slot.keyword;
    prefs.savedTexts[k] = slot.text;
  }
  lastPrefsRecord_ = quill::BuildPopupJnRecord(record);
  const int status = KRPDEDataWrite("PopupJnData", lastPrefsRecord_.c_str());
  if (status != 0) quill::PanelLog("QuillFeaturesPDE::writePrefsFile: KRPDEDataWrite %d", status);
  return status == 0;
}

std::string QuillFeaturesPDE::controlTextDidChange(std::size_t slot, std::string_view text) {
  if (activeWindow_ != nullptr) return activeWindow_->SetFieldText(slot, text);
  if (slot >= slots_.size()) return std::string(text);
  PPDXJobNote* note = slots_[slot];
  const long limit = note->MaxLength();
  if (limit <= 0) return std::string(text);
  const std::string cut =
      quill::PopupJobNoteWindow::CutText(text, static_cast<std::size_t>(limit), text.size());
  if (cut.size() != text.size()) note->SetCurrentControlWithCFString(cut);
  return cut;
}

std::string QuillFeaturesPDE::callbackWithNotification(std::optional<std::string> interfaceStyle,
                                                       bool switchesAutomatically) {
  quill::BonjourModuleController::ThemeSettings settings;
  settings.interfaceStyle = std::move(interfaceStyle);
  settings.switchesAutomatically = switchesAutomatically;
  theme_ = quill::BonjourModuleController::getCurrentTheme(settings);
  if (address_ != nullptr) address_->UpdateUITheme(theme_);
  return theme_;
}

// --- print ------------------------------------------------------------------------------------

void QuillFeaturesPDE::SetDocuments(std::vector<std::string> files, std::string title) {
  documents_ = std::move(files);
  documentTitle_ = std::move(title);
}

bool QuillFeaturesPDE::shouldPrint() {
  lastPrintError_.clear();
  submittedJobs_.clear();
  updatePageSizeAndInputSlot();
  const ProcessGlobals& globals = Globals();
  const auto jobNotes = JobNotes(*ppd_);
  const bool requiredMissing = std::any_of(jobNotes.begin(), jobNotes.end(), [](PPDXJobNote* n) {
    return n->IsRequired() && !HasText(n);
  });
  if (!globals.popupJobNotesDoneInitializing || globals.popupJobNotesFoundOne || requiredMissing) {
    if (!handlePopupJobnoteUI()) return false;
  }
  for (const std::string& file : documents_) {
    std::string why;
    if (!quill::DocumentPrinter::CheckPrintable(file, &why)) {
      lastPrintError_ = why;
      Alerts().Show({"The document cannot be printed.", why + "; nothing was printed.", "OK", ""});
      return false;
    }
  }

  callback_->MakeCurrent();
  quill::PrintSettings& settings = callback_->Settings();
  pdeData_->SetPrintSettings(&settings);
  quill::DocumentPrinter printing(*ppd_, *pdeData_, settings);
  std::string error;
  bool printed = printing.BuildTicket(callback_->Session(), &error);
  const quill::Printer* printer = callback_->CurrentPrinter();
  if (printed && !documents_.empty()) {
    if (printer == nullptr) {
      printed = false;
      error = "the queue " + queueName_ + " is not a spooler queue; nothing was printed";
    } else {
      printed = printing.Submit(
          *printer, documents_, documentTitle_,
          [this](const std::string&, int job) { submittedJobs_.push_back(job); }, &error);
    }
  } else if (printed) {
    // Nothing to submit here: the dialog's host prints; the filter gets the ticket.
    printed = printer != nullptr ? printing.Ticket()->HandToFilter(printer, &error)
                                 : printing.SaveTicket(&error) != nullptr;
  }
  if (!printed) {
    lastPrintError_ = error;
    Alerts().Show({"The document was not printed.", error, "OK", ""});
    return false;
  }
  documentPrinting_ = true;
  return true;
}

void QuillFeaturesPDE::printWindowWillClose() {
  if (!documentPrinting_) {
    callback_->MakeCurrent();
    quill::PrintSettings& settings = callback_->Settings();
    pdeData_->SetPrintSettings(&settings);
    quill::DocumentPrinter printing(*ppd_, *pdeData_, settings);
    std::string error;
    if (!printing.BuildTicket(callback_->Session(), &error) ||
        printing.SaveTicket(&error) == nullptr) {
      quill::PanelLog("QuillFeaturesPDE::printWindowWillClose: %s", error.c_str());
    }
  }
  StoreAddress();
}

bool QuillFeaturesPDE::launchFullProperties(std::string* message) {
  bool ipEnabled = false;
  const std::string address = pdeData_->GetMeridiaPrinterAddress(&ipEnabled).value_or("");
  const bool bidi = pdeData_->isBIDIEnabled();
  channel_->SetPrinterAddress(address);
  channel_->SetBidiEnabled(bidi);
  if (bidi && address != quill::SpoolerChannel::PreviousLaunchAddress()) resetJPServerpresetKeys();
  callback_->MakeCurrent();
  const quill::SpoolerChannel::LaunchResult result = channel_->launchFullProperties();
  if (message != nullptr) *message = result.message;
  pane_->DrawControlsInTree(GetPPDTree());
  return result.handedOver;
}

// --- the address area -------------------------------------------------------------------------

void QuillFeaturesPDE::SetAddressController(quill::BonjourModuleController* controller) {
  address_ = controller;
  if (address_ != nullptr) address_->UpdateUITheme(theme_);
}

std::string QuillFeaturesPDE::AddressText() const {
  if (address_ != nullptr) return address_->getprinterIPField();
  return pdeData_ ? pdeData_->PrinterAddress() : std::string();
}

void QuillFeaturesPDE::StoreAddress() {
  if (address_ == nullptr) return;
  const std::string address = address_->getprinterIPField();
  // An address that would break the filter's command fields is never stored.
  if (!address.empty() && !quill::BonjourModuleController::IsSafeAddress(address)) {
    quill::PanelLog("QuillFeaturesPDE: address \"%s\" not stored", address.c_str());
    return;
  }
  pdeData_->SetMeridiaPrinterAddress(address, address_->isBIDIEnabled());
}
