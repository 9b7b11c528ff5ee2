#include "AddressArea.h"

#include <QCheckBox>
#include <QEvent>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>

#include "BrowseWindow.h"
#include "PanelTheme.h"
#include "connection/BonjourModuleController.h"

using quill::BonjourModuleController;

namespace {

void set_text_colour(QWidget* widget, const std::string& colour)
{
  QPalette palette = widget->palette();
  const QColor value(QString::fromStdString(colour));
  palette.setColor(QPalette::WindowText, value);
  palette.setColor(QPalette::Text, value);
  widget->setPalette(palette);
}

}  // namespace

AddressArea::AddressArea(BonjourModuleController& controller, QWidget* parent)
    : QWidget(parent),
      controller_(controller),
      addressCaption_(new QLabel(tr("Printer &address:"), this)),
      address_(new QLineEdit(this)),
      serverCaption_(new QLabel(tr("Server &name:"), this)),
      serverName_(new QLineEdit(this)),
      twoWay_(new QCheckBox(tr("T&wo-way communication"), this)),
      browse_(new QPushButton(tr("&Browse\u2026"), this)),
      window_(new BrowseWindow(controller, this))
{
  setObjectName("addressArea");
  addressCaption_->setBuddy(address_);
  serverCaption_->setBuddy(serverName_);
  address_->setAccessibleName(tr("Printer address"));
  address_->setPlaceholderText(tr("IP address or DNS name"));
  serverName_->setAccessibleName(tr("Server name"));
  serverName_->setReadOnly(true);
  serverName_->setFocusPolicy(Qt::ClickFocus);
  twoWay_->setAccessibleName(tr("Two-way communication"));
  browse_->setAccessibleName(tr("Browse for print servers"));

  auto* layout = new QGridLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(addressCaption_, 0, 0);
  layout->addWidget(address_, 0, 1);
  layout->addWidget(browse_, 0, 2);
  layout->addWidget(serverCaption_, 1, 0);
  layout->addWidget(serverName_, 1, 1, 1, 2);
  layout->addWidget(twoWay_, 2, 1, 1, 2);
  layout->setColumnStretch(1, 1);
  setTabOrder(address_, browse_);
  setTabOrder(browse_, twoWay_);

  connect(address_, &QLineEdit::textEdited, this, &AddressArea::AddressEdited);
  connect(address_, &QLineEdit::editingFinished, this, &AddressArea::AddressFinished);
  connect(twoWay_, &QCheckBox::clicked, this, &AddressArea::TwoWayClicked);
  connect(browse_, &QPushButton::clicked, this, [this] { (void)OpenBrowseWindow(); });
  connect(window_, &QDialog::finished, this, [this](int result) {
    Refresh();
    if (result == QDialog::Accepted) emit addressChanged();
    browse_->setFocus();
  });
  FollowPalette();
}

void AddressArea::SetPump(std::function<void()> pump) { window_->SetPump(std::move(pump)); }

void AddressArea::Refresh()
{
  const BonjourModuleController::AreaState& area = controller_.Area();
  const QString address = QString::fromStdString(area.addressText);
  if (address_->text() != address) address_->setText(address);
  address_->setReadOnly(!area.addressEditable);
  serverName_->setText(QString::fromStdString(area.serverName));
  twoWay_->setChecked(area.bidiChecked);
  twoWay_->setEnabled(area.bidiEnabled);
  browse_->setVisible(!area.configureHidden);
  browse_->setEnabled(area.configureEnabled);
  const BonjourModuleController::Colours colours = controller_.CurrentColours();
  set_text_colour(address_, colours.text);
  set_text_colour(serverName_, colours.text);
  set_text_colour(addressCaption_, colours.caption);
  set_text_colour(serverCaption_, colours.caption);
}

bool AddressArea::OpenBrowseWindow()
{
  // What was typed last counts, also when the field still has the focus.
  controller_.setprinterIPField(address_->text().toStdString());
  if (!controller_.configureButtonClicked()) return false;
  window_->Start();
  return true;
}

void AddressArea::AddressEdited(const QString& text)
{
  controller_.setprinterIPField(text.toStdString());
}

void AddressArea::AddressFinished()
{
  // The alert takes the focus away, which finishes the editing once more.
  if (validating_ || address_->isReadOnly()) return;
  validating_ = true;
  controller_.setprinterIPField(address_->text().toStdString());
  const bool accepted = controller_.validatePrinterAddress();
  validating_ = false;
  Refresh();
  if (!accepted) address_->setFocus();
}

void AddressArea::TwoWayClicked(bool on)
{
  controller_.setprinterIPField(address_->text().toStdString());
  (void)controller_.BIDICheckBoxClicked(on);
  Refresh();
  emit addressChanged();
}

void AddressArea::FollowPalette()
{
  controller_.UpdateUITheme(ThemeOfPalette(palette()) == PanelThemeKind::kDark ? "dark" : "light");
  Refresh();
}

void AddressArea::changeEvent(QEvent* event)
{
  QWidget::changeEvent(event);
  if (event->type() == QEvent::PaletteChange) FollowPalette();
}
