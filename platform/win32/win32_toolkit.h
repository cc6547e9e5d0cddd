#pragma once

#include <windows.h>

#include "platform/toolkit.h"
#include "platform/win32/handles.h"
#include "platform/win32/registry_settings_store.h"
#include "platform/win32/shell_notify_area.h"
#include "platform/win32/single_instance.h"
#include "platform/win32/win32_clipboard.h"

namespace tllink::platform::win32 {

// The toolkit on the Windows desktop: real windows, menus, timers and message boxes, the
// clipboard, the registry and the notification area.
class Win32Toolkit final : public Toolkit {
 public:
  explicit Win32Toolkit(HINSTANCE instance) : instance_(instance) {}

  std::unique_ptr<Window> CreateAppWindow(const WindowLayout& layout,
                                          WindowEvents& events) override;
  std::unique_ptr<Timer> CreateTimer(Window& owner, int interval_ms,
                                     std::function<void()> on_tick) override;
  std::unique_ptr<Menu> CreatePopupMenu(const std::vector<MenuItemLayout>& items) override;
  std::unique_ptr<ClipboardWatch> WatchClipboard(Window& owner, ClipboardEvents events) override;
  void ShowMessage(std::u16string_view text, std::u16string_view caption) override;
  bool PreviousInstance() override;
  [[noreturn]] void EndNow() override;
  double TwipsPerPixelX() override;
  bool SetForegroundWindow(WindowHandle window) override;
  Clipboard& GetClipboard() override { return clipboard_; }
  SettingsStore& GetSettingsStore() override { return settings_; }
  NotifyArea& GetNotifyArea() override { return notify_area_; }

 private:
  // Classes and icons are made when the first window needs them, so that their failure is
  // reported like any other.
  void PrepareWindows();

  HINSTANCE instance_;
  UniqueIcon big_icon_;
  UniqueIcon small_icon_;
  bool clipboard_has_notify_window_ = false;
  Win32Clipboard clipboard_;
  RegistrySettingsStore settings_;
  ShellNotifyArea notify_area_;
  SingleInstance single_instance_;
};

}  // namespace tllink::platform::win32
