#include "platform/win32/win32_toolkit.h"

#include "platform/failure.h"
#include "platform/win32/dpi.h"
#include "platform/win32/res/resource.h"
#include "platform/win32/win32_clipboard_watch.h"
#include "platform/win32/win32_menu.h"
#include "platform/win32/win32_timer.h"
#include "platform/win32/win32_window.h"

namespace tllink::platform::win32 {

namespace {

UniqueIcon LoadProgramIcon(HINSTANCE instance, int width_metric, int height_metric) {
  UniqueIcon icon(static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(IDI_TLLINK),
                                                  IMAGE_ICON, ::GetSystemMetrics(width_metric),
                                                  ::GetSystemMetrics(height_metric), 0)));
  if (!icon) throw Failure(u"無法載入程式圖示");
  return icon;
}

}  // namespace

void Win32Toolkit::PrepareWindows() {
  if (!big_icon_) big_icon_ = LoadProgramIcon(instance_, SM_CXICON, SM_CYICON);
  if (!small_icon_) small_icon_ = LoadProgramIcon(instance_, SM_CXSMICON, SM_CYSMICON);
  Win32Window::RegisterClasses(instance_);
}

std::unique_ptr<Window> Win32Toolkit::CreateAppWindow(const WindowLayout& layout,
                                                      WindowEvents& events) {
  PrepareWindows();
  const WindowEnvironment environment{instance_, big_icon_.get(), small_icon_.get()};
  auto window = std::make_unique<Win32Window>(layout, events, environment);
  // The first window is the main one; it lives as long as the program and hears of the
  // clipboard thread's results.
  if (!clipboard_has_notify_window_) {
    clipboard_.SetNotifyWindow(window->Hwnd());
    clipboard_has_notify_window_ = true;
  }
  return window;
}

std::unique_ptr<Timer> Win32Toolkit::CreateTimer(Window& owner, int interval_ms,
                                                 std::function<void()> on_tick) {
  if (interval_ms <= 0) throw Failure(u"無法啟動計時器");
  const auto owner_window = reinterpret_cast<HWND>(owner.Handle());
  return std::make_unique<Win32Timer>(owner_window, static_cast<UINT>(interval_ms),
                                      std::move(on_tick));
}

std::unique_ptr<ClipboardWatch> Win32Toolkit::WatchClipboard(Window& owner,
                                                             ClipboardEvents events) {
  return std::make_unique<Win32ClipboardWatch>(reinterpret_cast<HWND>(owner.Handle()),
                                               std::move(events));
}

std::unique_ptr<Menu> Win32Toolkit::CreatePopupMenu(const std::vector<MenuItemLayout>& items) {
  return std::make_unique<Win32Menu>(items);
}

void Win32Toolkit::ShowMessage(std::u16string_view text, std::u16string_view caption) {
  // Modal to the window the user is working in; with none shown, the box stands alone.
  HWND owner = ::GetActiveWindow();
  if (owner != nullptr && !::IsWindowVisible(owner)) owner = nullptr;
  const std::u16string terminated_text(text);
  const std::u16string terminated_caption(caption);
  ::MessageBoxW(owner, Wide(terminated_text), Wide(terminated_caption),
                MB_OK | MB_ICONINFORMATION | MB_SETFOREGROUND);
}

bool Win32Toolkit::PreviousInstance() {
  return single_instance_.AnotherInstanceRunning();
}

void Win32Toolkit::EndNow() {
  ::ExitProcess(0);
}

double Win32Toolkit::TwipsPerPixelX() {
  return ScreenTwipsPerPixelX();
}

bool Win32Toolkit::SetForegroundWindow(WindowHandle window) {
  return ::SetForegroundWindow(reinterpret_cast<HWND>(window)) != FALSE;
}

}  // namespace tllink::platform::win32
