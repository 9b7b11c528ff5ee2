// quill-panel [-d QUEUE] [FILE...]: the print dialog of a Quill queue on the Linux desktop. Without
// -d the user's default queue is taken. The FILEs are printed by Print; without any, Print asks
// for files. With --screenshot DIR the dialog's windows are saved as PNGs into DIR and the
// program ends (scripts/screenshots.sh).
#include <cups/cups.h>

#include <QApplication>
#include <QCommandLineParser>
#include <QMessageBox>
#include <cstdio>
#include <memory>
#include <string>

#include "PanelSession.h"
#include "PanelWindow.h"
#include "Screenshots.h"

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
  std::string error;
  std::unique_ptr<PanelSession> session = PanelSession::OpenQueue(queue, &error);
  if (!session) {
    std::fprintf(stderr, "quill-panel: %s\n", error.c_str());
    QMessageBox::critical(nullptr, "quill-panel", QString::fromStdString(error));
    return 2;
  }
  PanelWindow window(std::move(session), parser.positionalArguments());
  if (parser.isSet(screenshotOption)) {
    QStringList saved;
    QString why;
    const bool ok = SaveScreenshots(window, parser.value(screenshotOption), &saved, &why);
    for (const QString& path : saved) std::printf("saved %s\n", qPrintable(path));
    if (!ok) std::fprintf(stderr, "quill-panel: %s\n", qPrintable(why));
    return ok ? 0 : 1;
  }
  window.show();
  return app.exec() == 0 && window.result() == QDialog::Accepted ? 0 : 1;
}
