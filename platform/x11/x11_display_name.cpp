#include "platform/x11/x11_display_name.h"

#include <QGuiApplication>

// Last: Xlib defines names (None, Bool, Status) that Qt's headers use otherwise.
#include <X11/Xlib.h>

namespace tllink::platform::x11 {

std::string QtX11DisplayName() {
  // Qt may have been given -display: $DISPLAY alone could name another server.
  const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  if (x11 == nullptr || x11->display() == nullptr) return {};
  return XDisplayString(x11->display());
}

}  // namespace tllink::platform::x11
