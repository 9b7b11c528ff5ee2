#include "panel/UI_PanelReturnTimer.h"

#include "platform/Log.h"

namespace quill {

void ImmediateJPReturnTimer::Arm(std::function<bool()>, std::function<void()> fire) {
  if (fire) fire();
}

void EventLoopJPReturnTimer::Arm(std::function<bool()> ready, std::function<void()> fire) {
  ready_ = std::move(ready);
  fire_ = std::move(fire);
  ticks_ = 0;
}

void EventLoopJPReturnTimer::Cancel() {
  ready_ = nullptr;
  fire_ = nullptr;
  ticks_ = 0;
}

bool EventLoopJPReturnTimer::Tick() {
  if (!fire_) return false;
  ++ticks_;
  const bool ready = ready_ && ready_();
  if (!ready && ticks_ < kMaxTicks) return false;
  if (!ready) PanelLog("TimerCheckForJPReturn: no result after %d checks; returning anyway", ticks_);
  std::function<void()> fire = std::move(fire_);
  Cancel();
  fire();
  return true;
}

}  // namespace quill
