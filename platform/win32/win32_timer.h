#pragma once

#include <windows.h>

#include <chrono>
#include <functional>

#include "platform/timer.h"

namespace tllink::platform::win32 {

// A timer on its owner window. From USER_TIMER_MINIMUM (10 ms) up it is a SetTimer timer, and
// the owner's window procedure hands every WM_TIMER to DispatchTick, which finds the timer by its
// process-wide id. SetTimer cannot go shorter, so a shorter timer is kept by the program's own
// message loop (MsUntilShortTick, RunDueShortTicks); it does not tick inside modal loops.
class Win32Timer final : public Timer {
 public:
  Win32Timer(HWND owner, UINT interval_ms, std::function<void()> on_tick);
  ~Win32Timer() override;
  Win32Timer(const Win32Timer&) = delete;
  Win32Timer& operator=(const Win32Timer&) = delete;

  bool Enabled() const override { return enabled_; }
  void SetEnabled(bool enabled) override;
  // A parked timer keeps no system timer: the process sleeps until a message comes.
  void SetParked(bool parked) override;

  // Runs the tick of the timer with `id`; false when no timer of this program has that id.
  static bool DispatchTick(UINT_PTR id);
  // For the message loop: how long it may wait for messages before a short timer is due.
  static DWORD MsUntilShortTick();
  // For the message loop: runs the short timers that are due.
  static void RunDueShortTicks();

 private:
  using Clock = std::chrono::steady_clock;

  bool Short() const { return interval_ms_ < USER_TIMER_MINIMUM; }
  void Tick();
  // Starts the system timer or the short timer's count, a full interval from now.
  void Start();
  void Stop();

  HWND owner_;
  UINT_PTR id_;
  UINT interval_ms_;
  std::function<void()> on_tick_;
  bool enabled_ = false;
  bool parked_ = false;
  Clock::time_point due_;  // short timers only
};

}  // namespace tllink::platform::win32
