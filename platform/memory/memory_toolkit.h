#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/memory/fault_plan.h"
#include "platform/memory/memory_clipboard.h"
#include "platform/memory/memory_notify_area.h"
#include "platform/memory/memory_settings_store.h"
#include "platform/memory/memory_window.h"
#include "platform/toolkit.h"

namespace tllink::platform::memory {

// The toolkit in memory, for tests: every property can be read, every call is recorded and any
// call named in `faults` fails.
class MemoryToolkit final : public Toolkit {
 public:
  MemoryToolkit() : settings_(faults) {}

  std::unique_ptr<Window> CreateAppWindow(const WindowLayout& layout,
                                          WindowEvents& events) override;
  std::unique_ptr<Timer> CreateTimer(Window& owner, int interval_ms,
                                     std::function<void()> on_tick) override;
  std::unique_ptr<Menu> CreatePopupMenu(const std::vector<MenuItemLayout>& items) override;
  std::unique_ptr<ClipboardWatch> WatchClipboard(Window& owner, ClipboardEvents events) override;
  void ShowMessage(std::u16string_view text, std::u16string_view caption) override;
  bool PreviousInstance() override;
  void EndNow() override;
  double TwipsPerPixelX() override { return twips_per_pixel_x; }
  bool SetForegroundWindow(WindowHandle window) override;
  Clipboard& GetClipboard() override { return clipboard; }
  SettingsStore& GetSettingsStore() override { return settings_; }
  NotifyArea& GetNotifyArea() override { return notify_area; }

  MemorySettingsStore& Settings() { return settings_; }

  struct Message {
    std::u16string text;
    std::u16string caption;
  };

  FaultPlan faults;
  MemoryClipboard clipboard;
  MemoryNotifyArea notify_area;
  MenuChooser menu_chooser;
  bool previous_instance = false;
  double twips_per_pixel_x = 15.0;
  // Whether the clipboard watch says it tells of every change, as the Linux desktop's does.
  bool clipboard_tells_every_change = false;

  std::vector<Message> messages;
  // Runs while a message box is open, as its modal loop would dispatch other events.
  std::function<void()> while_message_shown;
  std::vector<WindowHandle> foreground_calls;
  bool ended = false;
  int windows_created = 0;

 private:
  MemorySettingsStore settings_;
  WindowHandle next_handle_ = 0x100;
};

}  // namespace tllink::platform::memory
