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
#include <QVBoxLayout>
#include <string>

#include "AddressArea.h"
#include "CustomizeDialog.h"
#include "JobNotePrompt.h"
#include "PanelSession.h"
#include "QuickAccessPane.h"
#include "connection/AvahiServiceBrowser.h"
#include "connection/BonjourModuleController.h"

PanelWindow::PanelWindow(std::unique_ptr<PanelSession> session, QStringList files, QWidget* parent)
    : QDialog(parent),
      session_(std::move(session)),
      files_(std::move(files)),
      printerName_(new QLineEdit(this)),
      model_(new QLineEdit(this)),
      pane_(new QuickAccessPane(session_->Pane(), session_->PPD())),
      scroll_(new QScrollArea(this)),
      addressSlot_(new QWidget(this)),
      customizeButton_(new QPushButton(tr("C&ustomise\u2026"), this)),
      properties_(new QPushButton(tr("&Properties\u2026"), this)),
      defaults_(new QPushButton(tr("&Defaults"), this)),
      cancel_(new QPushButton(tr("Cancel"), this)),
      print_(new QPushButton(tr("P&rint"), this)),
      status_(new QLabel(this)),
      customize_(new CustomizeDialog(session_->Table(), session_->Outline(), this))
{
  setWindowTitle(tr("Print on %1").arg(QString::fromStdString(session_->QueueName())));

  printerName_->setReadOnly(true);
  printerName_->setText(QString::fromStdString(session_->QueueName()));
  printerName_->setAccessibleName(tr("Printer"));
  model_->setReadOnly(true);
  model_->setText(QString::fromStdString(session_->ModelName()));
  model_->setAccessibleName(tr("Model"));
  auto* printerLabel = new QLabel(tr("Pr&inter:"), this);
  printerLabel->setBuddy(printerName_);
  auto* modelLabel = new QLabel(tr("&Model:"), this);
  modelLabel->setBuddy(model_);
  auto* head = new QFormLayout;
  head->addRow(printerLabel, printerName_);
  head->addRow(modelLabel, model_);

  scroll_->setWidget(pane_);
  scroll_->setWidgetResizable(true);
  scroll_->setMinimumHeight(160);
  scroll_->setAccessibleName(tr("Quick access"));
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
  address_ = new AddressArea(session_->Address(), addressSlot_);
  quill::AvahiServiceBrowser* browser = &session_->Browser();
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
  connect(properties_, &QPushButton::clicked, this, &PanelWindow::ShowProperties);
  connect(defaults_, &QPushButton::clicked, this, [this] {
    session_->Defaults();
    pane_->Rebuild();
  });
  connect(cancel_, &QPushButton::clicked, this, &PanelWindow::reject);
  connect(print_, &QPushButton::clicked, this, [this] {
    if (PrintNow()) accept();
  });
  FollowPalette();
}

PanelWindow::~PanelWindow() = default;

QString PanelWindow::Status() const { return status_->text(); }

void PanelWindow::SetStatus(const QString& text, bool error)
{
  status_->setText(text);
  status_->setForegroundRole(error ? QPalette::Highlight : QPalette::WindowText);
}

void PanelWindow::OpenCustomize()
{
  customize_->Open();
  customize_->open();
}

void PanelWindow::RedrawPane(bool kept)
{
  // OK has redrawn the controller's entries; the widgets follow.
  pane_->Rebuild();
  if (!kept) {
    SetStatus(tr("The quick-access list could not be stored for this queue; it applies to this "
                 "dialog only."),
              true);
  }
}

void PanelWindow::ShowProperties()
{
  const UI_Panel::LaunchOutcome outcome = session_->LaunchProperties();
  pane_->Rebuild();
  if (!outcome.ran) SetStatus(QString::fromStdString(outcome.message), true);
  else SetStatus(QString::fromStdString(outcome.message), false);
}

bool PanelWindow::PrintNow()
{
  jobs_.clear();
  // The notes the queue needs come first: without them nothing is printed.
  std::vector<PPDXJobNote*> notes = session_->NotesToAsk();
  if (!notes.empty()) {
    quill::PopupJobNoteWindow prompt(session_->PPD(), notes, "");
    QtPopupJobNotePresenter presenter(session_->PPD(), this);
    if (!presenter.Run(prompt) || prompt.GetState() != quill::PopupJobNoteWindow::State::kConfirmed) {
      SetStatus(tr("Printing cancelled: nothing was printed."), false);
      return false;
    }
    pane_->Rebuild();  // the notes' new texts
  }
  QStringList files = files_;
  if (files.isEmpty()) {
    files = QFileDialog::getOpenFileNames(this, tr("Print Files"), QString(),
                                          tr("PostScript and PDF (*.ps *.pdf);;All files (*)"));
    if (files.isEmpty()) return false;
  }
  std::vector<std::string> paths;
  for (const QString& file : files) paths.push_back(file.toStdString());
  std::string error;
  const bool ok = session_->Print(
      paths, [this](const std::string&, int job) { jobs_.push_back(job); }, &error);
  if (!ok) {
    SetStatus(QString::fromStdString(error), true);
    return false;
  }
  QStringList ids;
  for (int job : jobs_) ids << QString::number(job);
  SetStatus(tr("Sent job %1.").arg(ids.join(", ")), false);
  emit printed();
  return true;
}

void PanelWindow::changeEvent(QEvent* event)
{
  if (event->type() == QEvent::PaletteChange) FollowPalette();
  QDialog::changeEvent(event);
}

void PanelWindow::FollowPalette()
{
  theme_ = ThemeOfPalette(palette());
  session_->Address().UpdateUITheme(theme_ == PanelThemeKind::kDark ? "dark" : "light");
  if (address_ != nullptr) address_->Refresh();
}
