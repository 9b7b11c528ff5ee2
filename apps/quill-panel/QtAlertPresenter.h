// QtAlertPresenter: the panel's alerts on the desktop. Each alert of the panel controller (a
// message, an informative text, a default and an optional alternate button) is shown as a modal
// QMessageBox over the dialog; the button pressed goes back to the controller. Escape or the
// window's close button answer with the alternate button when there is one, else the default.
#pragma once

#include <QPointer>
#include <QWidget>

#include "platform/Alert.h"

class QtAlertPresenter : public quill::AlertPresenter {
 public:
  // Alerts are shown over `parent` (may be null, and may be set later with SetParent).
  explicit QtAlertPresenter(QWidget* parent = nullptr) : parent_(parent) {}

  void SetParent(QWidget* parent) { parent_ = parent; }
  quill::AlertButton Show(const quill::AlertText& text) override;

 private:
  QPointer<QWidget> parent_;  // the dialog may go before the presenter
};
