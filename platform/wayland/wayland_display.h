#pragma once

#include <wayland-client-core.h>

#include <memory>

namespace tllink::platform::wayland {

struct DisconnectWayland {
  void operator()(wl_display* display) const { wl_display_disconnect(display); }
};
using WaylandDisplay = std::unique_ptr<wl_display, DisconnectWayland>;

// A connection of the program's own to the compositor of the session: the one $WAYLAND_DISPLAY
// (or $WAYLAND_SOCKET) names. Nothing outside a Wayland session: libwayland would otherwise try
// "wayland-0", which may be another session's.
WaylandDisplay ConnectToWaylandSession();

}  // namespace tllink::platform::wayland
