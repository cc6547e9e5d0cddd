#pragma once

#include <functional>

namespace tllink::platform {

// A periodic timer on the GUI thread. It starts disabled; enabling it starts a full interval, so
// disabling and enabling it again restarts the count. Its ticks go on inside modal loops (menus,
// message boxes), also one that a tick opened: keeping ticks apart is the owner's job.
class Timer {
 public:
  virtual ~Timer() = default;
  virtual bool Enabled() const = 0;
  virtual void SetEnabled(bool enabled) = 0;
  // Parked: the owner has nothing to look for until some event of its own runs it, so the
  // toolkit may hold the ticks, and the process sleeps. A parked timer stays enabled; unparking
  // it, or enabling it (also when it is enabled already), brings its ticks back a full interval
  // later, and disabling it ends the parking. A toolkit may go on ticking instead.
  virtual void SetParked(bool) {}
};

}  // namespace tllink::platform
