#include "PanelSession.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <optional>

#include "PPDX/KRTPPD.h"
#include "QtOneShotTimer.h"
#include "connection/AvahiServiceBrowser.h"
#include "connection/BonjourModuleController.h"
#include "panel/PDEDataAddressStore.h"
#include "PPDX/PPDObjects/Controls/PPDXControl.h"
#include "PPDX/PPDObjects/Controls/PPDXJobNote.h"
#include "PPDX/PPDObjects/PPDXControls.h"
#include "foundation/ProcessGlobals.h"
#include "panel/DocumentPrinter.h"
#include "platform/Bundle.h"
#include "platform/PrintSession.h"
#include "platform/Printer.h"

namespace {

std::optional<std::string> ValueOf(KRTPPD& ppd, const char* keyword) {
  PPDXControl* control = ppd.GetPPDXControlForKey(keyword);
  if (control == nullptr) return std::nullopt;
  return control->CopyCurrentControlValueString().value_or("");
}

}  // namespace

std::unique_ptr<PanelSession> PanelSession::OpenQueue(const std::string& queue, std::string* error) {
  const quill::Printer printer(queue);
  std::string why;
  std::string copy = printer.CopyPPD(&why);
  if (copy.empty()) {
    if (error != nullptr) {
      *error = printer.Exists() ? "cannot fetch the PPD of " + queue + ": " + why
                                : "no queue named " + queue + " (" + why + ")";
    }
    return nullptr;
  }
  std::unique_ptr<PanelSession> session(new PanelSession(std::move(copy), queue, true));
  if (!session->Start(error)) return nullptr;
  return session;
}

std::unique_ptr<PanelSession> PanelSession::OpenPPD(const std::string& path,
                                                    const std::string& queue, std::string* error) {
  std::unique_ptr<PanelSession> session(new PanelSession(path, queue, false));
  if (!session->Start(error)) return nullptr;
  return session;
}

PanelSession::PanelSession(std::string ppdPath, std::string queue, bool fromQueue)
    : ppdPath_(std::move(ppdPath)), queue_(std::move(queue)), fromQueue_(fromQueue) {}

PanelSession::~PanelSession() {
  // The controllers hold the tree, the session data and the PPD: they go first, the address
  // controller (listening to the browser, reading the store) before its parts.
  address_.reset();
  timer_.reset();
  browser_.reset();
  addressStore_.reset();
  outline_.reset();
  table_.reset();
  pane_.reset();
  bridge_.reset();
  data_.reset();
  ppd_.reset();
  if (fromQueue_) ::unlink(ppdPath_.c_str());
}

bool PanelSession::Start(std::string* error) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(ppdPath_, ec) || !std::ifstream(ppdPath_).good()) {
    if (error != nullptr) *error = "cannot read " + ppdPath_;
    return false;
  }
  Globals().currentPPDPath = ppdPath_;
  // The end-of-file latch of the last PPD read in this process would stop this one at its first
  // line: a new file starts unlatched.
  Globals().endOfPPDLatch = false;
  // The panel shows everything the file defines, orphans and hidden elements included.
  KRTPPD::Options(kDisplayOrphans | kDisplayHidden);
  ppd_ = std::make_unique<KRTPPD>(ppdPath_, kParseOrphans | kParseHidden);

  // The settings saved for the queue (the last choices of the dialog); an unreadable file is
  // left alone and the PPD's defaults stand.
  if (!queue_.empty() &&
      settings_.Load(queue_) == quill::PrintSettings::LoadResult::kLoaded) {
    std::map<std::string, std::string> values;
    CNTL_TYPE type = kBaseControl;
    for (PPDXControl* c = ppd_->GetControls()->First(type); c != nullptr;
         c = ppd_->GetControls()->Next(type)) {
      if (c->Keyword() == nullptr || type == kSpecialOptionControl || type == kJobNoteControl) {
        continue;
      }
      if (auto stored = settings_.GetString(c->Keyword())) values[c->Keyword()] = *stored;
    }
    ppd_->SetAllValues(values);
  }

  data_ = std::make_unique<PDEData>(ppd_.get(), queue_);
  data_->SetPrintSettings(&settings_);
  data_->SetBundle(&quill::Bundle::Main());
  data_->GetWatermarksFromPreferences();
  data_->Watermarks().AddDefaults(
      [](const std::string& key) { return quill::Bundle::Main().LocalizedString(key); });
  data_->RestoreNonPSSettings();

  bridge_ = std::make_unique<UI_Panel>(data_.get());
  bridge_->PopulatePPDTreeStructure(tree_);
  pane_ = std::make_unique<CustomizePaneController>(*ppd_, data_.get());
  pane_->LoadIconTable(quill::Bundle::Main());
  table_ = std::make_unique<TableViewControllerDB>(tree_, data_.get(), pane_.get());
  outline_ = std::make_unique<CustomizeQuickAccessDialogController>(tree_, data_.get(), *table_);
  table_->Open();
  outline_->ListAvailableShortcuts();
  Redraw();

  // The printer-address area: a Linux desktop has no discovery of its own, so browsing is offered.
  addressStore_ = std::make_unique<quill::PDEDataAddressStore>(*data_);
  browser_ = std::make_unique<quill::AvahiServiceBrowser>();
  timer_ = std::make_unique<QtOneShotTimer>();
  quill::BonjourModuleController::Options options;
  options.offerBrowsing = true;
  address_ = std::make_unique<quill::BonjourModuleController>(addressStore_.get(), browser_.get(),
                                                              timer_.get(), nullptr, options);
  address_->setIPAddress();
  return true;
}

std::string PanelSession::ModelName() const {
  const char* name = ppd_->ModelName();
  return name != nullptr ? name : "";
}

void PanelSession::Redraw() { pane_->DrawControlsInTree(tree_); }

void PanelSession::Defaults() {
  bridge_->ResetControlsToDefault();
  Redraw();
}

UI_Panel::LaunchOutcome PanelSession::LaunchProperties() {
  UI_Panel::LaunchOutcome outcome = bridge_->LaunchJobProperties(UI_Panel::kActionOpen);
  Redraw();
  return outcome;
}

std::vector<PPDXJobNote*> PanelSession::NotesToAsk() {
  const std::optional<std::string> tracking = ValueOf(*ppd_, "*KRDisplayJobTracking");
  const std::optional<std::string> setting = ValueOf(*ppd_, "*KRAccountSetting");
  const bool prompts = tracking && setting && ValueOf(*ppd_, "*KRAccountShowLast") &&
                       *tracking == "True" && *setting != "2";
  std::vector<PPDXJobNote*> notes;
  CNTL_TYPE type = kBaseControl;
  for (PPDXControl* c = ppd_->GetControls()->First(type); c != nullptr;
       c = ppd_->GetControls()->Next(type)) {
    if (type != kJobNoteControl || c->Keyword() == nullptr) continue;
    auto* note = static_cast<PPDXJobNote*>(c);
    const char* text = note->GetNotes();
    if (text != nullptr && *text != '\0') continue;
    if (note->IsRequired() || (prompts && note->IsPopupJN())) notes.push_back(note);
  }
  return notes;
}

bool PanelSession::Print(const std::vector<std::string>& files,
                         const std::function<void(const std::string& file, int job)>& submitted,
                         std::string* error) {
  std::string why;
  if (!fromQueue_) {
    if (error != nullptr) *error = "this dialog was opened on a PPD file, not on a queue";
    return false;
  }
  if (files.empty()) {
    if (error != nullptr) *error = "nothing to print";
    return false;
  }
  for (const std::string& file : files) {
    if (!quill::DocumentPrinter::CheckPrintable(file, &why)) {
      if (error != nullptr) *error = why;
      return false;
    }
  }
  // A required note without text is never printed without: the prompt comes first.
  for (PPDXJobNote* note : NotesToAsk()) {
    if (note->IsRequired()) {
      if (error != nullptr) {
        *error = "the queue requires " + note->CFStringUserName() + "; nothing was printed";
      }
      return false;
    }
  }
  const quill::Printer printer(queue_);
  quill::PrintSession::Current().SetCurrentPrinter(printer);
  quill::DocumentPrinter printing(*ppd_, *data_, settings_);
  if (!printing.BuildTicket(&quill::PrintSession::Current(), error)) return false;
  return printing.Submit(printer, files, "", submitted, error);
}
