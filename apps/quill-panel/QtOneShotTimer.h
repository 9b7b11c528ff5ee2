// QtOneShotTimer: the browse window's progress timer on the Qt event loop. It fires on the thread
// that owns it, once, unless scheduled again or cancelled before.
#pragma once

#include <QTimer>
#include <chrono>
#include <functional>

#include "connection/ServiceBrowser.h"

class QtOneShotTimer : public quill::OneShotTimer {
 public:
  QtOneShotTimer();
  void Schedule(std::chrono::milliseconds delay, std::function<void()> fire) override;
  void Cancel() override;
  [[nodiscard]] bool IsPending() const { return timer_.isActive(); }

 private:
  QTimer timer_;
  std::function<void()> fire_;
};
