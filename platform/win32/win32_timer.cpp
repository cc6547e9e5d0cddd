#include "platform/win32/win32_timer.h"

#include <algorithm>
#include <map>
#include <vector>

#include "platform/failure.h"

namespace tllink::platform::win32 {

namespace {

// Timers live on the GUI thread only, so the table needs no lock.
std::map<UINT_PTR, Win32Timer*>& Timers() {
  static std::map<UINT_PTR, Win32Timer*> timers;
  return timers;
}

UINT_PTR NextTimerId() {
  static UINT_PTR next = 1;
  return next++;
}

}  // namespace

Win32Timer::Win32Timer(HWND owner, UINT interval_ms, std::function<void()> on_tick)
    : owner_(owner), id_(NextTimerId()), interval_ms_(interval_ms), on_tick_(std::move(on_tick)) {
  Timers()[id_] = this;
}

Win32Timer::~Win32Timer() {
  if (enabled_ && !parked_) Stop();
  Timers().erase(id_);
}

void Win32Timer::Start() {
  if (Short()) {
    due_ = Clock::now() + std::chrono::milliseconds(interval_ms_);
  } else if (::SetTimer(owner_, id_, interval_ms_, nullptr) == 0) {
    throw Failure(u"無法啟動計時器");
  }
}

void Win32Timer::Stop() {
  if (!Short()) ::KillTimer(owner_, id_);
}

void Win32Timer::SetEnabled(bool enabled) {
  if (!enabled) {
    if (enabled_ && !parked_) Stop();
    enabled_ = parked_ = false;
    return;
  }
  // Enabling a parked timer brings its ticks back.
  if (enabled_ && !parked_) return;
  Start();
  enabled_ = true;
  parked_ = false;
}

void Win32Timer::SetParked(bool parked) {
  if (!enabled_ || parked == parked_) return;
  if (parked) {
    Stop();
  } else {
    Start();
  }
  parked_ = parked;
}

bool Win32Timer::DispatchTick(UINT_PTR id) {
  const auto found = Timers().find(id);
  if (found == Timers().end()) return false;
  found->second->Tick();
  return true;
}

DWORD Win32Timer::MsUntilShortTick() {
  DWORD wait = INFINITE;
  const Clock::time_point now = Clock::now();
  for (const auto& [id, timer] : Timers()) {
    if (!timer->enabled_ || timer->parked_ || !timer->Short()) continue;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(timer->due_ - now).count();
    wait = std::min(wait, static_cast<DWORD>(std::max<decltype(left)>(left, 0)));
  }
  return wait;
}

void Win32Timer::RunDueShortTicks() {
  const Clock::time_point now = Clock::now();
  std::vector<UINT_PTR> due;
  for (const auto& [id, timer] : Timers()) {
    if (timer->enabled_ && !timer->parked_ && timer->Short() && timer->due_ <= now) {
      due.push_back(id);
    }
  }
  // A tick may create, destroy, enable or disable timers: each is looked up afresh.
  for (const UINT_PTR id : due) {
    const auto found = Timers().find(id);
    if (found == Timers().end() || !found->second->enabled_ || found->second->parked_) continue;
    Win32Timer& timer = *found->second;
    timer.due_ = now + std::chrono::milliseconds(timer.interval_ms_);
    timer.Tick();
  }
}

void Win32Timer::Tick() {
  // A WM_TIMER already queued when the timer was disabled or parked is dropped.
  if (enabled_ && !parked_) on_tick_();
}

}  // namespace tllink::platform::win32
