#include "PanelWindow.h"

#include <QApplication>
#include <QEvent>
#include <QFileDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>
#include <optional>
#include <string>

#include "AddressArea.h"
#include "CustomizeDialog.h"
#include "QtOneShotTimer.h"
#include "QuickAccessPane.h"
#include "connection/AvahiServiceBrowser.h"
#include "connection/BonjourModuleController.h"
#include "panel/QuillFeaturesPDE.h"

namespace {

quill::BonjourModuleController::Options AddressOptions()
{
  // A Linux desktop has no discovery of print servers of its own: the area offers browsing.
  quill::BonjourModuleController::Options options;
  options.offerBrowsing = true;
  return options;
}

}  // namespace

PanelWindow::PanelWindow(std::unique_ptr<QuillFeaturesPDE> panel, QStringList files,
                         QWidget* parent)
    : QDialog(parent),
      panel_(std::move(panel)),
      browser_(std::make_unique<quill::AvahiServiceBrowser>()),
      timer_(std::make_unique<QtOneShotTimer>()),
      addressController_(std::make_unique<quill::BonjourModuleController>(
          panel_->Addresses(), browser_.get(), timer_.get(), &panel_->Alerts(), AddressOptions())),
      files_(std::move(files)),
      printerName_(new QLineEdit(this)),
      model_(new QLineEdit(this)),
      pane_(new QuickAccessPane(*panel_->Pane(), *panel_->getPPDPtr())),
      scroll_(new QScrollArea(this)),
      addressSlot_(new QWidget(this)),
      customizeButton_(new QPushButton(tr("C&ustomise\u2026"), this)),
      properties_(new QPushButton(tr("&Properties\u2026"), this)),
      defaults_(new QPushButton(tr("&Defaults"), this)),
      cancel_(new QPushButton(tr("Cancel"), this)),
      print_(new QPushButton(tr("P&rint"), this)),
      status_(new QLabel(this)),
      customize_(new CustomizeDialog(*panel_->ChosenTable(), *panel_->CustomizeDialog(), this))
{
  // The dialog's order: the address controller joins before the values are restored (restoring
  // reads the stored address into it), then the panel is shown.
  panel_->SetAddressController(addressController_.get());
  panel_->restoreValuesAndReturnError();
  panel_->willShow();

  setWindowTitle(tr("Print on %1").arg(QString::fromStdString(panel_->QueueName())));

  printerName_->setReadOnly(true);
  printerName_->setText(QString::fromStdString(panel_->QueueName()));
  printerName_->setAccessibleName(tr("Printer"));
  model_->setReadOnly(true);
  model_->setText(QString::fromStdString(panel_->PrinterNameText()));
  model_->setAccessibleName(tr("Model"));
  auto* printerLabel = new QLabel(tr("Pr&inter:"), this);
  printerLabel->setBuddy(printerName_);
  auto* modelLabel = new QLabel(tr("&Model:"), this);
  modelLabel->setBuddy(model_);
  auto* head = new QFormLayout;
  head->addRow(printerLabel, printerName_);
  head->addRow(modelLabel, model_);

  pane_->Rebuild();
  scroll_->setWidget(pane_);
  scroll_->setWidgetResizable(true);
  scroll_->setMinimumHeight(160);
  scroll_->setAccessibleName(tr("Quick access"));
  FitPaneWidth();
  // The rows a rebuild adds count for the pane's width only once they are shown: the width is
  // fitted again whenever the pane's layout changes.
  pane_->installEventFilter(this);
  auto* quick = new QGroupBox(tr("Quick access"), this);
  auto* quickLayout = new QVBoxLayout(quick);
  quickLayout->addWidget(scroll_);
  auto* quickButtons = new QHBoxLayout;
  quickButtons->addStretch();
  quickButtons->addWidget(customizeButton_);
  quickLayout->addLayout(quickButtons);

  // The printer-address area; the browse window steps the Avahi browser while it is open.
  addressSlot_->setObjectName("addressSlot");
  auto* addressLayout = new QVBoxLayout(addressSlot_);
  addressLayout->setContentsMargins(0, 0, 0, 0);
  address_ = new AddressArea(*addressController_, addressSlot_);
  quill::AvahiServiceBrowser* browser = browser_.get();
  address_->SetPump([browser] { browser->Poll(); });
  addressLayout->addWidget(address_);

  status_->setWordWrap(true);
  status_->setAccessibleName(tr("Status"));
  status_->setTextInteractionFlags(Qt::TextSelectableByMouse);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(properties_);
  buttons->addWidget(defaults_);
  buttons->addStretch();
  buttons->addWidget(cancel_);
  buttons->addWidget(print_);
  print_->setDefault(true);
  print_->setAutoDefault(true);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(head);
  layout->addWidget(quick, 1);
  layout->addWidget(addressSlot_);
  layout->addWidget(status_);
  layout->addLayout(buttons);

  setTabOrder(printerName_, model_);
  setTabOrder(model_, scroll_);
  setTabOrder(scroll_, customizeButton_);
  setTabOrder(properties_, defaults_);
  setTabOrder(defaults_, cancel_);
  setTabOrder(cancel_, print_);

  connect(customizeButton_, &QPushButton::clicked, this, &PanelWindow::OpenCustomize);
  connect(customize_, &CustomizeDialog::stored, this, &PanelWindow::RedrawPane);
  connect(customize_, &QDialog::finished, this,
          [this] { panel_->SetCustomizeWindowRunning(false); });
  connect(properties_, &QPushButton::clicked, this, &PanelWindow::ShowProperties);
  connect(defaults_, &QPushButton::clicked, this, [this] {
    panel_->DefaultsButton();
    Redraw();
  });
  connect(cancel_, &QPushButton::clicked, this, &PanelWindow::reject);
  connect(print_, &QPushButton::clicked, this, [this] {
    if (PrintNow()) accept();
  });
  UpdateButtons();
  FollowPalette();
}

PanelWindow::~PanelWindow()
{
  // The widgets forward to the controllers until they are gone: they go first. Then the address
  // controller, which reads the panel's store, and last the panel itself.
  delete customize_;
  delete scroll_;
  delete addressSlot_;
  panel_->SetAddressController(nullptr);
  addressController_.reset();
  timer_.reset();
  browser_.reset();
  panel_.reset();
}

QString PanelWindow::Status() const { return status_->text(); }

void PanelWindow::SetStatus(const QString& text, bool error)
{
  status_->setText(text);
  status_->setForegroundRole(error ? QPalette::Highlight : QPalette::WindowText);
}

void PanelWindow::UpdateButtons()
{
  customizeButton_->setHidden(panel_->CustomizeButtonHidden());
  customizeButton_->setEnabled(panel_->CustomizeButtonEnabled());
  properties_->setEnabled(panel_->FullPropertiesButtonEnabled());
  defaults_->setEnabled(panel_->DefaultsButtonEnabled());
  model_->setText(QString::fromStdString(panel_->PrinterNameText()));
}

void PanelWindow::FitPaneWidth()
{
  // The scroll area is never narrower than the pane's rows (with room for the vertical scroll
  // bar), so the pane only ever scrolls up and down.
  const int width = pane_->sizeHint().width() + scroll_->verticalScrollBar()->sizeHint().width() +
                    2 * scroll_->frameWidth();
  scroll_->setMinimumWidth(width);
  scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

void PanelWindow::Redraw()
{
  pane_->Rebuild();
  FitPaneWidth();
  UpdateButtons();
  if (address_ != nullptr) address_->Refresh();
}

void PanelWindow::OpenCustomize()
{
  customize_->Open();
  panel_->SetCustomizeWindowRunning(true);
  customize_->open();
}

void PanelWindow::RedrawPane(bool kept)
{
  // OK has redrawn the controller's entries; the widgets follow.
  pane_->Rebuild();
  FitPaneWidth();
  if (!kept) {
    SetStatus(tr("The quick-access list could not be stored for this queue; it applies to this "
                 "dialog only."),
              true);
  }
}

void PanelWindow::ShowProperties()
{
  std::string message;
  const bool handedOver = panel_->launchFullProperties(&message);
  Redraw();
  SetStatus(QString::fromStdString(message), !handedOver);
}

bool PanelWindow::PrintNow()
{
  jobs_.clear();
  QStringList files = files_;
  if (files.isEmpty()) {
    files = QFileDialog::getOpenFileNames(this, tr("Print Files"), QString(),
                                          tr("PostScript and PDF (*.ps *.pdf);;All files (*)"));
    if (files.isEmpty()) return false;
  }
  std::vector<std::string> paths;
  for (const QString& file : files) paths.push_back(file.toStdString());
  panel_->SetDocuments(std::move(paths));
  // The controller asks for the job notes the queue needs first: without them nothing is printed.
  const bool ok = panel_->shouldPrint();
  jobs_ = panel_->SubmittedJobs();
  panel_->updateUI();  // the notes' new texts
  Redraw();
  if (!ok) {
    const std::string& error = panel_->LastPrintError();
    if (error.empty()) SetStatus(tr("Printing cancelled: nothing was printed."), false);
    else SetStatus(QString::fromStdString(error), true);
    return false;
  }
  printedJobs_ = true;
  QStringList ids;
  for (int job : jobs_) ids << QString::number(job);
  SetStatus(tr("Sent job %1.").arg(ids.join(", ")), false);
  emit printed();
  return true;
}

void PanelWindow::done(int result)
{
  Close(result == QDialog::Accepted && printedJobs_);
  QDialog::done(result);
}

void PanelWindow::Close(bool printed)
{
  if (closed_) return;
  closed_ = true;
  // The customisation dialog is cancelled with its window, before the panel hides.
  if (customize_->isVisible()) customize_->reject();
  if (printed) panel_->saveValuesAndReturnError();
  panel_->printWindowWillClose();
  panel_->shouldHide();
}

void PanelWindow::changeEvent(QEvent* event)
{
  if (event->type() == QEvent::PaletteChange) FollowPalette();
  QDialog::changeEvent(event);
}

bool PanelWindow::eventFilter(QObject* watched, QEvent* event)
{
  if (watched == pane_ && event->type() == QEvent::LayoutRequest) FitPaneWidth();
  return QDialog::eventFilter(watched, event);
}

void PanelWindow::FollowPalette()
{
  theme_ = ThemeOfPalette(palette());
  // The controller takes the desktop's style and gives the address area its theme.
  const std::optional<std::string> style =
      theme_ == PanelThemeKind::kDark ? std::optional<std::string>("Dark") : std::nullopt;
  panel_->callbackWithNotification(style, false);
  if (address_ != nullptr) address_->Refresh();
}
