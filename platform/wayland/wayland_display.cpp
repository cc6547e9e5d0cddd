#include "platform/wayland/wayland_display.h"

#include <cstdlib>

namespace tllink::platform::wayland {

namespace {

bool Set(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

}  // namespace

WaylandDisplay ConnectToWaylandSession() {
  if (!Set("WAYLAND_DISPLAY") && !Set("WAYLAND_SOCKET")) return nullptr;
  return WaylandDisplay(wl_display_connect(nullptr));
}

}  // namespace tllink::platform::wayland
