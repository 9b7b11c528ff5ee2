// QuillFeaturesPDE: the panel controller of one print dialog. It checks that the queue's PPD
// belongs to the panel, parses it, builds the session data (PDEData), the job-properties bridge
// (UI_Panel), the quick-access pane, its customisation dialog and the printer-address area, and
// answers the dialog's calls: show, hide, save, restore, print, close. Print runs the account
// prompt when the queue asks for account codes, then prints through DocumentPrinter, the path
// `quill print` uses.
//
// No toolkit code lives here. A front end draws from the state this class and its parts expose
// (PrinterNameText, AddressText, CustomizeButtonHidden, Pane(), ...) and forwards the user's
// actions to them; alerts go through the alert presenter, the account prompt through the pop-up
// job-note presenter.
//
// Process-wide state, as a print dialog holds it: the current controller and a saved previous
// one, a flag that makes the next tear-down leave shared state alone, the queue's name and PPD
// path and the ".pdeopen" path of the open panel. Controllers are owned by their creator
// (std::unique_ptr); the tear-down removes a controller from the process-wide state in every
// case, so no pointer there outlives its controller.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class CustomizePaneController;
class CustomizeQuickAccessDialogController;
class KRTPPD;
class PDEData;
class PPDXJobNote;
class TableViewControllerDB;
class UI_Panel;

namespace quill {
class AddressStore;
class AlertPresenter;
class BonjourModuleController;
class Bundle;
class PopupJobNotePresenter;
class PopupJobNoteWindow;
class PrintDialogCallback;
class SpoolerChannel;
}  // namespace quill

// What the creator provides besides the dialog's callback object. Null pointers take the
// process's defaults (Bundle::Main(), the current alert and pop-up job-note presenters).
struct QuillFeaturesPDEOptions {
  quill::Bundle* bundle = nullptr;
  quill::AlertPresenter* alerts = nullptr;
  quill::PopupJobNotePresenter* popupPresenter = nullptr;
  // The server's language code sent with "Command_LocaleCode" at start-up ("" sends nothing).
  std::string serverLocaleCode;
};

class QuillFeaturesPDE {
 public:
  // The print-dialog panel type; PDEPanelsForType gives panels only for it.
  static constexpr const char* kPanelType = "BDB091F4-E57F-11D3-B5CC-0050E4603277";
  // The automation presets file and its marker, the local presets file.
  static constexpr const char* kAutomationFile = "/PresetsFile.xml";
  static constexpr const char* kOpenFileSuffix = ".pdeopen";
  static constexpr const char* kCachesFolder = "/Library/Caches/KRT/";
  static constexpr const char* kPCFileNameKey = "PCFILENAME";
  static constexpr const char* kPaperInfoTicketKey = "com.apple.print.subTicket.paper_info_ticket";
  static constexpr const char* kCustomPaperKey = "com.apple.print.PaperInfo.PMCustomPaper";
  static constexpr const char* kPaperNameKey = "com.apple.print.PaperInfo.PMPaperName";
  // A make and model this long or longer is shortened for the printer-name field.
  static constexpr std::size_t kModelNameCutFrom = 39;
  static constexpr std::size_t kModelNameCutWithin = 38;
  static constexpr std::size_t kDynamicKeysBytes = 1024;

  using Options = QuillFeaturesPDEOptions;

  // Start-up for the dialog `callback` (not owned; must outlive the controller). Null (no panel)
  // when the PPD's PC file name is not one of the bundle's printer list ("PrinterList.plist" in
  // the bundle folder; without that file every PPD passes), the PPD has no "*FileVersion", or the
  // queue's name cannot name a file. `why` (when given) says why there is no panel.
  [[nodiscard]] static std::unique_ptr<QuillFeaturesPDE> initWithCallback(
      quill::PrintDialogCallback* callback, const Options& options = {},
      std::string* why = nullptr);
  // Tear-down: with the ignore-next flag set only clears it (and leaves the process-wide state);
  // otherwise cancels the running windows, deletes the bridge, the parsed PPD and the session
  // data in that order and clears the saved instance when there is one, else the current one.
  ~QuillFeaturesPDE();
  QuillFeaturesPDE(const QuillFeaturesPDE&) = delete;
  QuillFeaturesPDE& operator=(const QuillFeaturesPDE&) = delete;

  // --- the dialog's calls ---------------------------------------------------------------------

  [[nodiscard]] std::string panelName() const;  // "PDE Panel Title" of the bundle
  [[nodiscard]] static const char* panelKind();
  // Each answers true; `error` (when given) is left empty.
  bool willShow();
  bool shouldHide();
  bool saveValuesAndReturnError(std::string* error = nullptr);
  bool restoreValuesAndReturnError(std::string* error = nullptr);
  // Print: account prompt (when the queue asks for codes or a required code is empty), ticket,
  // and the documents set with SetDocuments submitted through DocumentPrinter (without
  // documents, the ticket is handed to the filter only). False when nothing was printed: the
  // user cancelled the prompt, the prompt could not be shown (an alert says so), or the print
  // path failed (an alert says why; LastPrintError()).
  bool shouldPrint();
  // The dialog closes; without a print the print settings still get the ticket's key and path.
  void printWindowWillClose();

  // --- other operations -----------------------------------------------------------------------

  void updateUI();
  // Page size and input slot, then every option value into the print settings.
  bool Sync();
  void updatePageSizeAndInputSlot();
  [[nodiscard]] bool isCustomPageSize() const { return customPageSize_; }
  [[nodiscard]] const std::string& customPapername() const { return customPapername_; }
  void setValueToPrintSettings(const std::string& inputSlot);
  void DefaultsButton();
  void resetJPServerpresetKeys();
  [[nodiscard]] std::string getDynamicPPDKeys() const;
  [[nodiscard]] bool isInvalidPrinterAddress() const;
  [[nodiscard]] static std::string breakBonjourURLIntoMeaningFullItems(std::string_view uri);
  // Applies the current preset of the automation presets file (under Paths' root) once. False
  // when there is no valid file or preset; a file that cannot be written back is reported
  // (alert and log) and not applied, so the same preset is never silently applied again.
  bool loadAutomationFileAndLoadPrintSetting();
  bool readLocalPresetsDataFromDynamicPPD();
  bool writeLocalJPPresetsToDynamicPPD();
  // The local presets file of the PPD's PC file name; "" when the name could leave its folder.
  [[nodiscard]] std::string LocalPresetsPath() const;
  // The account prompt; true when printing may go on.
  bool handlePopupJobnoteUI();
  // Stores the pop-up preferences record (password notes' texts are never stored).
  bool writePrefsFile();
  // The preferences record the last writePrefsFile built (what it stored when the store took it).
  [[nodiscard]] const std::string& LastPrefsRecord() const { return lastPrefsRecord_; }
  // The pop-up notes in their slots, as the last account prompt assigned them.
  [[nodiscard]] const std::vector<PPDXJobNote*>& PopupSlots() const { return slots_; }
  // A field of the account prompt changed: slot (from 0) and text; returns what the field shows.
  std::string controlTextDidChange(std::size_t slot, std::string_view text);
  // The theme ("dark" or "light") from the desktop's style; the address area gets it.
  std::string callbackWithNotification(std::optional<std::string> interfaceStyle,
                                       bool switchesAutomatically);

  // The full-properties button: opens the job-properties module through the spooler channel and
  // the bridge. With two-way data on and an address other than the last launch's, the server
  // preset notes are emptied first: a preset of one server means nothing to another.
  bool launchFullProperties(std::string* message = nullptr);
  [[nodiscard]] quill::SpoolerChannel* Channel() const { return channel_.get(); }

  // --- state for the front end ----------------------------------------------------------------

  [[nodiscard]] bool CustomizeButtonHidden() const { return customizeHidden_; }
  [[nodiscard]] bool SeparatorHidden() const { return customizeHidden_; }
  [[nodiscard]] bool FullPropertiesButtonEnabled() const { return fullPropertiesOn_; }
  [[nodiscard]] bool CustomizeButtonEnabled() const { return customizeOn_; }
  [[nodiscard]] bool DefaultsButtonEnabled() const { return defaultsOn_; }
  void setFullPropertiesButtonStatusON(bool on) { fullPropertiesOn_ = on; }
  void setCustomizeQuickAccessButtonButtonStatusON(bool on) { customizeOn_ = on; }
  void setDefaultsButtonStatusON(bool on) { defaultsOn_ = on; }
  [[nodiscard]] const std::string& PrinterNameText() const { return printerNameText_; }
  // The address field's text (the address controller's field).
  [[nodiscard]] std::string AddressText() const;
  [[nodiscard]] std::string currentIPAddress() const { return AddressText(); }
  [[nodiscard]] const std::string& Theme() const { return theme_; }

  // The documents Print submits, and the job title ("" for each file's name).
  void SetDocuments(std::vector<std::string> files, std::string title = {});
  [[nodiscard]] const std::vector<int>& SubmittedJobs() const { return submittedJobs_; }
  [[nodiscard]] const std::string& LastPrintError() const { return lastPrintError_; }
  [[nodiscard]] bool isDocumentPrinting() const { return documentPrinting_; }

  // --- parts --------------------------------------------------------------------------------

  [[nodiscard]] KRTPPD* getPPDPtr() const { return ppd_.get(); }
  [[nodiscard]] UI_Panel* GetUI_PanelPtr() const { return uiPanel_.get(); }
  [[nodiscard]] PDEData* GetPDEDataPtr() const { return pdeData_.get(); }
  [[nodiscard]] quill::Bundle& pdeBundle() const { return *bundle_; }
  // The presenter the panel shows its alerts with: the one given at creation, else the process's
  // current one. The front end gives it to the parts it makes over the panel (the address area).
  [[nodiscard]] quill::AlertPresenter& Alerts() const;
  [[nodiscard]] const std::string& bundleVersion() const { return bundleVersion_; }
  [[nodiscard]] bool isBonjourPrinter() const { return bonjourPrinter_; }
  [[nodiscard]] bool shouldRestore() const { return shouldRestore_; }
  [[nodiscard]] const std::string& QueueName() const { return queueName_; }
  [[nodiscard]] quill::PrintDialogCallback& Callback() const { return *callback_; }
  [[nodiscard]] CustomizePaneController* Pane() const { return pane_.get(); }
  [[nodiscard]] TableViewControllerDB* ChosenTable() const { return chosen_.get(); }
  [[nodiscard]] CustomizeQuickAccessDialogController* CustomizeDialog() const {
    return customize_.get();
  }
  // The session data as the printer-address controller's store.
  [[nodiscard]] quill::AddressStore* Addresses() const { return addressStore_.get(); }
  // The printer-address controller the front end made for this panel over Addresses() (not
  // owned; null for none). It must go before the panel does, as its store goes with the panel.
  void SetAddressController(quill::BonjourModuleController* controller);
  [[nodiscard]] quill::BonjourModuleController* AddressController() const { return address_; }
  // Whether the customisation dialog is running (the front end opens and closes it).
  void SetCustomizeWindowRunning(bool running) { customizeRunning_ = running; }
  [[nodiscard]] bool CustomizeWindowRunning() const { return customizeRunning_; }

  // --- process-wide state ---------------------------------------------------------------------

  [[nodiscard]] static QuillFeaturesPDE* CurrentInstance();
  [[nodiscard]] static QuillFeaturesPDE* SavedInstance();
  [[nodiscard]] static bool IgnoreNextDealloc();
  [[nodiscard]] static const std::string& cachesPDEOpenFilePath();
  // Forgets the process-wide state (for tests; no controller may be alive).
  static void ResetProcessState();

 private:
  QuillFeaturesPDE(quill::PrintDialogCallback* callback, const Options& options);
  bool Start(std::string* why);
  void ReadPaperInfo();
  void ApplyOSPageSizeAndInputSlot();
  // The primary paper feed the system reports, selected in "*InputSlot".
  void ApplyOSInputSlot();
  void ShowModelName();
  void StoreAddress();
  [[nodiscard]] bool PopupInitialisedWithNone() const;

  quill::PrintDialogCallback* callback_;          // not owned
  quill::Bundle* bundle_;                         // not owned
  quill::AlertPresenter* alerts_;                 // not owned; null for the current presenter
  quill::PopupJobNotePresenter* popupPresenter_;  // not owned; null for the current presenter
  std::string serverLocaleCode_;

  std::string queueName_;
  std::string ppdPath_;
  std::string bundleVersion_;
  bool shouldRestore_ = false;
  bool automationCalled_ = false;
  bool customPageSize_ = false;
  std::string customPapername_;
  bool bonjourPrinter_ = false;
  bool documentPrinting_ = false;
  bool customizeHidden_ = false;
  bool fullPropertiesOn_ = true;
  bool customizeOn_ = true;
  bool defaultsOn_ = true;
  bool customizeRunning_ = false;
  std::string printerNameText_;
  std::string theme_ = "light";
  std::vector<std::string> documents_;
  std::string documentTitle_;
  std::vector<int> submittedJobs_;
  std::string lastPrintError_;
  std::vector<PPDXJobNote*> slots_;                    // notes of the tree below
  quill::PopupJobNoteWindow* activeWindow_ = nullptr;  // the prompt while it runs
  std::string lastPrefsRecord_;

  // Owned parts. Declared so that the default destruction order would match the tear-down; the
  // destructor resets them explicitly in that order anyway.
  std::unique_ptr<PDEData> pdeData_;
  std::unique_ptr<KRTPPD> ppd_;
  std::unique_ptr<UI_Panel> uiPanel_;
  std::unique_ptr<quill::AddressStore> addressStore_;
  std::unique_ptr<quill::SpoolerChannel> channel_;
  std::unique_ptr<CustomizePaneController> pane_;
  std::unique_ptr<TableViewControllerDB> chosen_;
  std::unique_ptr<CustomizeQuickAccessDialogController> customize_;
  quill::BonjourModuleController* address_ = nullptr;  // not owned
  bool registered_ = false;
};
