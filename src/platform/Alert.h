// Alert: the modal alerts the panel shows (a message, an informative text and two buttons),
// behind an interface so that the panel layer runs without a toolkit. The headless presenter
// answers every alert with a configured button and records what it was shown; the desktop panel
// installs its own presenter.
#pragma once

#include <string>
#include <vector>

namespace quill {

struct AlertText {
  std::string message;
  std::string informative;
  std::string defaultButton;
  std::string alternateButton;
};

enum class AlertButton { kDefault, kAlternate };

class AlertPresenter {
 public:
  virtual ~AlertPresenter() = default;
  // Shows the alert and returns the button the user pressed.
  virtual AlertButton Show(const AlertText& text) = 0;
};

// Answers every alert with a configured button and records what it was shown.
class HeadlessAlertPresenter : public AlertPresenter {
 public:
  explicit HeadlessAlertPresenter(AlertButton answer = AlertButton::kDefault);
  AlertButton Show(const AlertText& text) override;
  void SetAnswer(AlertButton answer);
  // Every alert shown so far, oldest first.
  [[nodiscard]] const std::vector<AlertText>& Shown() const;
  void ClearShown();

 private:
  AlertButton answer_;
  std::vector<AlertText> shown_;
};

// The presenter the panel layer uses: a process-wide headless one answering kDefault unless one
// was set.
AlertPresenter& CurrentAlertPresenter();
// Installs `presenter` (not owned; it must outlive its use); null restores the default one.
void SetAlertPresenter(AlertPresenter* presenter);

}  // namespace quill
