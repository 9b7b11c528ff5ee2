// The account prompt at print time: who is asked what, OK, Cancel, Always, the length limit on
// a character boundary, the preferences record without passwords, and a required code that is
// never sent empty.
#include <gmock/gmock.h>

#include "PPDX/PPDObjects/Controls/PPDXPopupControl.h"
#include "lifecycle/LifecycleFixture.h"

namespace quill::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

constexpr const char* kTicketKey = "KRT.PSData.org.quill.print.QuillFeaturesPDE";

// The accounting queue: job tracking on, account setting 1, three pop-up notes (account number
// 16 digits and required, PIN 4 digits and a password, department 6 characters).
class PopupJobNoteTest : public LifecycleTest {
 protected:
  void SetUp() override {
    LifecycleTest::SetUp();
    dialog_ = Dialog(FixturePath("Accounting.ppd"));
  }
  void TearDown() override {
    panel_.reset();
    LifecycleTest::TearDown();
  }
  QuillFeaturesPDE& Open(PopupJobNotePresenter* presenter) {
    QuillFeaturesPDEOptions options;
    options.popupPresenter = presenter;
    std::string why;
    panel_ = QuillFeaturesPDE::initWithCallback(dialog_.get(), options, &why);
    EXPECT_NE(panel_, nullptr) << why;
    return *panel_;
  }
  std::string Text(const char* keyword) {
    const char* text = Note(*panel_, keyword)->GetNotes();
    return text != nullptr ? text : "";
  }
  bool TicketStored() const { return dialog_->Settings().Contains(kTicketKey); }

  std::unique_ptr<PrintDialogCallback> dialog_;
  std::unique_ptr<QuillFeaturesPDE> panel_;
};

TEST_F(PopupJobNoteTest, OKSetsTheCodesPrintsAndKeepsThePasswordOutOfThePreferences) {
  HeadlessPopupJobNotePresenter presenter(HeadlessPopupJobNotePresenter::Answer::kOK,
                                          {"12345", "4321", "Sales"});
  QuillFeaturesPDE& panel = Open(&presenter);
  ASSERT_TRUE(panel.shouldPrint()) << panel.LastPrintError();
  ASSERT_EQ(presenter.ShownWindows().size(), 1u);
  const auto& shown = presenter.ShownWindows()[0];
  // The title is the PPD's sub-group name for the prompt, as the parser keeps it.
  EXPECT_EQ(shown.title, "Accounting ");
  ASSERT_EQ(shown.fields.size(), 3u);
  EXPECT_EQ(shown.fields[0].keyword, "*KRAccount");
  EXPECT_EQ(shown.fields[0].label, "Account Number");
  EXPECT_TRUE(shown.fields[0].required);
  EXPECT_FALSE(shown.fields[0].secure);
  EXPECT_EQ(shown.fields[1].keyword, "*KRAccountPIN");
  EXPECT_TRUE(shown.fields[1].secure);
  EXPECT_EQ(shown.fields[1].maxLength, 4);
  EXPECT_EQ(shown.fields[2].maxLength, 6);

  EXPECT_EQ(Text("*KRAccount"), "12345");
  EXPECT_EQ(Text("*KRAccountPIN"), "4321");
  EXPECT_EQ(Text("*KRDepartment"), "Sales");
  EXPECT_TRUE(panel.isDocumentPrinting());
  EXPECT_TRUE(TicketStored());
  // The record: job tracking on, setting 1, show-last off, then keyword and text per slot; the
  // PIN's line stays empty.
  EXPECT_EQ(panel.LastPrefsRecord(),
            "110*KRAccount\n12345\n*KRAccountPIN\n\n*KRDepartment\nSales\n\n\n\n\n");
  EXPECT_THAT(panel.LastPrefsRecord(), Not(HasSubstr("4321")));
  EXPECT_TRUE(alerts_.Shown().empty());
}

TEST_F(PopupJobNoteTest, CancelPrintsNothingAndSaysNothing) {
  HeadlessPopupJobNotePresenter presenter(HeadlessPopupJobNotePresenter::Answer::kCancel,
                                          {"12345"});
  QuillFeaturesPDE& panel = Open(&presenter);
  EXPECT_FALSE(panel.shouldPrint());
  EXPECT_EQ(presenter.ShownWindows().size(), 1u);
  EXPECT_FALSE(panel.isDocumentPrinting());
  EXPECT_FALSE(TicketStored());
  EXPECT_TRUE(alerts_.Shown().empty());
  EXPECT_EQ(Text("*KRAccount"), "");
}

TEST_F(PopupJobNoteTest, APromptThatCannotBeShownRefusesThePrintWithAnAlert) {
  // The default presenter cannot ask anyone.
  QuillFeaturesPDE& panel = Open(nullptr);
  EXPECT_FALSE(panel.shouldPrint());
  EXPECT_FALSE(TicketStored());
  ASSERT_EQ(alerts_.Shown().size(), 1u);
  EXPECT_THAT(alerts_.Shown()[0].message, HasSubstr("account codes could not be asked for"));
}

TEST_F(PopupJobNoteTest, AnEmptyRequiredCodeIsRefusedNotPrinted) {
  HeadlessPopupJobNotePresenter presenter(HeadlessPopupJobNotePresenter::Answer::kOK,
                                          {"", "4321", "Sales"});
  QuillFeaturesPDE& panel = Open(&presenter);
  EXPECT_FALSE(panel.shouldPrint());
  ASSERT_EQ(presenter.ShownWindows().size(), 1u);
  EXPECT_EQ(presenter.ShownWindows()[0].refusal, "Account Number needs a text");
  EXPECT_FALSE(TicketStored());
  EXPECT_EQ(alerts_.Shown().size(), 1u);
  // Nothing of the refused answer was taken.
  EXPECT_EQ(Text("*KRAccountPIN"), "");
}

TEST_F(PopupJobNoteTest, ARequiredCodeIsAskedForEvenWithoutTheAccountControls) {
  // The sample queue has the required pop-up note but neither account setting nor show-last:
  // the prompt still asks for the code instead of printing without it.
  dialog_ = Dialog(ExamplePath("QuillSample.ppd"));
  HeadlessPopupJobNotePresenter presenter(HeadlessPopupJobNotePresenter::Answer::kOK, {"777"});
  QuillFeaturesPDE& panel = Open(&presenter);
  ASSERT_TRUE(panel.shouldPrint()) << panel.LastPrintError();
  ASSERT_EQ(presenter.ShownWindows().size(), 1u);
  ASSERT_EQ(presenter.ShownWindows()[0].fields.size(), 1u);
  EXPECT_EQ(presenter.ShownWindows()[0].fields[0].keyword, "*KRAccount");
  EXPECT_EQ(Text("*KRAccount"), "777");
}

TEST_F(PopupJobNoteTest, AccountSettingTwoPrintsWithoutAPromptAndWritesThePreferences) {
  QuillFeaturesPDE& panel = Open(nullptr);  // a prompt would refuse the print
  panel.getPPDPtr()->GetPPDXControlForKey("*KRAccountSetting")->SetCurrentControlWithCFString("2");
  Note(panel, "*KRAccount")->SetCurrentControlWithCFString("999");
  Note(panel, "*KRAccountPIN")->SetCurrentControlWithCFString("1234");
  ASSERT_TRUE(panel.shouldPrint()) << panel.LastPrintError();
  EXPECT_TRUE(alerts_.Shown().empty());
  EXPECT_EQ(panel.LastPrefsRecord().substr(0, 3), "120");
  EXPECT_THAT(panel.LastPrefsRecord(), HasSubstr("*KRAccount\n999\n"));
  EXPECT_THAT(panel.LastPrefsRecord(), Not(HasSubstr("1234")));
  EXPECT_EQ(Globals().popupJobNotePrefs.setting, '2');
}

TEST_F(PopupJobNoteTest, AlwaysSwitchesTheAccountSettingBetweenOneAndTwo) {
  HeadlessPopupJobNotePresenter presenter(HeadlessPopupJobNotePresenter::Answer::kOK,
                                          {"12345", "", ""}, /*pressAlways=*/true);
  QuillFeaturesPDE& panel = Open(&presenter);
  ASSERT_TRUE(panel.shouldPrint()) << panel.LastPrintError();
  EXPECT_EQ(Value(panel, "*KRAccountSetting"), "2");
  EXPECT_EQ(panel.LastPrefsRecord().substr(0, 3), "120");

  // The window's own button, twice: back to 1.
  std::vector<PPDXJobNote*> notes{Note(panel, "*KRAccount")};
  PopupJobNoteWindow window(*panel.getPPDPtr(), notes, "");
  ASSERT_TRUE(window.HasAlways());
  EXPECT_TRUE(window.AlwaysOn());
  window.Always();
  EXPECT_EQ(Value(panel, "*KRAccountSetting"), "1");
  EXPECT_FALSE(window.AlwaysOn());
  window.Always();
  EXPECT_EQ(Value(panel, "*KRAccountSetting"), "2");
}

TEST_F(PopupJobNoteTest, TypedTextIsCutToTheNotesLimitOnACharacterBoundary) {
  struct Presenter : PopupJobNotePresenter {
    QuillFeaturesPDE* panel = nullptr;
    std::vector<std::string> shown;
    bool Run(PopupJobNoteWindow& window) override {
      // The front end forwards each change of a field to the controller.
      shown.push_back(panel->controlTextDidChange(0, "1234567890123456789"));  // 16 digits
      shown.push_back(panel->controlTextDidChange(1, "123456"));               // 4 digits
      shown.push_back(panel->controlTextDidChange(2, "\xC3\xA9t\xC3\xA9 \xC3\xA0 Paris"));
      return window.OK();
    }
  } presenter;
  QuillFeaturesPDE& panel = Open(&presenter);
  presenter.panel = &panel;
  ASSERT_TRUE(panel.shouldPrint()) << panel.LastPrintError();
  ASSERT_EQ(presenter.shown.size(), 3u);
  EXPECT_EQ(presenter.shown[0], "1234567890123456");
  EXPECT_EQ(presenter.shown[1], "1234");
  EXPECT_EQ(presenter.shown[2], "\xC3\xA9t\xC3\xA9 \xC3\xA0 ");  // six characters, nine bytes
  EXPECT_EQ(Value(panel, "*KRDepartment"), "\xC3\xA9t\xC3\xA9 \xC3\xA0 ");
}

TEST(PopupJobNoteWindowCut, NeverInsideACharacter) {
  struct Case {
    const char* text;
    std::size_t characters;
    std::size_t bytes;
    const char* cut;
  };
  const Case cases[] = {
      {"abcdef", 4, 100, "abcd"},
      {"abcdef", 0, 3, "abc"},
      {"\xC3\xA9\xC3\xA9", 0, 3, "\xC3\xA9"},              // a two-byte character never halved
      {"\xE2\x82\xAC\xE2\x82\xAC", 2, 5, "\xE2\x82\xAC"},  // the byte limit wins
      {"\xF0\x9F\x96\xA8x", 1, 100, "\xF0\x9F\x96\xA8"},   // four bytes, one character
      {"ab\xC3", 0, 100, "ab"},                            // a cut sequence ends the text
      {"ab\xFFz", 0, 100, "ab"},                           // so does a byte of no character
      {"a\xC0\xAF", 0, 100, "a"},                          // and an overlong form
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PopupJobNoteWindow::CutText(c.text, c.characters, c.bytes), c.cut) << c.text;
  }
}

}  // namespace
}  // namespace quill::testing
