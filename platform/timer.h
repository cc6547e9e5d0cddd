#pragma once

#include <functional>

namespace tllink::platform {

// A periodic timer on the GUI thread. It starts disabled. Its ticks go on inside modal loops
// (menus, message boxes), also one that a tick opened: keeping ticks apart is the owner's job.
class Timer {
 public:
  virtual ~Timer() = default;
  virtual bool Enabled() const = 0;
  virtual void SetEnabled(bool enabled) = 0;
};

}  // namespace tllink::platform
