#pragma once

#include <windows.h>

#include <functional>

#include "platform/timer.h"

namespace tllink::platform::win32 {

// A SetTimer timer on its owner window. The owner's window procedure hands every WM_TIMER to
// DispatchTick, which finds the timer by its process-wide id.
class Win32Timer final : public Timer {
 public:
  Win32Timer(HWND owner, UINT interval_ms, std::function<void()> on_tick);
  ~Win32Timer() override;
  Win32Timer(const Win32Timer&) = delete;
  Win32Timer& operator=(const Win32Timer&) = delete;

  bool Enabled() const override { return enabled_; }
  void SetEnabled(bool enabled) override;

  // Runs the tick of the timer with `id`; false when no timer of this program has that id.
  static bool DispatchTick(UINT_PTR id);

 private:
  void Tick();

  HWND owner_;
  UINT_PTR id_;
  UINT interval_ms_;
  std::function<void()> on_tick_;
  bool enabled_ = false;
};

}  // namespace tllink::platform::win32
