#include "QuickAccessPane.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QLabel>
#include <QPixmap>
#include <QSignalBlocker>
#include <QStandardItemModel>
#include <functional>

#include "NoteField.h"
#include "PPDX/KRTPPD.h"
#include "PPDX/PPDObjects/Controls/PPDXControl.h"
#include "PPDX/PPDObjects/Controls/PPDXPopupControl.h"
#include "panel/CustomizePaneController.h"

namespace {

constexpr int kIconSize = 30;

// The items of one pop-up. The tool tip of a greyed item (what forbids it) is found only when it
// is asked for: the search tries the other options' choices, far too slow to run for every greyed
// item after every change.
class PopupItemModel : public QStandardItemModel {
 public:
  PopupItemModel(std::function<QString(int row)> forbidding, QObject* parent)
      : QStandardItemModel(parent), forbidding_(std::move(forbidding)) {}

  QVariant data(const QModelIndex& index, int role) const override
  {
    if (role == Qt::ToolTipRole && index.isValid()) {
      if (flags(index) & Qt::ItemIsEnabled) return QVariant();
      return forbidding_(index.row());
    }
    return QStandardItemModel::data(index, role);
  }

 private:
  std::function<QString(int row)> forbidding_;
};

// A text for a label or button, with "&" shown as itself rather than taken as a mnemonic.
QString Plain(const std::string& text) { return QString::fromStdString(text).replace("&", "&&"); }

// The whole display name of an entry: the tool tip when the caption was cut, else the caption
// without its colon.
QString FullName(const PaneEntry& entry)
{
  std::string name = entry.toolTip.empty() ? entry.caption : entry.toolTip;
  if (!name.empty() && name.back() == ':') name.pop_back();
  return QString::fromStdString(name);
}

// The display text of `choice` of the pop-up `control`, or the choice itself.
std::string ChoiceText(PPDXControl* control, const std::string& choice)
{
  if (control == nullptr || control->Type() != kPopupControl) return choice;
  auto* popup = static_cast<PPDXPopupControl*>(control);
  for (_PopupItem* item = popup->FirstItem(); item != nullptr; item = popup->NextItem()) {
    if (item->Keyword() != nullptr && choice == item->Keyword()) {
      return item->LocalizedName().value_or(choice);
    }
  }
  return choice;
}

}  // namespace

QuickAccessPane::QuickAccessPane(CustomizePaneController& pane, KRTPPD& ppd, QWidget* parent)
    : QWidget(parent), pane_(pane), ppd_(ppd), grid_(new QGridLayout(this))
{
  grid_->setColumnStretch(2, 1);
  grid_->setColumnStretch(5, 1);
  Rebuild();
}

void QuickAccessPane::Rebuild()
{
  for (const Row& row : rows_) {
    delete row.icon;
    delete row.caption;
    delete row.control;
  }
  rows_.clear();
  editingTag_ = -1;

  QWidget* previous = nullptr;
  int index = 0;
  for (const PaneEntry& entry : pane_.Entries()) {
    Row row;
    row.tag = entry.tag;
    row.keyword = entry.keyword;
    const QString name = FullName(entry);
    row.icon = new QLabel(this);
    row.icon->setFixedSize(kIconSize, kIconSize);
    row.icon->setAccessibleName(tr("Icon of %1").arg(name));
    const int tag = entry.tag;
    switch (entry.kind) {
      case PaneEntryKind::kPopup: {
        auto* combo = new QComboBox(this);
        combo->setModel(new PopupItemModel(
            [this, tag](int item) { return ForbiddenToolTip(pane_.ForbiddingChoice(tag, item)); },
            combo));
        for (const PaneItem& item : entry.items) combo->addItem(QString::fromStdString(item.text));
        connect(combo, &QComboBox::activated, this,
                [this, tag](int chosen) { OnPopupActivated(tag, chosen); });
        row.control = combo;
        break;
      }
      case PaneEntryKind::kCheckBox: {
        auto* box = new QCheckBox(Plain(name.toStdString()), this);
        // What forbids a greyed box is looked for when its tool tip is asked for.
        box->installEventFilter(this);
        connect(box, &QCheckBox::toggled, this, [this, tag](bool on) { OnCheckBoxToggled(tag, on); });
        row.control = box;
        break;
      }
      case PaneEntryKind::kTextField:
      case PaneEntryKind::kSecureTextField: {
        auto* field = new NoteField(name, entry.kind == PaneEntryKind::kSecureTextField,
                                    [this, tag](std::string_view typed) {
                                      return CheckNoteText(tag, typed);
                                    },
                                    this);
        field->setText(QString::fromStdString(entry.text));
        row.control = field;
        break;
      }
    }
    row.control->setAccessibleName(name);
    row.control->setObjectName(QString::fromStdString(entry.keyword));
    if (entry.kind != PaneEntryKind::kCheckBox) {
      row.caption = new QLabel(Plain(entry.caption), this);
      row.caption->setBuddy(row.control);
      if (!entry.toolTip.empty()) row.caption->setToolTip(QString::fromStdString(entry.toolTip));
    }
    const int column = (index % 2) * 3;
    const int line = index / 2;
    grid_->addWidget(row.icon, line, column);
    if (row.caption != nullptr) grid_->addWidget(row.caption, line, column + 1);
    grid_->addWidget(row.control, line, column + 2);
    // The tab order follows the reading order: left to right, then down.
    if (previous != nullptr) setTabOrder(previous, row.control);
    previous = row.control;
    rows_.push_back(row);
    ++index;
  }
  Refresh();
}

void QuickAccessPane::Refresh()
{
  for (Row& row : rows_) RefreshRow(row);
}

void QuickAccessPane::RefreshRow(Row& row)
{
  const PaneEntry* entry = pane_.EntryForTag(row.tag);
  if (entry == nullptr) return;
  row.control->setEnabled(entry->enabled);
  row.icon->setEnabled(entry->iconEnabled);
  if (entry->iconPath != row.iconPath) {
    row.iconPath = entry->iconPath;
    const QPixmap pixmap(QString::fromStdString(row.iconPath));
    if (pixmap.isNull()) {
      row.icon->clear();
    } else {
      row.icon->setPixmap(pixmap.scaled(kIconSize, kIconSize, Qt::KeepAspectRatio,
                                        Qt::SmoothTransformation));
    }
  }
  if (auto* combo = qobject_cast<QComboBox*>(row.control)) {
    const QSignalBlocker block(combo);
    auto* model = qobject_cast<QStandardItemModel*>(combo->model());
    for (int i = 0; i < static_cast<int>(entry->items.size()) && i < combo->count(); ++i) {
      QStandardItem* item = model != nullptr ? model->item(i) : nullptr;
      if (item != nullptr && item->isEnabled() != entry->items[i].enabled) {
        item->setEnabled(entry->items[i].enabled);
      }
    }
    combo->setCurrentIndex(entry->selected);
  } else if (auto* box = qobject_cast<QCheckBox*>(row.control)) {
    const QSignalBlocker block(box);
    box->setChecked(entry->on);
  }
}

QString QuickAccessPane::ForbiddenToolTip(const std::string& forbidding) const
{
  const auto eq = forbidding.find('=');
  if (forbidding.empty() || eq == std::string::npos) return tr("Not available with the current choices");
  const std::string key = forbidding.substr(0, eq);
  const std::string choice = forbidding.substr(eq + 1);
  PPDXControl* control = ppd_.GetPPDXControlForKey(key);
  const QString option = control != nullptr && !control->CFStringUserName().empty()
                             ? QString::fromStdString(control->CFStringUserName())
                             : QString::fromStdString(key);
  return tr("Not available with %1: %2 (%3)")
      .arg(option, QString::fromStdString(ChoiceText(control, choice)),
           QString::fromStdString(key.substr(key.starts_with('*') ? 1 : 0) + "=" + choice));
}

bool QuickAccessPane::eventFilter(QObject* watched, QEvent* event)
{
  if (event->type() == QEvent::ToolTip) {
    if (auto* box = qobject_cast<QCheckBox*>(watched)) box->setToolTip(CheckBoxToolTip(box));
  }
  return QWidget::eventFilter(watched, event);
}

QString QuickAccessPane::CheckBoxToolTip(const QWidget* box) const
{
  for (const Row& row : rows_) {
    if (row.control != box) continue;
    const PaneEntry* entry = pane_.EntryForTag(row.tag);
    if (entry == nullptr || entry->enabled) return QString();
    return ForbiddenToolTip(pane_.ForbiddingChoiceOfCheckBox(row.tag));
  }
  return QString();
}

QWidget* QuickAccessPane::ControlForTag(int tag) const
{
  for (const Row& row : rows_) {
    if (row.tag == tag) return row.control;
  }
  return nullptr;
}

QWidget* QuickAccessPane::ControlForKeyword(const std::string& keyword) const
{
  for (const Row& row : rows_) {
    if (row.keyword == keyword) return row.control;
  }
  return nullptr;
}

void QuickAccessPane::OnPopupActivated(int tag, int index)
{
  // A refused choice (a greyed item, a locked pop-up) leaves the pop-up on its value.
  pane_.ChoosePopupItem(tag, index);
  Refresh();
  emit changed();
}

void QuickAccessPane::OnCheckBoxToggled(int tag, bool on)
{
  pane_.SetCheckBox(tag, on);
  Refresh();
  emit changed();
}

std::string QuickAccessPane::CheckNoteText(int tag, std::string_view typed)
{
  if (editingTag_ != tag) {
    pane_.BeginEditing(tag);
    editingTag_ = tag;
  }
  const CustomizePaneController::TextResult result = pane_.TextDidChange(tag, typed);
  emit changed();
  return result.changed ? result.text : std::string(typed);
}
