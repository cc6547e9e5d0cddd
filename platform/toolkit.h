#pragma once

#include <functional>
#include <memory>
#include <string_view>
#include <vector>

#include "platform/clipboard.h"
#include "platform/menu.h"
#include "platform/notify_area.h"
#include "platform/settings_store.h"
#include "platform/timer.h"
#include "platform/window.h"

namespace tllink::platform {

// Everything the program needs from the desktop toolkit and the system. Calls that can fail
// throw Failure unless their result says otherwise.
class Toolkit {
 public:
  virtual ~Toolkit() = default;

  virtual std::unique_ptr<Window> CreateAppWindow(const WindowLayout& layout,
                                                  WindowEvents& events) = 0;
  virtual std::unique_ptr<Timer> CreateTimer(Window& owner, int interval_ms,
                                             std::function<void()> on_tick) = 0;
  virtual std::unique_ptr<Menu> CreatePopupMenu(const std::vector<MenuItemLayout>& items) = 0;
  // Calls `events` on the GUI thread until the watch is destroyed. A desktop that cannot tell
  // of changes gives no on_change calls.
  virtual std::unique_ptr<ClipboardWatch> WatchClipboard(Window& owner, ClipboardEvents events) = 0;

  // Text, an OK button only, `caption` as title; returns when dismissed.
  virtual void ShowMessage(std::u16string_view text, std::u16string_view caption) = 0;
  // True when another instance of the program runs for this user.
  virtual bool PreviousInstance() = 0;
  // Ends the program at once: no further handler, timer or callback runs. It may return to its
  // caller (on Linux the program leaves through its event loop), so callers return right after.
  virtual void EndNow() = 0;
  virtual double TwipsPerPixelX() = 0;
  virtual bool SetForegroundWindow(WindowHandle window) = 0;

  virtual Clipboard& GetClipboard() = 0;
  virtual SettingsStore& GetSettingsStore() = 0;
  virtual NotifyArea& GetNotifyArea() = 0;
};

}  // namespace tllink::platform
