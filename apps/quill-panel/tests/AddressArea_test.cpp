// The printer-address area and its browse window on the offscreen platform, driven through their
// real widgets over the headless service browser: typing and checking an address, the two-way
// switch, browsing with services that resolve, sorting, choosing a server and OK or Cancel.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "AddressArea.h"
#include "BrowseWindow.h"
#include "QtOneShotTimer.h"
#include "connection/BonjourModuleController.h"
#include "connection/HeadlessServiceBrowser.h"
#include "platform/Alert.h"

namespace {

using quill::BonjourModuleController;
using quill::FoundService;
using quill::HeadlessServiceBrowser;

constexpr const char* kInvalid = "You have entered an invalid IP Address or DNS Name";
// 45 characters: the server-name field cuts it at the last space within the first 38.
constexpr const char* kLongHost = "Quill Press Room Second Floor West Wing Server";

class MemoryStore : public quill::AddressStore {
 public:
  std::optional<std::string> GetMeridiaPrinterAddress(bool* ipEnabled) override
  {
    if (ipEnabled != nullptr) *ipEnabled = enabled;
    return address;
  }
  bool SetMeridiaPrinterAddress(std::string_view text, bool ipEnabled) override
  {
    address = std::string(text);
    enabled = ipEnabled;
    ++stores;
    return true;
  }
  std::optional<std::string> address;
  bool enabled = false;
  int stores = 0;
};

class AddressAreaTest : public ::testing::Test {
 protected:
  AddressAreaTest() : controller_(&store_, &browser_, &timer_, &alerts_, Options())
  {
    browser_.Announce({"Press Room", "_ipp._tcp", "local."}, {"press.local", {"10.0.0.7"}});
    browser_.Announce({"Annex", "_ipp._tcp", "local."}, {kLongHost, {"fe80::7%eth0"}});
    browser_.Announce({"Basement", "_printer._tcp", "local."},
                      {"basement.local", {"10.0.0.3", "fd00::3"}});
  }

  static BonjourModuleController::Options Options()
  {
    BonjourModuleController::Options options;
    options.offerBrowsing = true;
    options.hostAddressCount = 4;  // enough for the progress bar
    return options;
  }

  // The table's row showing `address`, or -1.
  static int RowOf(const QTableWidget* table, const QString& address)
  {
    for (int row = 0; row < table->rowCount(); ++row) {
      if (table->item(row, 1) != nullptr && table->item(row, 1)->text() == address) return row;
    }
    return -1;
  }
  static QStringList Column(const QTableWidget* table, int column)
  {
    QStringList texts;
    for (int row = 0; row < table->rowCount(); ++row) texts << table->item(row, column)->text();
    return texts;
  }

  MemoryStore store_;
  HeadlessServiceBrowser browser_;
  quill::ManualOneShotTimer timer_;
  quill::HeadlessAlertPresenter alerts_;
  BonjourModuleController controller_;
};

TEST_F(AddressAreaTest, FieldsCarryCaptionsAndAccessibleNames)
{
  AddressArea area(controller_);
  area.show();
  EXPECT_EQ(area.AddressField()->accessibleName(), "Printer address");
  EXPECT_EQ(area.ServerNameField()->accessibleName(), "Server name");
  EXPECT_EQ(area.TwoWaySwitch()->accessibleName(), "Two-way communication");
  EXPECT_FALSE(area.BrowseButton()->accessibleName().isEmpty());
  // Browsing is offered on this desktop.
  EXPECT_TRUE(area.BrowseButton()->isVisible());
  BrowseWindow* window = area.Browser();
  EXPECT_FALSE(window->Table()->accessibleName().isEmpty());
  EXPECT_FALSE(window->AddressField()->accessibleName().isEmpty());
}

TEST_F(AddressAreaTest, TypedAddressIsCheckedAndTwoWayStoresIt)
{
  AddressArea area(controller_);
  area.show();
  QTest::keyClicks(area.AddressField(), "press.example.com");
  EXPECT_EQ(controller_.getprinterIPField(), "press.example.com");
  EXPECT_EQ(store_.stores, 0);  // typing alone stores nothing

  QTest::mouseClick(area.TwoWaySwitch(), Qt::LeftButton);
  EXPECT_TRUE(controller_.isBIDIEnabled());
  EXPECT_EQ(store_.address, "press.example.com");
  EXPECT_TRUE(store_.enabled);
  // The controller locks the field once the switch was used.
  EXPECT_TRUE(area.AddressField()->isReadOnly());
  EXPECT_FALSE(area.BrowseButton()->isEnabled());

  QTest::mouseClick(area.TwoWaySwitch(), Qt::LeftButton);
  EXPECT_FALSE(controller_.isBIDIEnabled());
  EXPECT_FALSE(store_.enabled);
  // Greyed: the field's text takes the controller's greyed colour.
  EXPECT_EQ(area.AddressField()->palette().color(QPalette::Text),
            QColor(QString::fromStdString(controller_.CurrentColours().text)));
  EXPECT_TRUE(alerts_.Shown().empty());
}

TEST_F(AddressAreaTest, RefusedAddressAlertsThroughTheController)
{
  controller_.setBIDIStatusON(true);
  AddressArea area(controller_);
  area.show();
  area.AddressField()->setFocus();
  QTest::keyClicks(area.AddressField(), "press room");
  QTest::keyClick(area.AddressField(), Qt::Key_Return);
  ASSERT_EQ(alerts_.Shown().size(), 1u);
  EXPECT_EQ(alerts_.Shown()[0].message, kInvalid);
  EXPECT_EQ(store_.stores, 0);

  // With the switch off any safe text passes.
  alerts_.ClearShown();
  controller_.setBIDIStatusON(false);
  area.Refresh();
  QTest::keyClick(area.AddressField(), Qt::Key_Return);
  EXPECT_TRUE(alerts_.Shown().empty());
}

TEST_F(AddressAreaTest, BrowseSortPickAndOkFillTheArea)
{
  AddressArea area(controller_);
  area.show();
  QTest::mouseClick(area.BrowseButton(), Qt::LeftButton);
  BrowseWindow* window = area.Browser();
  ASSERT_TRUE(window->isVisible());
  ASSERT_TRUE(controller_.bonjourWindowSessionRunning());
  // Every found service was resolved: one row per address.
  window->Refresh();
  QTableWidget* table = window->Table();
  EXPECT_EQ(table->rowCount(), 4);
  EXPECT_EQ(browser_.ResolveRequests().size(), 3u);
  EXPECT_TRUE(window->Progress()->isVisible());
  ASSERT_EQ(timer_.Pending(), BonjourModuleController::kProgressTime);
  timer_.Fire();
  window->Refresh();
  EXPECT_FALSE(window->Progress()->isVisible());

  // Header clicks sort ascending, then descending, with the controller's indicator.
  QHeaderView* header = table->horizontalHeader();
  QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                    QPoint(header->sectionViewportPosition(1) + 5, header->height() / 2));
  EXPECT_EQ(controller_.Window().addressesIndicator, BonjourModuleController::kAscendingIndicator);
  EXPECT_TRUE(header->isSortIndicatorShown());
  EXPECT_EQ(header->sortIndicatorSection(), 1);
  EXPECT_EQ(header->sortIndicatorOrder(), Qt::AscendingOrder);
  EXPECT_EQ(Column(table, 1), QStringList({"10.0.0.3", "10.0.0.7", "fd00::3", "fe80::7%eth0"}));
  QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                    QPoint(header->sectionViewportPosition(1) + 5, header->height() / 2));
  EXPECT_EQ(header->sortIndicatorOrder(), Qt::DescendingOrder);
  EXPECT_EQ(Column(table, 1), QStringList({"fe80::7%eth0", "fd00::3", "10.0.0.7", "10.0.0.3"}));

  // Keyboard: down from the first row picks the second; the address field follows.
  table->setFocus();
  table->selectRow(0);
  QTest::keyClick(table, Qt::Key_Down);
  EXPECT_EQ(controller_.Window().selectedRow, std::optional<std::size_t>(1));
  EXPECT_EQ(window->AddressField()->text(), "fd00::3");

  // Pick the server with the long name and take it.
  table->selectRow(RowOf(table, "fe80::7%eth0"));
  EXPECT_EQ(window->AddressField()->text(), "fe80::7%eth0");
  QTest::mouseClick(window->OkButton(), Qt::LeftButton);
  EXPECT_FALSE(window->isVisible());
  EXPECT_FALSE(controller_.bonjourWindowSessionRunning());
  EXPECT_EQ(store_.address, "fe80::7%eth0");
  EXPECT_TRUE(store_.enabled);
  EXPECT_EQ(area.AddressField()->text(), "fe80::7%eth0");
  EXPECT_TRUE(area.TwoWaySwitch()->isChecked());
  EXPECT_EQ(area.ServerNameField()->text(), "Quill Press Room Second Floor West");
  EXPECT_TRUE(alerts_.Shown().empty());
}

TEST_F(AddressAreaTest, OkWithARefusedAddressKeepsTheWindowOpen)
{
  AddressArea area(controller_);
  area.show();
  ASSERT_TRUE(area.OpenBrowseWindow());
  BrowseWindow* window = area.Browser();
  window->AddressField()->clear();
  QTest::keyClicks(window->AddressField(), "..");
  QTest::mouseClick(window->OkButton(), Qt::LeftButton);
  EXPECT_TRUE(window->isVisible());
  ASSERT_EQ(alerts_.Shown().size(), 1u);
  EXPECT_EQ(alerts_.Shown()[0].message, kInvalid);
  EXPECT_EQ(store_.stores, 0);
}

TEST_F(AddressAreaTest, CancelAndEscapeStoreNothing)
{
  AddressArea area(controller_);
  area.show();
  QTest::keyClicks(area.AddressField(), "10.1.1.1");
  ASSERT_TRUE(area.OpenBrowseWindow());
  BrowseWindow* window = area.Browser();
  window->Refresh();
  window->Table()->selectRow(RowOf(window->Table(), "10.0.0.7"));
  QTest::mouseClick(window->CancelButton(), Qt::LeftButton);
  EXPECT_FALSE(window->isVisible());
  EXPECT_EQ(area.AddressField()->text(), "10.1.1.1");

  ASSERT_TRUE(area.OpenBrowseWindow());
  QTest::keyClick(window, Qt::Key_Escape);
  EXPECT_FALSE(window->isVisible());
  EXPECT_FALSE(controller_.bonjourWindowSessionRunning());
  EXPECT_EQ(store_.stores, 0);
  EXPECT_EQ(browser_.IsBrowsing(), false);
}

TEST_F(AddressAreaTest, DarkPaletteGivesTheDarkColours)
{
  AddressArea area(controller_);
  QPalette dark;
  dark.setColor(QPalette::Window, QColor("#202020"));
  dark.setColor(QPalette::WindowText, QColor("#f0f0f0"));
  area.setPalette(dark);
  controller_.setBIDIStatusON(true);
  area.Refresh();
  EXPECT_EQ(controller_.Area().theme, "dark");
  EXPECT_EQ(area.AddressField()->palette().color(QPalette::Text), QColor("#ffffff"));
}

TEST(QtOneShotTimerTest, FiresOnceAndCancelDropsIt)
{
  QtOneShotTimer timer;
  int fired = 0;
  timer.Schedule(std::chrono::milliseconds(1), [&] { ++fired; });
  EXPECT_TRUE(QTest::qWaitFor([&] { return fired == 1; }, 5000));
  EXPECT_FALSE(timer.IsPending());
  timer.Schedule(std::chrono::milliseconds(1), [&] { ++fired; });
  timer.Cancel();
  QTest::qWait(20);
  EXPECT_EQ(fired, 1);
}

}  // namespace
