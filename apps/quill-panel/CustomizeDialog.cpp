#include "CustomizeDialog.h"

#include <QAbstractItemModel>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <string>
#include <vector>

#include "panel/CustomizeQuickAccessDialogController.h"
#include "panel/TableViewControllerDB.h"

namespace {

constexpr int kGroupRole = Qt::UserRole;
constexpr int kEntryRole = Qt::UserRole + 1;

}  // namespace

CustomizeDialog::CustomizeDialog(TableViewControllerDB& table,
                                 CustomizeQuickAccessDialogController& outline, QWidget* parent)
    : QDialog(parent),
      table_(table),
      outline_(outline),
      available_(new QTreeWidget(this)),
      chosen_(new QListWidget(this)),
      message_(new QLabel(this)),
      add_(new QPushButton(tr("&Add \u2192"), this)),
      remove_(new QPushButton(tr("&Remove"), this)),
      up_(new QPushButton(tr("Move &Up"), this)),
      down_(new QPushButton(tr("Move Do&wn"), this)),
      defaults_(new QPushButton(tr("&Defaults"), this)),
      ok_(new QPushButton(tr("OK"), this)),
      cancel_(new QPushButton(tr("Cancel"), this))
{
  setWindowTitle(tr("Customise Quick Access"));
  setModal(true);

  available_->setHeaderLabel(tr("Available options"));
  available_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  available_->setAccessibleName(tr("Available options"));
  chosen_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  chosen_->setAccessibleName(tr("Options in the quick-access pane"));
  // Rows are reordered by dragging them within the list, beside the move buttons.
  chosen_->setDragDropMode(QAbstractItemView::InternalMove);
  chosen_->setDefaultDropAction(Qt::MoveAction);
  message_->setWordWrap(true);
  message_->setAccessibleName(tr("Message"));

  auto* availableLabel = new QLabel(tr("A&vailable options:"), this);
  availableLabel->setBuddy(available_);
  auto* chosenLabel = new QLabel(tr("&Shown in the pane:"), this);
  chosenLabel->setBuddy(chosen_);

  auto* left = new QVBoxLayout;
  left->addWidget(availableLabel);
  left->addWidget(available_);
  auto* middle = new QVBoxLayout;
  middle->addStretch();
  middle->addWidget(add_);
  middle->addStretch();
  auto* right = new QVBoxLayout;
  right->addWidget(chosenLabel);
  right->addWidget(chosen_);
  auto* moves = new QVBoxLayout;
  moves->addStretch();
  moves->addWidget(up_);
  moves->addWidget(down_);
  moves->addWidget(remove_);
  moves->addStretch();
  auto* lists = new QHBoxLayout;
  lists->addLayout(left, 1);
  lists->addLayout(middle);
  lists->addLayout(right, 1);
  lists->addLayout(moves);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(defaults_);
  buttons->addStretch();
  buttons->addWidget(cancel_);
  buttons->addWidget(ok_);
  ok_->setDefault(true);
  ok_->setAutoDefault(true);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(lists, 1);
  layout->addWidget(message_);
  layout->addLayout(buttons);

  setTabOrder(available_, add_);
  setTabOrder(add_, chosen_);
  setTabOrder(chosen_, up_);
  setTabOrder(up_, down_);
  setTabOrder(down_, remove_);
  setTabOrder(remove_, defaults_);
  setTabOrder(defaults_, cancel_);
  setTabOrder(cancel_, ok_);

  connect(available_, &QTreeWidget::itemSelectionChanged, this,
          &CustomizeDialog::OnAvailableSelection);
  connect(chosen_, &QListWidget::itemSelectionChanged, this, &CustomizeDialog::OnChosenSelection);
  connect(chosen_->model(), &QAbstractItemModel::rowsMoved, this,
          [this](const QModelIndex&, int start, int, const QModelIndex&, int row) {
            OnRowsMoved(start, row > start ? row - 1 : row);
          });
  connect(add_, &QPushButton::clicked, this, [this] {
    std::string why;
    const bool all = outline_.Add(&why);
    message_->setText(all ? QString() : QString::fromStdString(why));
    available_->clearSelection();
    FillChosen();
  });
  connect(remove_, &QPushButton::clicked, this, [this] {
    table_.Remove();
    message_->clear();
    FillChosen();
  });
  connect(up_, &QPushButton::clicked, this, [this] {
    table_.MoveUp();
    FillChosen();
  });
  connect(down_, &QPushButton::clicked, this, [this] {
    table_.MoveDown();
    FillChosen();
  });
  connect(defaults_, &QPushButton::clicked, this, [this] {
    table_.Defaults();
    message_->clear();
    FillChosen();
  });
  connect(ok_, &QPushButton::clicked, this, &CustomizeDialog::accept);
  connect(cancel_, &QPushButton::clicked, this, &CustomizeDialog::reject);
}

void CustomizeDialog::Open()
{
  table_.Open();
  outline_.ListAvailableShortcuts();
  message_->clear();
  FillAvailable();
  FillChosen();
}

QString CustomizeDialog::Message() const { return message_->text(); }

void CustomizeDialog::accept()
{
  const bool kept = table_.OK();
  available_->collapseAll();
  emit stored(kept);
  QDialog::accept();
}

void CustomizeDialog::reject()
{
  table_.Cancel();
  available_->collapseAll();
  FillChosen();
  QDialog::reject();
}

void CustomizeDialog::FillAvailable()
{
  const QSignalBlocker block(available_);
  filling_ = true;
  available_->clear();
  const auto& groups = outline_.Groups();
  for (std::size_t g = 0; g < groups.size(); ++g) {
    auto* group = new QTreeWidgetItem(available_);
    group->setText(0, QString::fromStdString(outline_.RowText({g, -1})));
    group->setData(0, kGroupRole, static_cast<qulonglong>(g));
    group->setData(0, kEntryRole, -1);
    for (std::size_t e = 0; e < groups[g].controls.size(); ++e) {
      auto* entry = new QTreeWidgetItem(group);
      entry->setText(0, QString::fromStdString(outline_.RowText({g, static_cast<long>(e)})));
      entry->setData(0, kGroupRole, static_cast<qulonglong>(g));
      entry->setData(0, kEntryRole, static_cast<qlonglong>(e));
      entry->setToolTip(0, QString::fromStdString(groups[g].controls[e].keyword));
    }
  }
  filling_ = false;
  outline_.Deselect();
  table_.SetAvailableSelected(false);
}

void CustomizeDialog::FillChosen()
{
  const QSignalBlocker block(chosen_);
  filling_ = true;
  chosen_->clear();
  const auto& names = table_.ChosenNames();
  const auto& keys = table_.ChosenKeys();
  for (std::size_t i = 0; i < names.size(); ++i) {
    auto* item = new QListWidgetItem(QString::fromStdString(names[i]), chosen_);
    if (i < keys.size()) item->setToolTip(QString::fromStdString(keys[i]));
  }
  for (std::size_t row : table_.SelectedChosenRows()) {
    if (QListWidgetItem* item = chosen_->item(static_cast<int>(row))) item->setSelected(true);
  }
  filling_ = false;
  UpdateButtons();
}

void CustomizeDialog::UpdateButtons()
{
  table_.SetAvailableSelected(outline_.AddEnabled());
  const TableViewControllerDB::ButtonStates states = table_.Buttons();
  add_->setEnabled(states.add);
  remove_->setEnabled(states.remove);
  up_->setEnabled(states.moveUp);
  down_->setEnabled(states.moveDown);
  defaults_->setEnabled(states.defaults);
  ok_->setEnabled(states.ok);
  cancel_->setEnabled(states.cancel);
}

void CustomizeDialog::OnAvailableSelection()
{
  if (filling_) return;
  std::vector<CustomizeQuickAccessDialogController::OutlineRow> rows;
  for (QTreeWidgetItem* item : available_->selectedItems()) {
    rows.push_back({static_cast<std::size_t>(item->data(0, kGroupRole).toULongLong()),
                    static_cast<long>(item->data(0, kEntryRole).toLongLong())});
  }
  outline_.SelectRows(rows);
  UpdateButtons();
}

void CustomizeDialog::OnChosenSelection()
{
  if (filling_) return;
  std::vector<std::size_t> rows;
  for (const QModelIndex& index : chosen_->selectionModel()->selectedRows()) {
    rows.push_back(static_cast<std::size_t>(index.row()));
  }
  table_.SelectChosenRows(rows);
  UpdateButtons();
}

void CustomizeDialog::OnRowsMoved(int from, int to)
{
  if (filling_ || from < 0 || to < 0) return;
  table_.MoveTo(static_cast<std::size_t>(from), static_cast<std::size_t>(to));
  // The list is redrawn from the controller once the drop has finished with the view's rows.
  QTimer::singleShot(0, this, &CustomizeDialog::FillChosen);
}
