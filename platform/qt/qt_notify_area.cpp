#include "platform/qt/qt_notify_area.h"

#include "platform/desktop/qt_text.h"

namespace tllink::platform::qt {

using desktop::ToQString;

namespace {

// The mouse messages the Windows shell sends for its tray icons.
constexpr std::uint32_t kLeftButtonUp = 0x202;
constexpr std::uint32_t kLeftButtonDoubleClick = 0x203;
constexpr std::uint32_t kRightButtonUp = 0x205;
constexpr std::uint32_t kMiddleButtonUp = 0x208;
constexpr std::uint32_t kBalloonUserClick = 0x405;  // NIN_BALLOONUSERCLICK

std::optional<std::uint32_t> MouseMessage(QSystemTrayIcon::ActivationReason reason) {
  switch (reason) {
    case QSystemTrayIcon::Context:
      return kRightButtonUp;
    case QSystemTrayIcon::Trigger:
      return kLeftButtonUp;
    case QSystemTrayIcon::DoubleClick:
      return kLeftButtonDoubleClick;
    case QSystemTrayIcon::MiddleClick:
      return kMiddleButtonUp;
    case QSystemTrayIcon::Unknown:
      break;
  }
  return std::nullopt;
}

QSystemTrayIcon::MessageIcon BalloonIcon(std::uint32_t info_flags) {
  switch (info_flags & 0xF) {
    case 1:
      return QSystemTrayIcon::Information;
    case 2:
      return QSystemTrayIcon::Warning;
    case 3:
      return QSystemTrayIcon::Critical;
    default:
      return QSystemTrayIcon::NoIcon;
  }
}

}  // namespace

bool QtNotifyArea::ShellNotifyIcon(NotifyMessage message, const NotifyIconData& data) {
  switch (message) {
    case NotifyMessage::Add:
      return Add(data);
    case NotifyMessage::Modify:
      return Modify(data);
    case NotifyMessage::Delete: {
      const auto found = icons_.find({data.hWnd, data.uID});
      if (found == icons_.end()) return false;
      // The program's exit runs from this icon's own callback: the icon goes at once, the
      // object once that callback has returned.
      found->second->hide();
      found->second.release()->deleteLater();
      icons_.erase(found);
      return true;
    }
  }
  return false;
}

bool QtNotifyArea::Add(const NotifyIconData& data) {
  const Key key{data.hWnd, data.uID};
  if (icons_.contains(key)) return false;
  auto icon = std::make_unique<QSystemTrayIcon>();
  if (data.uFlags & kNifIcon) icon->setIcon(icon_of_(data.hIcon));
  if (data.uFlags & kNifTip) icon->setToolTip(ToQString(data.szTip));
  if (data.uFlags & kNifMessage) {
    // Queued, so that the menu the callback opens does not run inside the tray's own mouse
    // handling.
    QObject::connect(
        icon.get(), &QSystemTrayIcon::activated, icon.get(),
        [this, owner = data.hWnd](QSystemTrayIcon::ActivationReason reason) {
          if (const auto mouse_message = MouseMessage(reason)) callback_(owner, *mouse_message);
        },
        Qt::QueuedConnection);
    QObject::connect(
        icon.get(), &QSystemTrayIcon::messageClicked, icon.get(),
        [this, owner = data.hWnd] { callback_(owner, kBalloonUserClick); }, Qt::QueuedConnection);
  }
  icon->show();
  icons_[key] = std::move(icon);
  // Without a tray host nothing is shown, although the icon is kept for when one starts.
  return QSystemTrayIcon::isSystemTrayAvailable();
}

bool QtNotifyArea::Modify(const NotifyIconData& data) {
  QSystemTrayIcon* icon = Icon(data.hWnd, data.uID);
  if (icon == nullptr) return false;
  if (data.uFlags & kNifIcon) icon->setIcon(icon_of_(data.hIcon));
  if (data.uFlags & kNifTip) icon->setToolTip(ToQString(data.szTip));
  if (data.uFlags & kNifInfo) {
    // Shown from the event loop, as the Windows shell shows balloons in its own time: making
    // the balloon's window takes about 20 ms, which would otherwise delay the caller (the
    // rewrite announces its conversion before it writes the clipboard).
    QMetaObject::invokeMethod(
        icon,
        [icon, title = ToQString(data.szInfoTitle), text = ToQString(data.szInfo),
         kind = BalloonIcon(data.dwInfoFlags)] { icon->showMessage(title, text, kind); },
        Qt::QueuedConnection);
  }
  return QSystemTrayIcon::isSystemTrayAvailable();
}

QSystemTrayIcon* QtNotifyArea::Icon(WindowHandle owner, std::uint32_t id) const {
  const auto found = icons_.find({owner, id});
  return found == icons_.end() ? nullptr : found->second.get();
}

}  // namespace tllink::platform::qt
