// PanelWindow: the print dialog of one queue. It shows the queue and its model, the quick-access
// pane with its customise button, the printer-address area, the full-properties button, Defaults,
// Cancel and Print. Print asks for the job notes the queue needs (JobNotePrompt), asks for files
// when none were given, and prints through the session's print path. The window only draws and
// forwards: every rule is the session's controllers'.
#pragma once

#include <QDialog>
#include <QStringList>
#include <memory>
#include <vector>

#include "PanelTheme.h"

class AddressArea;
class CustomizeDialog;
class PanelSession;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollArea;
class QuickAccessPane;

class PanelWindow : public QDialog {
  Q_OBJECT

 public:
  // Takes the session. `files` are printed by Print (a file dialog asks when there are none).
  PanelWindow(std::unique_ptr<PanelSession> session, QStringList files, QWidget* parent = nullptr);
  ~PanelWindow() override;

  [[nodiscard]] PanelSession& Session() { return *session_; }
  [[nodiscard]] QuickAccessPane* Pane() const { return pane_; }
  [[nodiscard]] CustomizeDialog* Customize() const { return customize_; }
  [[nodiscard]] AddressArea* Address() const { return address_; }
  [[nodiscard]] QPushButton* CustomizeButton() const { return customizeButton_; }
  [[nodiscard]] QPushButton* PrintButton() const { return print_; }
  [[nodiscard]] QPushButton* PropertiesButton() const { return properties_; }
  [[nodiscard]] QPushButton* DefaultsButton() const { return defaults_; }
  // The last message of the window (errors of Print and the properties window, the jobs sent).
  [[nodiscard]] QString Status() const;
  // The job ids the last Print submitted.
  [[nodiscard]] const std::vector<int>& Jobs() const { return jobs_; }
  [[nodiscard]] PanelThemeKind Theme() const { return theme_; }

  // Print as the button does; true when jobs were submitted.
  bool PrintNow();

 signals:
  void printed();

 protected:
  void changeEvent(QEvent* event) override;

 private:
  void OpenCustomize();
  void RedrawPane(bool kept);
  void ShowProperties();
  void SetStatus(const QString& text, bool error);
  void FollowPalette();

  std::unique_ptr<PanelSession> session_;
  QStringList files_;
  QLineEdit* printerName_;
  QLineEdit* model_;
  QuickAccessPane* pane_;
  QScrollArea* scroll_;
  QWidget* addressSlot_;
  AddressArea* address_ = nullptr;
  QPushButton* customizeButton_;
  QPushButton* properties_;
  QPushButton* defaults_;
  QPushButton* cancel_;
  QPushButton* print_;
  QLabel* status_;
  CustomizeDialog* customize_;
  std::vector<int> jobs_;
  PanelThemeKind theme_ = PanelThemeKind::kLight;
};
