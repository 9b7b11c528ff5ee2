// quill-panel [-d QUEUE] [FILE...]: the print dialog of a Quill queue on the Linux desktop. Without
// -d the user's default queue is taken. The FILEs are printed by Print; without any, Print asks
// for files. With --screenshot DIR the dialog's windows are saved as PNGs into DIR and the
// program ends (scripts/screenshots.sh).
#include <cups/cups.h>
#include <unistd.h>

#include <QApplication>
#include <QCommandLineParser>
#include <QMessageBox>
#include <cstdio>
#include <memory>
#include <string>

#include "JobNotePrompt.h"
#include "PanelWindow.h"
#include "QtAlertPresenter.h"
#include "Screenshots.h"
#include "panel/QuillFeaturesPDE.h"
#include "platform/PrintDialogCallback.h"
#include "platform/Printer.h"

namespace {

// Removes a file when it goes out of scope.
class RemovedAtEnd {
 public:
  explicit RemovedAtEnd(std::string path) : path_(std::move(path)) {}
  ~RemovedAtEnd() { ::unlink(path_.c_str()); }
  RemovedAtEnd(const RemovedAtEnd&) = delete;
  RemovedAtEnd& operator=(const RemovedAtEnd&) = delete;

 private:
  std::string path_;
};

// Whether the spooler answers at all (to tell "no such queue" from "no spooler").
bool SpoolerReachable()
{
  http_t* http = httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1,
                              5000, nullptr);
  if (http == nullptr) return false;
  httpClose(http);
  return true;
}

}  // namespace

int main(int argc, char** argv)
{
  QApplication app(argc, argv);
  QApplication::setApplicationName("quill-panel");
  QCommandLineParser parser;
  parser.setApplicationDescription("The print dialog of a Quill queue.");
  parser.addHelpOption();
  const QCommandLineOption queueOption("d", "The queue (default: the default queue).", "QUEUE");
  parser.addOption(queueOption);
  const QCommandLineOption screenshotOption(
      "screenshot", "Save pictures of the dialog's windows into DIR and quit.", "DIR");
  parser.addOption(screenshotOption);
  parser.addPositionalArgument("FILE", "PostScript or PDF files to print.", "[FILE...]");
  parser.process(app);

  std::string queue = parser.value(queueOption).toStdString();
  if (queue.empty()) {
    if (cups_dest_t* dest = cupsGetNamedDest(CUPS_HTTP_DEFAULT, nullptr, nullptr)) {
      queue = dest->name;
      cupsFreeDests(1, dest);
    }
  }
  if (queue.empty()) {
    std::fprintf(stderr, "quill-panel: no queue given and no default queue; use -d QUEUE\n");
    return 2;
  }
  const bool screenshots = parser.isSet(screenshotOption);
  const auto fail = [screenshots](const std::string& why) {
    std::fprintf(stderr, "quill-panel: %s\n", why.c_str());
    if (!screenshots) QMessageBox::critical(nullptr, "quill-panel", QString::fromStdString(why));
    return 2;
  };

  // The queue's PPD, fetched from the spooler into a private copy that goes with the program.
  const quill::Printer printer(queue);
  std::string why;
  const std::string ppdCopy = printer.CopyPPD(&why);
  if (ppdCopy.empty()) {
    if (printer.Exists()) return fail("cannot fetch the PPD of " + queue + ": " + why);
    if (!SpoolerReachable()) {
      const std::string server = cupsServer();
      return fail("cannot reach the print spooler at " + server +
                  (server.starts_with("/") ? "" : ":" + std::to_string(ippPort())));
    }
    return fail("no queue named " + queue + " (" + why + ")");
  }
  const RemovedAtEnd removeCopy(ppdCopy);

  // The dialog's callback: the queue as the spooler describes it, and the settings last saved
  // for it (an unreadable file is left alone; the PPD's defaults stand).
  quill::PrintDialogCallback callback(queue, ppdCopy, /*online=*/true);
  if (cups_dest_t* dest = cupsGetNamedDest(CUPS_HTTP_DEFAULT, queue.c_str(), nullptr)) {
    if (const char* model =
            cupsGetOption("printer-make-and-model", dest->num_options, dest->options)) {
      callback.SetMakeAndModel(model);
    }
    if (const char* uri = cupsGetOption("device-uri", dest->num_options, dest->options)) {
      callback.SetDeviceURI(uri);
    }
    cupsFreeDests(1, dest);
  }
  (void)callback.Settings().Load(queue);

  // The panel controller, with the desktop's alerts and account prompt. Both presenters and the
  // callback are declared before the window, so they outlive the controller it owns.
  QtAlertPresenter alerts;
  QtPopupJobNotePresenter prompts;
  QuillFeaturesPDEOptions options;
  options.alerts = &alerts;
  options.popupPresenter = &prompts;
  std::unique_ptr<QuillFeaturesPDE> panel =
      QuillFeaturesPDE::initWithCallback(&callback, options, &why);
  if (!panel) return fail("no print panel for " + queue + ": " + why);
  prompts.SetPPD(panel->getPPDPtr());

  PanelWindow window(std::move(panel), parser.positionalArguments());
  alerts.SetParent(&window);
  prompts.SetParent(&window);
  if (screenshots) {
    QStringList saved;
    QString problems;
    const bool ok = SaveScreenshots(window, parser.value(screenshotOption), &saved, &problems);
    for (const QString& path : saved) std::printf("saved %s\n", qPrintable(path));
    if (!ok) std::fprintf(stderr, "quill-panel: %s\n", qPrintable(problems));
    return ok ? 0 : 1;
  }
  window.show();
  return app.exec() == 0 && window.result() == QDialog::Accepted ? 0 : 1;
}
