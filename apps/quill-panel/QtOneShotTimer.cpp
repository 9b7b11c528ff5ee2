#include "QtOneShotTimer.h"

#include <utility>

QtOneShotTimer::QtOneShotTimer()
{
  timer_.setSingleShot(true);
  QObject::connect(&timer_, &QTimer::timeout, [this] {
    // Taken out first: the callback may schedule again.
    auto fire = std::move(fire_);
    fire_ = nullptr;
    if (fire) fire();
  });
}

void QtOneShotTimer::Schedule(std::chrono::milliseconds delay, std::function<void()> fire)
{
  fire_ = std::move(fire);
  timer_.start(delay);
}

void QtOneShotTimer::Cancel()
{
  timer_.stop();
  fire_ = nullptr;
}
