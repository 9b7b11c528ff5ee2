// The desktop dialog on the offscreen platform, driven through its real widgets: constraint
// greying in the quick-access pane, the customisation dialog storing its order, job-note fields,
// and Print with a required account code on the private CUPS server.
#include <cups/cups.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QListWidget>
#include <QMessageBox>
#include <QScrollArea>
#include <QScrollBar>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "CustomizeDialog.h"
#include "JobNotePrompt.h"
#include "NoteField.h"
#include "PanelWindow.h"
#include "QtAlertPresenter.h"
#include "QuickAccessPane.h"
#include "PPDX/KRTPPD.h"
#include "PPDX/PPDObjects/Controls/PPDXControl.h"
#include "PPDX/PPDObjects/Controls/PPDXJobNote.h"
#include "foundation/ProcessGlobals.h"
#include "panel/CustomizePaneController.h"
#include "panel/PPDTree.h"
#include "panel/QuillFeaturesPDE.h"
#include "panel/TableViewControllerDB.h"
#include "platform/Alert.h"
#include "platform/Paths.h"
#include "platform/PrintDialogCallback.h"
#include "platform/PrintSession.h"
#include "platform/Printer.h"
#include "platform/SystemInfo.h"
#include "support/CupsServer.h"
#include "support/TempDir.h"

namespace {

namespace fs = std::filesystem;
using quill::testing::CupsServer;
using quill::testing::ExamplePath;

class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name)
  {
    if (const char* old = std::getenv(name)) old_ = old;
    ::setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv()
  {
    if (old_) ::setenv(name_, old_->c_str(), 1);
    else ::unsetenv(name_);
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

// The dialog of the sample PPD for queue "Sample" (a dialog without a spooler), opened through
// the panel controller as the program opens it, with the user's files under a private home.
class PanelWindowTest : public ::testing::Test {
 protected:
  void SetUp() override
  {
    // Systems before 10.7 keep the per-queue lists in a file of the user's own (here a private
    // home) rather than sending them to the printer.
    quill::SystemInfo::SetVersion({10, 6});
    quill::PrintSession::Reset();
    ResetProcessGlobals();
    QuillFeaturesPDE::ResetProcessState();
    GetPPDTree().Clear();
    fs::create_directories(home_.path() / "Library/Preferences");
    fs::create_directories(home_.path() / "run");
    fs::create_directories(home_.path() / "root/tmp");
    fs::create_directories(home_.path() / "root/Library/Caches/KRT");
    quill::Paths::SetRoot((home_.path() / "root").string());
    quill::SetAlertPresenter(&alerts_);
  }
  void TearDown() override
  {
    quill::SetAlertPresenter(nullptr);
    QuillFeaturesPDE::ResetProcessState();
    GetPPDTree().Clear();
    quill::Paths::ResetRoot();
    quill::SystemInfo::Reset();
  }

  // A window over a new controller for the dialog `callback` (kept to the end of the test, so it
  // outlives the window).
  std::unique_ptr<PanelWindow> OpenPanel(std::unique_ptr<quill::PrintDialogCallback> callback,
                                         QStringList files)
  {
    QuillFeaturesPDEOptions options;
    options.alerts = &alerts_;
    options.popupPresenter = &prompts_;
    std::string why;
    auto panel = QuillFeaturesPDE::initWithCallback(callback.get(), options, &why);
    callbacks_.push_back(std::move(callback));
    EXPECT_NE(panel, nullptr) << why;
    if (panel == nullptr) return nullptr;
    prompts_.SetPPD(panel->getPPDPtr());
    auto window = std::make_unique<PanelWindow>(std::move(panel), std::move(files));
    prompts_.SetParent(window.get());
    window->show();
    return window;
  }

  std::unique_ptr<PanelWindow> OpenSample(QStringList files = {})
  {
    return OpenPanel(std::make_unique<quill::PrintDialogCallback>(
                         "Sample", ExamplePath("QuillSample.ppd"), /*online=*/false),
                     std::move(files));
  }

  // Shows `keywords` in the pane, as a stored quick-access list would.
  static void ShowInPane(PanelWindow& window, const std::vector<std::string>& keywords)
  {
    PPDTree& tree = GetPPDTree();
    tree.shortcuts.clear();
    for (const std::string& k : keywords) ASSERT_TRUE(tree.AddShortcut(k, k));
    window.Panel().updateUI();
    window.Redraw();
  }

  static KRTPPD& PPD(PanelWindow& window) { return *window.Panel().getPPDPtr(); }

  // The index of the item of pop-up `keyword` whose choice is `choice`.
  static int ItemIndex(PanelWindow& window, const std::string& keyword, const std::string& choice)
  {
    for (const PaneEntry& e : window.Panel().Pane()->Entries()) {
      if (e.keyword != keyword) continue;
      for (std::size_t i = 0; i < e.items.size(); ++i) {
        if (e.items[i].keyword == choice) return static_cast<int>(i);
      }
    }
    ADD_FAILURE() << keyword << " has no item " << choice;
    return -1;
  }

  // Chooses an item with the keyboard, as a user walks a focused pop-up.
  static void ChooseWithKeys(QComboBox* combo, int index)
  {
    combo->setFocus();
    for (int guard = 0; combo->currentIndex() != index && guard < 20; ++guard) {
      QTest::keyClick(combo, combo->currentIndex() < index ? Qt::Key_Down : Qt::Key_Up);
    }
    ASSERT_EQ(combo->currentIndex(), index);
  }

  static bool ItemEnabled(QComboBox* combo, int index)
  {
    auto* model = qobject_cast<QStandardItemModel*>(combo->model());
    return model->item(index)->isEnabled();
  }

  quill::testing::TempDir home_;
  quill::HeadlessAlertPresenter alerts_;
  QtPopupJobNotePresenter prompts_;
  std::vector<std::unique_ptr<quill::PrintDialogCallback>> callbacks_;
  ScopedEnv homeEnv_{"HOME", home_.path().string()};
  ScopedEnv runEnv_{"XDG_RUNTIME_DIR", (home_.path() / "run").string()};
  ScopedEnv configEnv_{"XDG_CONFIG_HOME", (home_.path() / "config").string()};
};

TEST_F(PanelWindowTest, ShowsTheQueueTheModelAndNamesEveryField)
{
  auto window = OpenSample();
  ASSERT_NE(window, nullptr);
  const auto fields = window->findChildren<QLineEdit*>();
  ASSERT_FALSE(fields.empty());
  EXPECT_EQ(fields[0]->text(), "Sample");
  EXPECT_EQ(fields[1]->text().toStdString(), window->Panel().PrinterNameText());
  EXPECT_FALSE(fields[1]->text().isEmpty());
  // Every control a user can reach has a name for screen readers.
  for (QWidget* w : window->findChildren<QWidget*>()) {
    if (w->focusPolicy() == Qt::NoFocus || qobject_cast<QPushButton*>(w) != nullptr) continue;
    if (w->parent() != nullptr && qobject_cast<QComboBox*>(w->parent()) != nullptr) continue;
    if (!w->isVisibleTo(window.get())) continue;
    EXPECT_FALSE(w->accessibleName().isEmpty()) << w->metaObject()->className() << " "
                                                 << w->objectName().toStdString();
  }
  // Buttons carry mnemonics; Print is the default button (Enter).
  EXPECT_TRUE(window->PrintButton()->isDefault());
  EXPECT_TRUE(window->PrintButton()->text().contains('&'));
  EXPECT_TRUE(window->CustomizeButton()->text().contains('&'));
}

TEST_F(PanelWindowTest, DuplexTumbleGreysTheItemsItsConstraintsForbid)
{
  auto window = OpenSample();
  ASSERT_NE(window, nullptr);
  ShowInPane(*window, {"*PageSize", "*Duplex", "*InputSlot"});
  auto* pageSize = qobject_cast<QComboBox*>(window->Pane()->ControlForKeyword("*PageSize"));
  auto* duplex = qobject_cast<QComboBox*>(window->Pane()->ControlForKeyword("*Duplex"));
  auto* slot = qobject_cast<QComboBox*>(window->Pane()->ControlForKeyword("*InputSlot"));
  ASSERT_NE(pageSize, nullptr);
  ASSERT_NE(duplex, nullptr);
  ASSERT_NE(slot, nullptr);
  const int sra3 = ItemIndex(*window, "*PageSize", "SRA3");
  const int a4 = ItemIndex(*window, "*PageSize", "A4");
  const int bypass = ItemIndex(*window, "*InputSlot", "Bypass");
  EXPECT_TRUE(ItemEnabled(pageSize, sra3));
  EXPECT_TRUE(pageSize->itemData(sra3, Qt::ToolTipRole).toString().isEmpty());

  // The sample forbids SRA3 with short-edge binding (and the bypass tray with long-edge binding).
  ChooseWithKeys(duplex, ItemIndex(*window, "*Duplex", "DuplexTumble"));
  EXPECT_EQ(PPD(*window).CopyValueForKey("*Duplex"), "DuplexTumble");
  EXPECT_FALSE(ItemEnabled(pageSize, sra3));
  EXPECT_TRUE(ItemEnabled(pageSize, a4));
  EXPECT_TRUE(ItemEnabled(slot, bypass));
  const QString tip = pageSize->itemData(sra3, Qt::ToolTipRole).toString();
  EXPECT_TRUE(tip.contains("Duplex=DuplexTumble")) << tip.toStdString();
  EXPECT_TRUE(tip.contains(QString::fromStdString(
      PPD(*window).GetPPDXControlForKey("*Duplex")->CFStringUserName())))
      << tip.toStdString();

  // The keyboard walks past the greyed item; the pop-up never takes it.
  pageSize->setFocus();
  for (int i = 0; i < pageSize->count() + 2; ++i) QTest::keyClick(pageSize, Qt::Key_Down);
  EXPECT_NE(PPD(*window).CopyValueForKey("*PageSize"), "SRA3");

  // Another binding frees SRA3 and greys the bypass tray instead.
  ChooseWithKeys(duplex, ItemIndex(*window, "*Duplex", "DuplexNoTumble"));
  EXPECT_TRUE(ItemEnabled(pageSize, sra3));
  EXPECT_TRUE(pageSize->itemData(sra3, Qt::ToolTipRole).toString().isEmpty());
  EXPECT_FALSE(ItemEnabled(slot, bypass));
  EXPECT_TRUE(slot->itemData(bypass, Qt::ToolTipRole).toString().contains("Duplex=DuplexNoTumble"));
}

TEST_F(PanelWindowTest, CustomiseAddsMovesAndStoresAndReopeningShowsTheOrder)
{
  auto window = OpenSample();
  ASSERT_NE(window, nullptr);
  QTest::mouseClick(window->CustomizeButton(), Qt::LeftButton);
  CustomizeDialog* dialog = window->Customize();
  ASSERT_TRUE(dialog->isVisible());
  QListWidget* chosen = dialog->Chosen();
  const auto names = [chosen] {
    QStringList rows;
    for (int i = 0; i < chosen->count(); ++i) rows << chosen->item(i)->text();
    return rows;
  };
  EXPECT_EQ(names(), (QStringList{"2-Sided Printing", "Colour Mode", "Staple"}));
  EXPECT_FALSE(dialog->AddButton()->isEnabled());
  EXPECT_FALSE(dialog->RemoveButton()->isEnabled());

  // Add the hole punch from the available list.
  QTreeWidgetItem* punch = nullptr;
  for (QTreeWidgetItemIterator it(dialog->Available()); *it != nullptr; ++it) {
    if ((*it)->toolTip(0) == "*KRPunch") punch = *it;
  }
  ASSERT_NE(punch, nullptr);
  dialog->Available()->setCurrentItem(punch);
  EXPECT_TRUE(dialog->AddButton()->isEnabled());
  QTest::mouseClick(dialog->AddButton(), Qt::LeftButton);
  EXPECT_EQ(names(), (QStringList{"2-Sided Printing", "Colour Mode", "Staple", "Hole Punch"}));
  EXPECT_FALSE(dialog->AddButton()->isEnabled());

  // Up with the button: the first row cannot go up, the moved row stays selected.
  chosen->setCurrentRow(0);
  EXPECT_FALSE(dialog->UpButton()->isEnabled());
  EXPECT_TRUE(dialog->DownButton()->isEnabled());
  chosen->setCurrentRow(3);
  EXPECT_FALSE(dialog->DownButton()->isEnabled());
  QTest::mouseClick(dialog->UpButton(), Qt::LeftButton);
  EXPECT_EQ(names(), (QStringList{"2-Sided Printing", "Colour Mode", "Hole Punch", "Staple"}));
  ASSERT_EQ(chosen->selectedItems().size(), 1);
  EXPECT_EQ(chosen->selectedItems()[0]->text(), "Hole Punch");

  // A drag of the first row to the end, as the list's drop does it.
  ASSERT_TRUE(chosen->model()->moveRow(QModelIndex(), 0, QModelIndex(), 4));
  QCoreApplication::processEvents();
  EXPECT_EQ(names(), (QStringList{"Colour Mode", "Hole Punch", "Staple", "2-Sided Printing"}));
  EXPECT_EQ(window->Panel().ChosenTable()->ChosenKeys(),
            (std::vector<std::string>{"*KRColorMode", "*KRPunch", "*KRStaple", "*Duplex"}));

  QTest::mouseClick(dialog->OkButton(), Qt::LeftButton);
  EXPECT_FALSE(dialog->isVisible());
  // The pane is redrawn in the new order.
  std::vector<std::string> pane;
  for (const PaneEntry& e : window->Panel().Pane()->Entries()) pane.push_back(e.keyword);
  EXPECT_EQ(pane, (std::vector<std::string>{"*KRColorMode", "*KRPunch", "*KRStaple", "*Duplex"}));
  EXPECT_NE(window->Pane()->ControlForKeyword("*KRPunch"), nullptr);

  // A new dialog of the queue shows the stored order, in the pane and in the customise dialog.
  window.reset();
  auto again = OpenSample();
  ASSERT_NE(again, nullptr);
  QTest::mouseClick(again->CustomizeButton(), Qt::LeftButton);
  std::vector<std::string> tree;
  for (const auto& s : GetPPDTree().shortcuts) tree.push_back(s.keyword);
  EXPECT_EQ(tree, (std::vector<std::string>{"*KRColorMode", "*KRPunch", "*KRStaple", "*Duplex"}));
  EXPECT_TRUE(again->Customize()->isVisible());
  QListWidget* stored = again->Customize()->Chosen();
  QStringList rows;
  for (int i = 0; i < stored->count(); ++i) rows << stored->item(i)->text();
  EXPECT_EQ(rows, (QStringList{"Colour Mode", "Hole Punch", "Staple", "2-Sided Printing"}));

  // Cancel (Escape) discards a change made since opening.
  stored->setCurrentRow(0);
  QTest::mouseClick(again->Customize()->RemoveButton(), Qt::LeftButton);
  EXPECT_EQ(stored->count(), 3);
  QTest::keyClick(again->Customize(), Qt::Key_Escape);
  EXPECT_FALSE(again->Customize()->isVisible());
  EXPECT_EQ(again->Panel().ChosenTable()->ChosenKeys().size(), 4u);
}

TEST_F(PanelWindowTest, JobNoteFieldsMaskSecretsAndCheckTypedAndPastedTextAsAWhole)
{
  auto window = OpenSample();
  ASSERT_NE(window, nullptr);
  ShowInPane(*window, {"*KRAccount", "*KRSecurePassword"});
  auto* account = qobject_cast<NoteField*>(window->Pane()->ControlForKeyword("*KRAccount"));
  auto* password = qobject_cast<NoteField*>(window->Pane()->ControlForKeyword("*KRSecurePassword"));
  ASSERT_NE(account, nullptr);
  ASSERT_NE(password, nullptr);
  EXPECT_EQ(account->echoMode(), QLineEdit::Normal);
  EXPECT_EQ(password->echoMode(), QLineEdit::Password);

  // The account code takes digits only (16 at most); the password 8 digits.
  struct Case {
    NoteField* field;
    const char* paste;
    const char* shown;
  };
  const Case cases[] = {
      {account, "12ab34", "1234"},          // every refused character goes, not only the first
      {account, "5-6 7", "1234567"},        // pasted at the end of what was there
      {password, "123456789", ""},          // too long: refused as a whole
      {password, "1x2y3z4", "1234"},
      {password, "5678", "12345678"},
      {password, "9", "12345678"},          // one more than the limit is refused
  };
  for (const Case& c : cases) {
    c.field->setFocus();
    c.field->end(false);
    QApplication::clipboard()->setText(QString::fromUtf8(c.paste));
    c.field->paste();
    EXPECT_EQ(c.field->text().toStdString(), c.shown) << c.paste;
  }
  auto* note = static_cast<PPDXJobNote*>(PPD(*window).GetPPDXControlForKey("*KRAccount"));
  EXPECT_STREQ(note->GetNotes(), "1234567");

  // Typing goes through the same check.
  account->clear();
  account->setFocus();
  QTest::keyClicks(account, "4a7");
  EXPECT_EQ(account->text(), "47");
}

TEST_F(PanelWindowTest, QuickAccessPaneIsNeverNarrowerThanItsRows)
{
  // The sample's own list, and one with wide rows (long captions, job-note fields).
  const std::vector<std::vector<std::string>> lists = {
      {},
      {"*PageSize", "*Duplex", "*InputSlot", "*KRAccount", "*KRSecurePassword", "*KRPunch",
       "*KRStaple", "*KRColorMode"},
  };
  for (const auto& list : lists) {
    auto window = OpenSample();
    ASSERT_NE(window, nullptr);
    if (!list.empty()) ShowInPane(*window, list);
    QTest::qWait(50);  // the new rows are shown and laid out
    QScrollArea* scroll = window->PaneScroll();
    EXPECT_GE(scroll->viewport()->width(), window->Pane()->sizeHint().width())
        << list.size() << " rows";
    EXPECT_LE(window->Pane()->sizeHint().width(), window->Pane()->width()) << list.size();
    EXPECT_FALSE(scroll->horizontalScrollBar()->isVisible()) << list.size();
    EXPECT_EQ(scroll->horizontalScrollBar()->maximum(), 0) << list.size();
  }
}

TEST_F(PanelWindowTest, ClosingTheWindowCancelsTheOpenCustomiseDialog)
{
  auto window = OpenSample();
  ASSERT_NE(window, nullptr);
  QTest::mouseClick(window->CustomizeButton(), Qt::LeftButton);
  EXPECT_TRUE(window->Panel().CustomizeWindowRunning());
  window->Customize()->Chosen()->setCurrentRow(0);
  QTest::mouseClick(window->Customize()->RemoveButton(), Qt::LeftButton);
  ASSERT_EQ(window->Panel().ChosenTable()->ChosenKeys().size(), 2u);

  window->reject();
  EXPECT_FALSE(window->isVisible());
  EXPECT_FALSE(window->Customize()->isVisible());
  EXPECT_FALSE(window->Panel().CustomizeWindowRunning());
  EXPECT_EQ(window->Panel().ChosenTable()->ChosenKeys().size(), 3u);
  EXPECT_TRUE(alerts_.Shown().empty());
}

// The desktop's alerts: the panel's alert texts and buttons, and the button pressed back.
TEST(QtAlertPresenterTest, ShowsTheAlertAndAnswersTheButtonPressed)
{
  enum class Press { kDefault, kAlternate, kEscape };
  struct Case {
    const char* alternate;
    Press press;
    quill::AlertButton expected;
  };
  const Case cases[] = {
      {"Cancel", Press::kDefault, quill::AlertButton::kDefault},
      {"Cancel", Press::kAlternate, quill::AlertButton::kAlternate},
      {"Cancel", Press::kEscape, quill::AlertButton::kAlternate},  // Escape is the safe answer
      {"", Press::kEscape, quill::AlertButton::kDefault},          // only one button to give
  };
  for (const Case& c : cases) {
    QtAlertPresenter presenter;
    bool seen = false;
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, &seen, &c] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box == nullptr || !box->isVisible()) return;
      timer->stop();
      timer->deleteLater();
      seen = true;
      EXPECT_EQ(box->text(), "The document was not printed.");
      EXPECT_EQ(box->informativeText(), "the queue is stopped");
      const QList<QAbstractButton*> buttons = box->buttons();
      ASSERT_EQ(buttons.size(), *c.alternate != '\0' ? 2 : 1);
      QAbstractButton* ok = nullptr;
      QAbstractButton* alternate = nullptr;
      for (QAbstractButton* b : buttons) (b->text() == "Retry" ? ok : alternate) = b;
      ASSERT_NE(ok, nullptr);
      if (c.press == Press::kDefault) QTest::mouseClick(ok, Qt::LeftButton);
      else if (c.press == Press::kAlternate) QTest::mouseClick(alternate, Qt::LeftButton);
      else QTest::keyClick(box, Qt::Key_Escape);
    });
    timer->start();
    const quill::AlertButton answer =
        presenter.Show({"The document was not printed.", "the queue is stopped", "Retry",
                        c.alternate});
    EXPECT_TRUE(seen);
    EXPECT_EQ(answer, c.expected) << c.alternate << " " << static_cast<int>(c.press);
  }
}

// Print on the private CUPS server: the sample requires an account code.
class PanelPrintTest : public PanelWindowTest {
 protected:
  static constexpr char kQueue[] = "panelqt";

  void SetUp() override
  {
    PanelWindowTest::SetUp();
    // The system as it is: the job ticket goes to the queue's filter.
    quill::SystemInfo::Reset();
    CupsServer& server = CupsServer::Shared();
    if (!quill::Printer(kQueue).Exists()) {
      std::string error;
      ASSERT_TRUE(server.AddQueue(kQueue, ExamplePath("QuillSample.ppd"), &error)) << error;
    }
    page_ = home_.Write("page.ps",
                        "%!PS-Adobe-3.0\n%%Pages: 1\n%%EndComments\n%%Page: 1 1\n"
                        "/Helvetica findfont 20 scalefont setfont 72 700 moveto (panel) show "
                        "showpage\n%%EOF\n");
  }

  void TearDown() override
  {
    for (const std::string& copy : ppdCopies_) fs::remove(copy);
    PanelWindowTest::TearDown();
  }

  // The queue's dialog as quill-panel opens it: a private copy of the queue's PPD.
  std::unique_ptr<PanelWindow> OpenQueue()
  {
    std::string error;
    const std::string copy = quill::Printer(kQueue).CopyPPD(&error);
    EXPECT_FALSE(copy.empty()) << error;
    if (copy.empty()) return nullptr;
    ppdCopies_.push_back(copy);
    return OpenPanel(std::make_unique<quill::PrintDialogCallback>(kQueue, copy, /*online=*/true),
                     QStringList{QString::fromStdString(page_)});
  }

  // Runs `answer` on the job-note prompt once it is up (it runs modally inside Print).
  static void WhenPromptShows(std::function<void(JobNotePrompt&)> answer, bool* shown)
  {
    *shown = false;
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, answer, shown] {
      auto* prompt = qobject_cast<JobNotePrompt*>(QApplication::activeModalWidget());
      if (prompt == nullptr || !prompt->isVisible()) return;
      timer->stop();
      timer->deleteLater();
      *shown = true;
      answer(*prompt);
    });
    timer->start();
  }

  // Document jobs of the queue, every state (the ticket's command jobs to the filter left out).
  static int JobCount()
  {
    cups_job_t* jobs = nullptr;
    const int count = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, kQueue, 0, CUPS_WHICHJOBS_ALL);
    int documents = 0;
    for (int i = 0; i < count; ++i) {
      if (std::string(jobs[i].format) != quill::Printer::kCommandFormat) ++documents;
    }
    cupsFreeJobs(count, jobs);
    return documents;
  }

  std::string page_;
  std::vector<std::string> ppdCopies_;
};

TEST_F(PanelPrintTest, RequiredAccountCodeIsAskedCancelPrintsNothingOKPrintsItInTheTicket)
{
  auto window = OpenQueue();
  ASSERT_NE(window, nullptr);
  const int before = JobCount();
  const std::size_t received = CupsServer::Shared().ReceivedJobs().size();

  // Cancel: nothing is printed.
  bool shown = false;
  WhenPromptShows(
      [](JobNotePrompt& prompt) {
        EXPECT_FALSE(prompt.OkButton()->isEnabled());  // the code is required
        // The field's hint (required, its length) is shown whole.
        const NoteField* field = prompt.Field(0);
        EXPECT_TRUE(field->placeholderText().contains("required"));
        EXPECT_GE(field->width(), field->fontMetrics().horizontalAdvance(field->placeholderText()));
        QTest::mouseClick(prompt.CancelButton(), Qt::LeftButton);
      },
      &shown);
  EXPECT_FALSE(window->PrintNow());
  EXPECT_TRUE(shown);
  EXPECT_TRUE(window->Jobs().empty());
  EXPECT_EQ(JobCount(), before);
  EXPECT_EQ(window->Status(), "Printing cancelled: nothing was printed.");

  // Enter in the empty field does not print either: the prompt stays until Cancel.
  WhenPromptShows(
      [](JobNotePrompt& prompt) {
        prompt.Field(0)->setFocus();
        QTest::keyClick(prompt.Field(0), Qt::Key_Return);
        EXPECT_TRUE(prompt.isVisible());
        QTest::keyClick(&prompt, Qt::Key_Escape);
      },
      &shown);
  EXPECT_FALSE(window->PrintNow());
  EXPECT_TRUE(shown);
  EXPECT_EQ(JobCount(), before);

  // OK with a code prints one job whose ticket carries the code to the print server.
  WhenPromptShows(
      [](JobNotePrompt& prompt) {
        prompt.Field(0)->setFocus();
        // The code's character rule removes the letter; past its 16 digits nothing is taken.
        QTest::keyClicks(prompt.Field(0), "47x11");
        EXPECT_EQ(prompt.Field(0)->text(), "4711");
        EXPECT_EQ(prompt.Field(0)->echoMode(), QLineEdit::Normal);
        ASSERT_TRUE(prompt.OkButton()->isEnabled());
        QTest::mouseClick(prompt.OkButton(), Qt::LeftButton);
      },
      &shown);
  ASSERT_TRUE(window->PrintNow()) << window->Status().toStdString();
  EXPECT_TRUE(shown);
  ASSERT_EQ(window->Jobs().size(), 1u);
  EXPECT_EQ(JobCount(), before + 1);

  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (CupsServer::Shared().ReceivedJobs().size() == received &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  const std::vector<fs::path> jobs = CupsServer::Shared().ReceivedJobs();
  ASSERT_GT(jobs.size(), received);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));  // the last bytes may be on the way
  bool found = false;
  for (const fs::path& job : jobs) {
    std::ifstream in(job, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (text.find("%%KRAccount: (4711)") != std::string::npos) found = true;
  }
  EXPECT_TRUE(found) << "no job at the print server carries the account code";
  EXPECT_TRUE(alerts_.Shown().empty());
}

}  // namespace
