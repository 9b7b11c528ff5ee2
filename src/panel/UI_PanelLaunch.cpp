// The module-run part of UI_Panel: preparing the shared list, launching the module session and
// taking its return.
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "PPDX/KRTPPD.h"
#include "panel/PDEData.h"
#include "panel/SpoolerChannel.h"
#include "panel/UI_Panel.h"
#include "panel/UI_PanelReturnTimer.h"
#include "platform/Alert.h"
#include "platform/Bundle.h"
#include "platform/Log.h"
#include "server/BidiSections.h"
#include "server/JPModule.h"
#include "server/SDMAllocator.h"

namespace {

// "4.2" -> {4, 2}; false when the text does not start with a number. A missing minor is -1.
bool ParseVersion(const char* text, long* major, long* minor) {
  if (text == nullptr) return false;
  char* end = nullptr;
  *major = std::strtol(text, &end, 10);
  if (end == text) return false;
  *minor = -1;
  if (*end == '.' && end[1] >= '0' && end[1] <= '9') *minor = std::strtol(end + 1, nullptr, 10);
  return true;
}

const char* MakerVersion(const KRTPPD* ppd) {
  if (ppd == nullptr) return nullptr;
  if (ppd->VendorVersion() != nullptr) return ppd->VendorVersion();
  return ppd->FileVersion();
}

void ShowInvalidAddress(quill::Bundle* bundle) {
  auto text = [bundle](const char* key, const char* fallback) {
    return bundle != nullptr ? bundle->LocalizedString(key, "BidiStrings", fallback) : std::string(fallback);
  };
  quill::CurrentAlertPresenter().Show({text("INVALID_IP_ADDRESS", "You have entered an invalid IP Address or DNS Name"),
                                       text("PRESS_OKAY", "Press OK to enter a new IP Address or DNS Name."),
                                       "OK", ""});
}

}  // namespace

SharedMemoryList& UI_Panel::Shared() {
  if (!shared_) {
    shared_ = quill::NewSharedMemoryList();
    if (!shared_) std::abort();  // 2.3 MB could not be had: nothing sensible is left to do
  }
  return *shared_;
}

void UI_Panel::SetTwoWay(bool on, std::string address) {
  twoWay_ = on;
  address_ = std::move(address);
}

void UI_Panel::SetReturnTimer(std::unique_ptr<quill::JPReturnTimer> timer) { timer_ = std::move(timer); }

bool UI_Panel::isGable3() const {
  long major = 0, minor = 0;
  if (!ParseVersion(MakerVersion(pdeData_ != nullptr ? pdeData_->PPD() : nullptr), &major, &minor)) return false;
  return major == 4 && (minor == 2 || minor == 3);
}

void UI_Panel::LoadHelperModule() {
  quill::NoteHelperLoading();
  SharedMemoryList& shared = Shared();
  KRTPPD* ppd = pdeData_ != nullptr ? pdeData_->PPD() : nullptr;
  long major = 0, minor = 0;
  const char* version = MakerVersion(ppd);
  if (ParseVersion(version, &major, &minor) && major == 4 && minor > 3) {
    QUILL_SML_SET(shared, makerVersion, version);
  }
  quill::Bundle* bundle = pdeData_ != nullptr ? pdeData_->Bundle() : nullptr;
  if (bundle != nullptr) {
    std::string name = std::filesystem::path(bundle->Folder()).filename().string();
    name = name.substr(0, name.find(' '));
    QUILL_SML_SET(shared, bundleName, name);
    QUILL_SML_SET(shared, driverVersion, bundle->Version().substr(0, 14));
  }
}

UI_Panel::LaunchOutcome UI_Panel::LaunchJobProperties(int action) {
  LaunchOutcome outcome;
  if (pdeData_ == nullptr || pdeData_->PPD() == nullptr) {
    outcome.message = "no PPD for the job-properties module";
    return outcome;
  }
  SharedMemoryList& shared = Shared();
  if (twoWay_ && action == kActionInvalidAddress) {
    ShowInvalidAddress(pdeData_->Bundle());
    outcome.message = "invalid printer address";
    return outcome;
  }
  GetWatermarks(&shared);
  QUILL_SML_SET(shared, ppdPath, pdeData_->CopyPath());
  QUILL_SML_SET(shared, bidi, twoWay_ ? "1" : "0");
  QUILL_SML_SET(shared, address, twoWay_ ? address_ : std::string());
  LoadHelperModule();
  makeJobNotesForSpecialControls();
  const auto settings = CurrentSettings();
  quill::SetSharedSettings(shared, settings);
  QUILL_SML_SET(shared, result, quill::kJPResultNoSession);

  quill::SetJPSharedList(&shared);
  const char* dmt = pdeData_->PPD()->CustomXMLText();
  quill::SetJPDeviceManagementText(dmt != nullptr ? dmt : "");
  quill::Bundle* bundle = pdeData_->Bundle();
  quill::SetJPWindowTitle(bundle != nullptr ? bundle->LocalizedString("Printing Preferences", "BidiStrings", "Printing Preferences")
                                            : "Printing Preferences");
  quill::BidiSections::Current().Load(twoWay_ ? bidiData_ : std::string());

  const int run = quill::mainJP();
  if (run == 2) {
    outcome.result = std::string(QUILL_SML_GET(shared, result));
    outcome.message = "the job-properties module is not available: " + quill::JPLastError();
    quill::SetJPSharedList(nullptr);
    return outcome;
  }
  outcome.ran = true;
  if (!timer_) timer_ = std::make_unique<quill::ImmediateJPReturnTimer>();
  lastOutcome_ = outcome;
  timer_->Arm([this] { return quill::FieldText(Shared().result, sizeof(Shared().result)) != quill::kJPResultNoSession; },
              [this] { OnJPReturn(); });
  outcome = lastOutcome_;
  return outcome;
}

void UI_Panel::OnJPReturn() {
  returnFromJP_ = 1;
  SharedMemoryList& shared = Shared();
  const std::string result(QUILL_SML_GET(shared, result));
  lastOutcome_.result = result;
  quill::SetJPSharedList(nullptr);
  if (result == quill::kJPResultNoSession) {
    lastOutcome_.message = quill::JPLastError().empty() ? "no module session" : quill::JPLastError();
    if (channel_ != nullptr) {
      channel_->showBiDiError();
      if (twoWay_ && !relaunched_ &&
          channel_->printerInBusyState_ContinueBiDiOFF() == quill::SpoolerChannel::kChoiceContinueWithoutBidi) {
        relaunched_ = true;
        SetTwoWay(false, "");
        pdeData_->SetMeridiaPrinterAddress("", false);
        const LaunchOutcome again = LaunchJobProperties(kActionOpen);
        relaunched_ = false;
        lastOutcome_ = again;
        lastOutcome_.message = "relaunched without two-way data: " + again.message;
      }
    }
    return;
  }
  if (result == "0") {
    SDMKeyValueList* list = quill::Create_SDMList_From_SharedMemoryList(shared, quill::SDMAllocator::Host());
    UpdateWatermarks(&shared);
    SetUpdatedSettings(list);
    pdeData_->SaveWatermarksToPreferences();
    FreeSDMList(list);
    lastOutcome_.message = "accepted";
    return;
  }
  if (result == "1") {
    lastOutcome_.message = "cancelled";
    return;
  }
  lastOutcome_.message = "the module ended with result " + result;
  if (twoWay_) ShowInvalidAddress(pdeData_->Bundle());
}
