// BrowseWindow: the window that lists the print servers found on the network. It draws the
// printer-address controller's window state (the sortable table of host names and addresses with
// the controller's sort indicators, the address field, the progress bar while browsing) and
// forwards the user's actions to it; whether OK may close and what it stores is the controller's.
//
// While it is open a short timer runs the pump the front end set (the Avahi browser's Poll, so the
// browser's results arrive on this thread) and redraws when the controller asks for a reload.
#pragma once

#include <QDialog>
#include <QTimer>
#include <functional>

namespace quill {
class BonjourModuleController;
}

class QLineEdit;
class QProgressBar;
class QPushButton;
class QTableWidget;

class BrowseWindow : public QDialog {
  Q_OBJECT

 public:
  // How often the pump runs and the window looks for new results while open.
  static constexpr int kRefreshMs = 100;

  BrowseWindow(quill::BonjourModuleController& controller, QWidget* parent = nullptr);

  // Called on every refresh while the window is open (none when empty).
  void SetPump(std::function<void()> pump) { pump_ = std::move(pump); }
  // Shows the window (window-modal, without blocking) for the browse the controller has just
  // started (BonjourModuleController::configureButtonClicked); asks the table's first rows, which
  // starts resolving.
  void Start();
  // Runs the pump once and redraws from the controller.
  void Refresh();

  [[nodiscard]] QTableWidget* Table() const { return table_; }
  [[nodiscard]] QLineEdit* AddressField() const { return address_; }
  [[nodiscard]] QProgressBar* Progress() const { return progress_; }
  [[nodiscard]] QPushButton* OkButton() const { return ok_; }
  [[nodiscard]] QPushButton* CancelButton() const { return cancel_; }

 public slots:
  // OK: closes (accepted) only when the controller takes the address; its alert says why not.
  void accept() override;
  // Cancel, Escape and the window's close button.
  void reject() override;

 private:
  void DrawRows();
  void DrawSelection();
  void SelectionChanged();

  quill::BonjourModuleController& controller_;
  std::function<void()> pump_;
  QTableWidget* table_;
  QLineEdit* address_;
  QProgressBar* progress_;
  QPushButton* ok_;
  QPushButton* cancel_;
  QTimer refresh_;
  bool drawing_ = false;  // set while the table is filled, so its signals are not forwarded
};
