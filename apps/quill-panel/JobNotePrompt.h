// JobNotePrompt: the account prompt on the desktop: the window that asks, before a print, for the
// job notes the queue needs (an account code, a user name, a password). It draws the library's
// prompt model (PopupJobNoteWindow) and forwards to it: each field shows the note's text, masked
// for passwords and PINs, and every edit (typed or pasted, as a whole) passes the note's character
// rule and then the model's length limit; Always switches whether the queue asks at print time; OK
// sets the notes (refused, with the reason shown, while a required note has no text); Cancel (or
// Escape) ends the prompt so that nothing is printed.
//
// QtPopupJobNotePresenter runs it modally as the panel's presenter of the prompt.
#pragma once

#include <QDialog>
#include <QPointer>
#include <functional>
#include <memory>
#include <vector>

#include "panel/PopupJobNoteWindow.h"

class KRTPPD;
class NoteField;
class PanelWindow;
class QLabel;
class QPushButton;

class JobNotePrompt : public QDialog {
  Q_OBJECT

 public:
  // `ppd` and `window` must outlive the dialog.
  JobNotePrompt(KRTPPD& ppd, quill::PopupJobNoteWindow& window, QWidget* parent = nullptr);
  // A prompt with a model of its own for `notes` of `dialog`'s PPD, titled `title` ("" for the
  // model's default); `always` (may be empty) runs after the Always button switched the setting.
  JobNotePrompt(std::vector<PPDXJobNote*> notes, std::function<void()> always, const QString& title,
                PanelWindow* dialog);

  // The field of slot `index`.
  [[nodiscard]] NoteField* Field(std::size_t index) const { return fields_.at(index); }
  [[nodiscard]] QPushButton* OkButton() const { return ok_; }
  [[nodiscard]] QPushButton* CancelButton() const { return cancel_; }
  // Null when the queue has no account setting to switch.
  [[nodiscard]] QPushButton* AlwaysButton() const { return always_; }
  // Why OK was refused ("" when it was not).
  [[nodiscard]] QString Refusal() const;

 public slots:
  void accept() override;
  void reject() override;

 private:
  void Build(KRTPPD& ppd);
  void UpdateOk();

  std::unique_ptr<quill::PopupJobNoteWindow> owned_;  // the model when the prompt made its own
  quill::PopupJobNoteWindow& window_;
  std::function<void()> always_callback_;
  std::vector<NoteField*> fields_;
  QLabel* refusal_;
  QPushButton* ok_;
  QPushButton* cancel_;
  QPushButton* always_ = nullptr;
};

// Shows the prompt modally over `parent`; the dialog's buttons end the model's window. The
// presenter is made before the panel controller that parses the PPD (the controller takes it at
// creation), so the PPD is given afterwards with SetPPD; without one Run answers false (the
// prompt could not be shown, and the controller prints nothing).
class QtPopupJobNotePresenter : public quill::PopupJobNotePresenter {
 public:
  explicit QtPopupJobNotePresenter(QWidget* parent = nullptr) : parent_(parent) {}
  QtPopupJobNotePresenter(KRTPPD& ppd, QWidget* parent) : ppd_(&ppd), parent_(parent) {}

  // The PPD whose notes are asked for (not owned; null for none); must outlive its use.
  void SetPPD(KRTPPD* ppd) { ppd_ = ppd; }
  void SetParent(QWidget* parent) { parent_ = parent; }
  bool Run(quill::PopupJobNoteWindow& window) override;

 private:
  KRTPPD* ppd_ = nullptr;
  QPointer<QWidget> parent_;  // the dialog may go before the presenter
};
