#include "platform/qt/qt_timer.h"

namespace tllink::platform::qt {

QtTimer::QtTimer(int interval_ms, std::function<void()> on_tick, std::function<bool()> ending) {
  timer_.setInterval(interval_ms);
  // A timer of a few milliseconds (the clipboard settle time) wants millisecond accuracy.
  if (interval_ms < 20) timer_.setTimerType(Qt::PreciseTimer);
  QObject::connect(&timer_, &QTimer::timeout,
                   [on_tick = std::move(on_tick), ending = std::move(ending)] {
                     if (!ending()) on_tick();
                   });
}

void QtTimer::SetEnabled(bool enabled) {
  if (!enabled) {
    enabled_ = parked_ = false;
    timer_.stop();
    return;
  }
  if (enabled_ && !parked_) return;
  enabled_ = true;
  parked_ = false;
  timer_.start();
}

void QtTimer::SetParked(bool parked) {
  if (!enabled_ || parked == parked_) return;
  parked_ = parked;
  if (parked) {
    timer_.stop();
  } else {
    timer_.start();
  }
}

}  // namespace tllink::platform::qt
