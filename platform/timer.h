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
};

}  // namespace tllink::platform
