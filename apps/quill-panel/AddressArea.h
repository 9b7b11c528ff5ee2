// AddressArea: the panel's printer-address area: the print server's address and name with their
// captions, the two-way communication switch and the Browse button that opens the BrowseWindow.
// It draws the printer-address controller's area state (texts, what is editable or enabled, the
// greyed colours of the light or dark palette) and forwards the user's actions; validation and
// storing are the controller's, and its alerts go through the controller's alert presenter.
#pragma once

#include <QWidget>
#include <functional>

namespace quill {
class BonjourModuleController;
}

class BrowseWindow;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

class AddressArea : public QWidget {
  Q_OBJECT

 public:
  // Draws `controller`'s area as it is (the front end has read the stored address into it
  // first). The controller must outlive the area.
  AddressArea(quill::BonjourModuleController& controller, QWidget* parent = nullptr);

  // Runs while the browse window is open, for the browser's results (see BrowseWindow).
  void SetPump(std::function<void()> pump);
  // Redraws from the controller's state (after the controller changed outside the area).
  void Refresh();
  // Browse as the button does: false when the controller does not open the window.
  bool OpenBrowseWindow();

  [[nodiscard]] QLineEdit* AddressField() const { return address_; }
  [[nodiscard]] QLineEdit* ServerNameField() const { return serverName_; }
  [[nodiscard]] QCheckBox* TwoWaySwitch() const { return twoWay_; }
  [[nodiscard]] QPushButton* BrowseButton() const { return browse_; }
  [[nodiscard]] BrowseWindow* Browser() const { return window_; }

 signals:
  // The stored address or switch may have changed (two-way switched, OK in the browse window).
  void addressChanged();

 protected:
  void changeEvent(QEvent* event) override;

 private:
  void AddressEdited(const QString& text);
  void AddressFinished();
  void TwoWayClicked(bool on);
  void FollowPalette();

  quill::BonjourModuleController& controller_;
  QLabel* addressCaption_;
  QLineEdit* address_;
  QLabel* serverCaption_;
  QLineEdit* serverName_;
  QCheckBox* twoWay_;
  QPushButton* browse_;
  BrowseWindow* window_;
  bool validating_ = false;  // an alert of the address check is up
};
