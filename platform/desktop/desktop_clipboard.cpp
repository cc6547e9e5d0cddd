#include "platform/desktop/desktop_clipboard.h"

#include <QtGlobal>

#include "platform/wayland/wayland_clipboard.h"
#include "platform/x11/x11_clipboard.h"

namespace tllink::platform::desktop {

std::unique_ptr<DesktopClipboard> OpenDesktopClipboard() {
  if (std::unique_ptr<wayland::WaylandClipboard> wayland = wayland::WaylandClipboard::Open())
    return wayland;
  auto x11 = std::make_unique<x11::X11Clipboard>();
  if (!qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") && x11->SeesOtherProgramsCopies()) {
    qInfo(
        "tllink: the Wayland compositor offers no clipboard data control: the clipboard is "
        "watched through XWayland");
  }
  return x11;
}

}  // namespace tllink::platform::desktop
