#pragma once

#include <functional>

namespace tllink::platform {

// A periodic timer on the GUI thread. It starts disabled.
class Timer {
 public:
  virtual ~Timer() = default;
  virtual bool Enabled() const = 0;
  virtual void SetEnabled(bool enabled) = 0;
};

}  // namespace tllink::platform
