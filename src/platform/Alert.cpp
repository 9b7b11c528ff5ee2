#include "platform/Alert.h"

namespace quill {
namespace {

HeadlessAlertPresenter& default_presenter() {
  static HeadlessAlertPresenter presenter;
  return presenter;
}

AlertPresenter*& installed_presenter() {
  static AlertPresenter* presenter = nullptr;
  return presenter;
}

}  // namespace

HeadlessAlertPresenter::HeadlessAlertPresenter(AlertButton answer) : answer_(answer) {}

AlertButton HeadlessAlertPresenter::Show(const AlertText& text) {
  shown_.push_back(text);
  return answer_;
}

void HeadlessAlertPresenter::SetAnswer(AlertButton answer) { answer_ = answer; }
const std::vector<AlertText>& HeadlessAlertPresenter::Shown() const { return shown_; }
void HeadlessAlertPresenter::ClearShown() { shown_.clear(); }

AlertPresenter& CurrentAlertPresenter() {
  AlertPresenter* presenter = installed_presenter();
  return presenter != nullptr ? *presenter : default_presenter();
}

void SetAlertPresenter(AlertPresenter* presenter) { installed_presenter() = presenter; }

}  // namespace quill
