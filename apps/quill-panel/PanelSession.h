// PanelSession: everything the desktop dialog of one queue works on, without any widget: the
// queue's parsed PPD, the session data, the panel tree with its quick-access entries, the pane and
// customisation controllers, the settings saved for the queue and the print path. The widgets draw
// what it holds and forward the user's actions to its controllers.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "panel/CustomizePaneController.h"
#include "panel/CustomizeQuickAccessDialogController.h"
#include "panel/PDEData.h"
#include "panel/PPDTree.h"
#include "panel/TableViewControllerDB.h"
#include "panel/UI_Panel.h"
#include "platform/PrintSettings.h"

class KRTPPD;
class PPDXJobNote;

namespace quill {
class AvahiServiceBrowser;
class BonjourModuleController;
class PDEDataAddressStore;
class Printer;
}  // namespace quill
class QtOneShotTimer;

class PanelSession {
 public:
  // Opens the dialog of CUPS queue `queue`: fetches its PPD into a private copy, parses it and
  // starts from the settings saved for the queue. Null with a one-line reason in *error when the
  // queue is unknown, the spooler cannot be reached or the PPD cannot be fetched or read.
  static std::unique_ptr<PanelSession> OpenQueue(const std::string& queue, std::string* error);
  // Opens the PPD at `path` as the dialog of `queue` without asking the spooler (Print then
  // refuses). Null with the reason in *error when the file cannot be read.
  static std::unique_ptr<PanelSession> OpenPPD(const std::string& path, const std::string& queue,
                                               std::string* error);
  ~PanelSession();
  PanelSession(const PanelSession&) = delete;
  PanelSession& operator=(const PanelSession&) = delete;

  [[nodiscard]] const std::string& QueueName() const { return queue_; }
  // The printer's model name from the PPD ("" when it has none).
  [[nodiscard]] std::string ModelName() const;

  [[nodiscard]] KRTPPD& PPD() { return *ppd_; }
  [[nodiscard]] PDEData& Data() { return *data_; }
  [[nodiscard]] PPDTree& Tree() { return tree_; }
  [[nodiscard]] CustomizePaneController& Pane() { return *pane_; }
  [[nodiscard]] TableViewControllerDB& Table() { return *table_; }
  [[nodiscard]] CustomizeQuickAccessDialogController& Outline() { return *outline_; }
  [[nodiscard]] UI_Panel& Bridge() { return *bridge_; }
  [[nodiscard]] quill::PrintSettings& Settings() { return settings_; }
  // The printer-address controller over the queue's stored address, browsing through Avahi.
  [[nodiscard]] quill::BonjourModuleController& Address() { return *address_; }
  [[nodiscard]] quill::AvahiServiceBrowser& Browser() { return *browser_; }

  // Rebuilds the pane's entries from the tree's quick-access list.
  void Redraw();
  // Every control back to its default; the pane is redrawn.
  void Defaults();
  // The full-properties window: runs the job-properties module. Without a module the outcome's
  // message says why and nothing changes. The pane is redrawn from what came back.
  UI_Panel::LaunchOutcome LaunchProperties();

  // The job notes to ask for before printing, in tree order: every required note without text,
  // and, when the queue prompts for accounts at print time (job tracking on, account setting not
  // 2), every pop-up note without text.
  [[nodiscard]] std::vector<PPDXJobNote*> NotesToAsk();

  // Prints each of `files` as a job of its own. Refuses (false, reason in *error, nothing sent)
  // while a required job note has no text, when the session was opened without a queue, or when
  // a file is not PostScript or PDF. `submitted` (may be empty) hears of every job.
  bool Print(const std::vector<std::string>& files,
             const std::function<void(const std::string& file, int job)>& submitted,
             std::string* error);

 private:
  PanelSession(std::string ppdPath, std::string queue, bool fromQueue);
  bool Start(std::string* error);

  std::string ppdPath_;
  std::string queue_;
  bool fromQueue_;  // the PPD is a private copy fetched from the spooler (removed at the end)
  std::unique_ptr<KRTPPD> ppd_;
  quill::PrintSettings settings_;
  std::unique_ptr<PDEData> data_;
  std::unique_ptr<UI_Panel> bridge_;
  PPDTree tree_;
  std::unique_ptr<CustomizePaneController> pane_;
  std::unique_ptr<TableViewControllerDB> table_;
  std::unique_ptr<CustomizeQuickAccessDialogController> outline_;
  std::unique_ptr<quill::PDEDataAddressStore> addressStore_;
  std::unique_ptr<quill::AvahiServiceBrowser> browser_;
  std::unique_ptr<QtOneShotTimer> timer_;
  std::unique_ptr<quill::BonjourModuleController> address_;
};
