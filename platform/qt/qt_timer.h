#pragma once

#include <QTimer>
#include <functional>

#include "platform/timer.h"

namespace tllink::platform::qt {

// A QTimer on the GUI thread. Ticks cannot overlap: a tick that opens a nested event loop is
// the portable layer's to guard.
class QtTimer final : public Timer {
 public:
  QtTimer(int interval_ms, std::function<void()> on_tick, std::function<bool()> ending);

  bool Enabled() const override { return enabled_; }
  void SetEnabled(bool enabled) override;
  // A parked timer is stopped: the event loop has no timer of it to wake up for.
  void SetParked(bool parked) override;

 private:
  QTimer timer_;
  bool enabled_ = false;
  bool parked_ = false;
};

}  // namespace tllink::platform::qt
