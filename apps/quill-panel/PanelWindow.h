// PanelWindow: the print dialog of one queue, drawn over the panel controller (QuillFeaturesPDE)
// that holds the dialog's whole lifecycle. It shows the queue and its model, the quick-access pane
// with its customise button, the printer-address area, the full-properties button, Defaults,
// Cancel and Print, and forwards every action to the controller or the parts it exposes; Print
// runs the controller's print (account prompt, ticket, the documents through DocumentPrinter).
// The window only draws and forwards: every rule is the controller's.
//
// Call order, as a print dialog makes it: the creator made the controller (initWithCallback);
// the window restores the values and shows the panel (restoreValuesAndReturnError, willShow);
// Print calls shouldPrint; closing the window, by Print or Cancel, saves the values after a print
// (saveValuesAndReturnError) and ends with printWindowWillClose and shouldHide.
#pragma once

#include <QDialog>
#include <QStringList>
#include <memory>
#include <vector>

#include "PanelTheme.h"

class AddressArea;
class CustomizeDialog;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollArea;
class QtOneShotTimer;
class QuickAccessPane;
class QuillFeaturesPDE;

namespace quill {
class AvahiServiceBrowser;
class BonjourModuleController;
}  // namespace quill

class PanelWindow : public QDialog {
  Q_OBJECT

 public:
  // Takes the controller (non-null; its dialog callback and presenters must outlive the window).
  // `files` are printed by Print (a file dialog asks when there are none). The address area's
  // controller is made here over the controller's address store, browsing through Avahi.
  PanelWindow(std::unique_ptr<QuillFeaturesPDE> panel, QStringList files,
              QWidget* parent = nullptr);
  // The address controller goes first (its store is the panel's), then the panel.
  ~PanelWindow() override;

  [[nodiscard]] QuillFeaturesPDE& Panel() const { return *panel_; }
  [[nodiscard]] QuickAccessPane* Pane() const { return pane_; }
  [[nodiscard]] CustomizeDialog* Customize() const { return customize_; }
  [[nodiscard]] AddressArea* Address() const { return address_; }
  [[nodiscard]] QScrollArea* PaneScroll() const { return scroll_; }
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
  // Redraws the pane and the buttons from the controller (after the caller changed its state).
  void Redraw();

 public slots:
  void done(int result) override;

 signals:
  void printed();

 protected:
  void changeEvent(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void OpenCustomize();
  void RedrawPane(bool kept);
  void ShowProperties();
  void SetStatus(const QString& text, bool error);
  void FollowPalette();
  void UpdateButtons();
  void FitPaneWidth();
  void Close(bool printed);

  // Declared in the order opposite to their end: the panel outlives the address controller.
  std::unique_ptr<QuillFeaturesPDE> panel_;
  std::unique_ptr<quill::AvahiServiceBrowser> browser_;
  std::unique_ptr<QtOneShotTimer> timer_;
  std::unique_ptr<quill::BonjourModuleController> addressController_;
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
  bool printedJobs_ = false;
  bool closed_ = false;
};
