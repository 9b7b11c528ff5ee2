// JPReturnTimer: how the panel learns that a job-properties run has returned. The run itself is
// synchronous, so the command line fires at once (ImmediateJPReturnTimer); a desktop panel polls
// from its event loop (EventLoopJPReturnTimer, ticked every 10 ms), firing once the run's result
// is in or, at the latest, after its tick limit, so a result that never comes cannot keep it
// polling.
#pragma once

#include <functional>

namespace quill {

class JPReturnTimer {
 public:
  virtual ~JPReturnTimer() = default;
  // Arranges for `fire` to run once `ready` answers true (a timer may fire earlier limits aside).
  // A new Arm replaces a pending one.
  virtual void Arm(std::function<bool()> ready, std::function<void()> fire) = 0;
  // Drops a pending arm without firing.
  virtual void Cancel() = 0;
  [[nodiscard]] virtual bool Pending() const = 0;
};

// Fires within Arm.
class ImmediateJPReturnTimer final : public JPReturnTimer {
 public:
  void Arm(std::function<bool()> ready, std::function<void()> fire) override;
  void Cancel() override {}
  [[nodiscard]] bool Pending() const override { return false; }
};

// Fires from Tick: when `ready` answers true, or on the kMaxTicks-th tick regardless.
class EventLoopJPReturnTimer final : public JPReturnTimer {
 public:
  static constexpr int kMaxTicks = 500;  // 5 s at 10 ms

  void Arm(std::function<bool()> ready, std::function<void()> fire) override;
  void Cancel() override;
  [[nodiscard]] bool Pending() const override { return static_cast<bool>(fire_); }
  // One tick of the event loop; true when it fired.
  bool Tick();

 private:
  std::function<bool()> ready_;
  std::function<void()> fire_;
  int ticks_ = 0;
};

}  // namespace quill
