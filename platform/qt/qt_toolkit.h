#pragma once

#include <QIcon>
#include <memory>
#include <string>

#include "platform/desktop/desktop_clipboard.h"
#include "platform/qt/control_font.h"
#include "platform/qt/qt_notify_area.h"
#include "platform/qt/qt_settings_store.h"
#include "platform/qt/single_instance.h"
#include "platform/toolkit.h"

namespace tllink::platform::qt {

using desktop::DesktopClipboard;

struct QtToolkitOptions {
  // While no tray can bring it back, hiding the main window minimises it instead.
  bool keep_main_window_reachable = true;
  std::string lock_path;  // empty: SingleInstance's default
  // Faces preferred for the Latin letters of the windows, the first one installed.
  QStringList latin_faces = WindowsLikeLatinFaces();
};

// The toolkit on a Linux desktop with Qt 6 Widgets. Needs a QApplication.
class QtToolkit final : public Toolkit {
 public:
  explicit QtToolkit(QtToolkitOptions options = {});

  std::unique_ptr<Window> CreateAppWindow(const WindowLayout& layout,
                                          WindowEvents& events) override;
  std::unique_ptr<Timer> CreateTimer(Window& owner, int interval_ms,
                                     std::function<void()> on_tick) override;
  std::unique_ptr<Menu> CreatePopupMenu(const std::vector<MenuItemLayout>& items) override;
  std::unique_ptr<ClipboardWatch> WatchClipboard(Window& owner, ClipboardEvents events) override;
  void ShowMessage(std::u16string_view text, std::u16string_view caption) override;
  bool PreviousInstance() override;
  // Stops every handler from running and leaves the event loop, returning to its caller: the
  // program then ends through its ordinary exit, where a clipboard manager can take over what
  // it put on the clipboard (on X11 that content goes with its owner otherwise).
  void EndNow() override;
  double TwipsPerPixelX() override;
  bool SetForegroundWindow(WindowHandle window) override;
  Clipboard& GetClipboard() override { return *clipboard_; }
  SettingsStore& GetSettingsStore() override { return settings_; }
  NotifyArea& GetNotifyArea() override { return notify_area_; }

  bool Ending() const { return ending_; }
  bool SeesOtherProgramsCopies() const { return clipboard_->SeesOtherProgramsCopies(); }
  QtNotifyArea& TrayIcons() { return notify_area_; }
  const QIcon& ProgramIcon() const { return icon_; }

 private:
  static constexpr IconHandle kProgramIcon = 1;

  QtToolkitOptions options_;
  QIcon icon_;
  bool ending_ = false;
  WindowHandle main_window_ = 0;
  std::unique_ptr<DesktopClipboard> clipboard_;
  QtSettingsStore settings_;
  QtNotifyArea notify_area_;
  SingleInstance single_instance_;
};

}  // namespace tllink::platform::qt
