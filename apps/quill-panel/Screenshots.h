// Screenshots: saves pictures of the dialog's windows for the documentation, drawn by Qt itself
// (QWidget::grab), so they need no screen-capture tool and show exactly what the widgets draw.
// quill-panel runs it for its --screenshot DIR option instead of waiting for the user.
#pragma once

#include <QString>
#include <QStringList>

class PanelWindow;

// Shows `window` and saves into folder `dir` (created when missing):
//   main-window.png       the dialog as it opens
//   customise-dialog.png  the quick-access customisation dialog
//   address-area.png      the printer-address area
//   browse-window.png     the browse window after a few seconds of browsing
//   account-prompt.png    the job-note prompt that Print shows when the queue needs notes
// Every window it opened is closed again; nothing is printed or stored. The names of the files
// saved go to *saved. False, with every reason in *error (one line each), when a picture could not
// be taken (a part the window lacks, a folder or file that cannot be written); the others are
// still saved.
bool SaveScreenshots(PanelWindow& window, const QString& dir, QStringList* saved, QString* error);
