#pragma once

#include <QIcon>
#include <QSystemTrayIcon>
#include <functional>
#include <map>
#include <memory>

#include "platform/notify_area.h"

namespace tllink::platform::qt {

// The notification-area records carried out with QSystemTrayIcon, one per (owner, id).
class QtNotifyArea final : public NotifyArea {
 public:
  using IconLookup = std::function<QIcon(IconHandle)>;
  // Receives the tray's mouse messages (Windows numbering) for the owner window.
  using Callback = std::function<void(WindowHandle owner, std::uint32_t message)>;

  QtNotifyArea(IconLookup icon_of, Callback callback)
      : icon_of_(std::move(icon_of)), callback_(std::move(callback)) {}

  bool ShellNotifyIcon(NotifyMessage message, const NotifyIconData& data) override;

  // The icon shown for (owner, id), if any.
  QSystemTrayIcon* Icon(WindowHandle owner, std::uint32_t id) const;

 private:
  using Key = std::pair<WindowHandle, std::uint32_t>;
  bool Add(const NotifyIconData& data);
  bool Modify(const NotifyIconData& data);

  IconLookup icon_of_;
  Callback callback_;
  std::map<Key, std::unique_ptr<QSystemTrayIcon>> icons_;
};

}  // namespace tllink::platform::qt
