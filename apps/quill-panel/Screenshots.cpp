#include "Screenshots.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QPixmap>
#include <QTableWidget>
#include <QTimer>
#include <QWidget>

#include "AddressArea.h"
#include "BrowseWindow.h"
#include "CustomizeDialog.h"
#include "JobNotePrompt.h"
#include "PanelWindow.h"
#include "panel/QuillFeaturesPDE.h"

namespace {

// Lets the event loop lay out and paint for `ms` milliseconds.
void settle(int ms)
{
  const QDeadlineTimer deadline(ms);
  while (!deadline.hasExpired()) {
    QApplication::processEvents(QEventLoop::AllEvents, 20);
  }
}

class Saver {
 public:
  Saver(const QString& dir, QStringList* saved, QString* error)
      : dir_(dir), saved_(saved), error_(error)
  {
  }

  void Save(QWidget& widget, const QString& name)
  {
    const QString path = dir_.filePath(name);
    if (!widget.grab().save(path, "PNG")) {
      Fail(QString("%1 could not be written").arg(path));
      return;
    }
    if (saved_ != nullptr) saved_->append(path);
  }
  void Fail(const QString& reason)
  {
    ok_ = false;
    if (error_ == nullptr) return;
    if (!error_->isEmpty()) error_->append('\n');
    error_->append(reason);
  }
  [[nodiscard]] bool Ok() const { return ok_; }

 private:
  QDir dir_;
  QStringList* saved_;
  QString* error_;
  bool ok_ = true;
};

}  // namespace

bool SaveScreenshots(PanelWindow& window, const QString& dir, QStringList* saved, QString* error)
{
  Saver saver(dir, saved, error);
  if (!QDir().mkpath(dir)) {
    saver.Fail(QString("the folder %1 cannot be made").arg(dir));
    return false;
  }

  window.show();
  window.raise();
  settle(500);
  saver.Save(window, "main-window.png");

  if (CustomizeDialog* customize = window.Customize()) {
    customize->Open();
    customize->show();
    settle(400);
    saver.Save(*customize, "customise-dialog.png");
    customize->reject();
  } else {
    saver.Fail("the window has no customisation dialog");
  }

  if (AddressArea* area = window.findChild<AddressArea*>()) {
    saver.Save(*area, "address-area.png");
    if (area->OpenBrowseWindow()) {
      BrowseWindow* browse = area->Browser();
      // Servers on the network answer within a few seconds; the window shows what came.
      const QDeadlineTimer deadline(6000);
      settle(1500);
      while (!deadline.hasExpired() && browse->Table()->rowCount() == 0) settle(200);
      // The first server chosen, as a user would: its address goes into the window's field.
      if (browse->Table()->rowCount() > 0) browse->Table()->selectRow(0);
      settle(300);
      saver.Save(*browse, "browse-window.png");
      browse->reject();
    } else {
      saver.Fail("the address area does not offer browsing");
    }
  } else {
    saver.Fail("the window has no printer-address area");
  }

  // The account prompt as Print brings it up: the controller asks through the window's prompt
  // presenter; the picture is taken once it is up, and Cancel ends it so that nothing is printed.
  bool shown = false;
  QTimer poll;
  poll.setInterval(20);
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* prompt = qobject_cast<JobNotePrompt*>(QApplication::activeModalWidget());
    if (prompt == nullptr || !prompt->isVisible() || shown) return;
    shown = true;
    poll.stop();
    settle(400);
    saver.Save(*prompt, "account-prompt.png");
    prompt->reject();
  });
  poll.start();
  window.Panel().handlePopupJobnoteUI();
  poll.stop();
  if (!shown) saver.Fail("the queue asks for no job notes before printing");
  settle(100);
  return saver.Ok();
}
