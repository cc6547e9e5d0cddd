#include "platform/qt/desktop_clipboard.h"

#include <QtGlobal>

#include "platform/qt/qt_clipboard.h"
#include "platform/qt/wayland_clipboard.h"

namespace tllink::platform::qt {

std::unique_ptr<DesktopClipboard> OpenDesktopClipboard() {
  if (std::unique_ptr<WaylandClipboard> wayland = WaylandClipboard::Open()) return wayland;
  if (!qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
    qInfo(
        "tllink: the Wayland compositor offers no clipboard data control: the clipboard is "
        "watched through XWayland, where it runs");
  }
  return std::make_unique<QtClipboard>();
}

}  // namespace tllink::platform::qt
