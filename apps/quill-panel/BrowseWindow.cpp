#include "BrowseWindow.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <string>

#include "connection/BonjourModuleController.h"

using quill::BonjourModuleController;
using Column = BonjourModuleController::Column;

namespace {

Column column_of(int section) { return section == 0 ? Column::kName : Column::kAddresses; }

QString text_of(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

BrowseWindow::BrowseWindow(BonjourModuleController& controller, QWidget* parent)
    : QDialog(parent),
      controller_(controller),
      table_(new QTableWidget(0, 2, this)),
      address_(new QLineEdit(this)),
      progress_(new QProgressBar(this)),
      ok_(nullptr),
      cancel_(nullptr)
{
  setWindowTitle(tr("Print servers on the network"));
  setObjectName("browseWindow");
  setWindowModality(Qt::WindowModal);

  table_->setHorizontalHeaderLabels({tr("Name"), tr("Addresses")});
  table_->setAccessibleName(tr("Print servers found"));
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::SingleSelection);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setTabKeyNavigation(false);
  table_->verticalHeader()->hide();
  table_->horizontalHeader()->setStretchLastSection(true);
  table_->horizontalHeader()->setSectionsClickable(true);
  table_->horizontalHeader()->setSortIndicatorShown(false);
  table_->setColumnWidth(0, 240);
  table_->setMinimumSize(460, 200);

  auto* addressLabel = new QLabel(tr("&Address:"), this);
  addressLabel->setBuddy(address_);
  address_->setAccessibleName(tr("Address of the chosen print server"));

  // Busy indicator: no known end, hidden once the controller's progress time has passed.
  progress_->setRange(0, 0);
  progress_->setTextVisible(false);
  progress_->setAccessibleName(tr("Browsing"));
  progress_->hide();

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  ok_ = buttons->button(QDialogButtonBox::Ok);
  cancel_ = buttons->button(QDialogButtonBox::Cancel);

  auto* addressRow = new QHBoxLayout;
  addressRow->addWidget(addressLabel);
  addressRow->addWidget(address_, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(table_, 1);
  layout->addLayout(addressRow);
  layout->addWidget(progress_);
  layout->addWidget(buttons);

  connect(buttons, &QDialogButtonBox::accepted, this, &BrowseWindow::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &BrowseWindow::reject);
  connect(table_->horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int section) {
    controller_.didClickTableColumn(column_of(section));
    Refresh();
  });
  connect(table_->horizontalHeader(), &QHeaderView::sectionResized, this, [this] {
    if (drawing_) return;
    controller_.tableViewColumnDidResize();
    DrawSelection();
  });
  connect(table_, &QTableWidget::itemSelectionChanged, this, &BrowseWindow::SelectionChanged);
  connect(address_, &QLineEdit::textEdited, this,
          [this](const QString& text) { controller_.setWindowAddressText(text.toStdString()); });

  refresh_.setInterval(kRefreshMs);
  connect(&refresh_, &QTimer::timeout, this, &BrowseWindow::Refresh);
}

void BrowseWindow::Start()
{
  // The table's first question starts resolving and the progress time.
  (void)controller_.numberOfRowsInTableView();
  DrawRows();
  address_->setText(text_of(controller_.Window().addressText));
  table_->setFocus();
  refresh_.start();
  open();
}

void BrowseWindow::Refresh()
{
  if (pump_) pump_();
  const BonjourModuleController::WindowState& window = controller_.Window();
  if (window.reloadRequested || static_cast<std::size_t>(table_->rowCount()) !=
                                    controller_.numberOfRowsInTableView()) {
    DrawRows();
  }
  progress_->setVisible(controller_.Window().progressShown);
  if (!controller_.bonjourWindowSessionRunning()) refresh_.stop();
}

void BrowseWindow::DrawRows()
{
  drawing_ = true;
  const std::size_t rows = controller_.numberOfRowsInTableView();
  table_->setRowCount(static_cast<int>(rows));
  for (std::size_t row = 0; row < rows; ++row) {
    for (int column = 0; column < 2; ++column) {
      const QString text = text_of(controller_.objectValue(column_of(column), row));
      QTableWidgetItem* item = table_->item(static_cast<int>(row), column);
      if (item == nullptr) {
        item = new QTableWidgetItem;
        table_->setItem(static_cast<int>(row), column, item);
      }
      item->setText(text);
    }
  }
  const BonjourModuleController::WindowState& window = controller_.Window();
  // The controller's sort indicators: ascending, descending or none per column.
  QHeaderView* header = table_->horizontalHeader();
  const std::string& indicator =
      window.sortColumn == Column::kAddresses ? window.addressesIndicator : window.nameIndicator;
  if (window.sortColumn && !indicator.empty()) {
    header->setSortIndicatorShown(true);
    header->setSortIndicator(*window.sortColumn == Column::kName ? 0 : 1,
                             indicator == BonjourModuleController::kAscendingIndicator
                                 ? Qt::AscendingOrder
                                 : Qt::DescendingOrder);
  } else {
    header->setSortIndicatorShown(false);
  }
  controller_.reloadDone();
  drawing_ = false;
  DrawSelection();
}

void BrowseWindow::DrawSelection()
{
  drawing_ = true;
  const std::optional<std::size_t> selected = controller_.Window().selectedRow;
  if (selected && *selected < static_cast<std::size_t>(table_->rowCount())) {
    table_->selectRow(static_cast<int>(*selected));
  } else {
    table_->clearSelection();
  }
  if (address_->text().toStdString() != controller_.Window().addressText) {
    address_->setText(text_of(controller_.Window().addressText));
  }
  drawing_ = false;
}

void BrowseWindow::SelectionChanged()
{
  if (drawing_) return;
  const QList<QTableWidgetItem*> items = table_->selectedItems();
  std::optional<std::size_t> row;
  if (!items.isEmpty()) row = static_cast<std::size_t>(items.front()->row());
  controller_.UpOrDownArrowKeySelection(row);
  DrawSelection();
}

void BrowseWindow::accept()
{
  controller_.setWindowAddressText(address_->text().toStdString());
  if (!controller_.OKClicked()) {
    address_->setFocus();
    return;
  }
  refresh_.stop();
  QDialog::accept();
}

void BrowseWindow::reject()
{
  if (controller_.bonjourWindowSessionRunning()) controller_.clickedCancel();
  refresh_.stop();
  QDialog::reject();
}
