// CustomizeDialog: the quick-access customisation dialog. The available options by group on the
// left, the chosen ones in pane order on the right (reordered with the buttons or by dragging),
// add, remove, move up, move down, defaults, OK and cancel enabled as the chosen-side controller
// says. OK stores the list for the queue and redraws the pane; Cancel (or Escape) discards.
#pragma once

#include <QDialog>

class CustomizeQuickAccessDialogController;
class QLabel;
class QListWidget;
class QPushButton;
class QTreeWidget;
class TableViewControllerDB;

class CustomizeDialog : public QDialog {
  Q_OBJECT

 public:
  // The controllers must outlive the dialog.
  CustomizeDialog(TableViewControllerDB& table, CustomizeQuickAccessDialogController& outline,
                  QWidget* parent = nullptr);

  // Starts a session from the current quick-access entries (call before showing).
  void Open();

  [[nodiscard]] QTreeWidget* Available() const { return available_; }
  [[nodiscard]] QListWidget* Chosen() const { return chosen_; }
  [[nodiscard]] QPushButton* AddButton() const { return add_; }
  [[nodiscard]] QPushButton* RemoveButton() const { return remove_; }
  [[nodiscard]] QPushButton* UpButton() const { return up_; }
  [[nodiscard]] QPushButton* DownButton() const { return down_; }
  [[nodiscard]] QPushButton* DefaultsButton() const { return defaults_; }
  [[nodiscard]] QPushButton* OkButton() const { return ok_; }
  // Why the last addition was refused ("" when it was not).
  [[nodiscard]] QString Message() const;

 public slots:
  void accept() override;
  void reject() override;

 signals:
  // OK took a new list (the pane must be redrawn); `kept` is false when it could not be stored
  // for the queue (it then applies to this dialog only).
  void stored(bool kept);

 private:
  void FillAvailable();
  void FillChosen();
  void UpdateButtons();
  void OnAvailableSelection();
  void OnChosenSelection();
  void OnRowsMoved(int from, int to);

  TableViewControllerDB& table_;
  CustomizeQuickAccessDialogController& outline_;
  QTreeWidget* available_;
  QListWidget* chosen_;
  QLabel* message_;
  QPushButton* add_;
  QPushButton* remove_;
  QPushButton* up_;
  QPushButton* down_;
  QPushButton* defaults_;
  QPushButton* ok_;
  QPushButton* cancel_;
  bool filling_ = false;
};
