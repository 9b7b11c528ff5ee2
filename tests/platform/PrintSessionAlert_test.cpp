#include <gtest/gtest.h>

#include "platform/Alert.h"
#include "platform/PrintSession.h"

namespace quill {
namespace {

TEST(PrintSession, HoldsTheCurrentPrinterUntilReset) {
  PrintSession::Reset();
  EXPECT_EQ(PrintSession::Current().CurrentPrinter(), nullptr);
  PrintSession::Current().SetCurrentPrinter(Printer("q1"));
  ASSERT_NE(PrintSession::Current().CurrentPrinter(), nullptr);
  EXPECT_EQ(PrintSession::Current().CurrentPrinter()->Name(), "q1");
  PrintSession::Current().SetCurrentPrinter(std::nullopt);
  EXPECT_EQ(PrintSession::Current().CurrentPrinter(), nullptr);
  PrintSession::Current().SetCurrentPrinter(Printer("q2"));
  PrintSession::Reset();
  EXPECT_EQ(PrintSession::Current().CurrentPrinter(), nullptr);
}

TEST(Alert, HeadlessPresenterAnswersAndRecords) {
  HeadlessAlertPresenter presenter(AlertButton::kAlternate);
  SetAlertPresenter(&presenter);
  const AlertText text{"Message", "Informative", "Continue", "Cancel"};
  EXPECT_EQ(CurrentAlertPresenter().Show(text), AlertButton::kAlternate);
  presenter.SetAnswer(AlertButton::kDefault);
  EXPECT_EQ(CurrentAlertPresenter().Show(text), AlertButton::kDefault);
  ASSERT_EQ(presenter.Shown().size(), 2u);
  EXPECT_EQ(presenter.Shown()[0].informative, "Informative");
  EXPECT_EQ(presenter.Shown()[1].alternateButton, "Cancel");

  // Without one set, the default presenter answers with the default button.
  SetAlertPresenter(nullptr);
  EXPECT_EQ(CurrentAlertPresenter().Show(text), AlertButton::kDefault);
}

}  // namespace
}  // namespace quill
