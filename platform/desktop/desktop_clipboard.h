#pragma once

#include <functional>
#include <memory>

#include "platform/clipboard.h"

namespace tllink::platform::desktop {

// The clipboard of the desktop session, with its change notices.
class DesktopClipboard : public Clipboard {
 public:
  // Calls `events` on the GUI thread while the result lives, until `ending` says so.
  virtual std::unique_ptr<ClipboardWatch> Watch(ClipboardEvents events,
                                                std::function<bool()> ending) = 0;
  // False where other programs' copies never reach the program: a Wayland session whose
  // compositor offers no data control, without an X server to watch the clipboard through.
  virtual bool SeesOtherProgramsCopies() const { return true; }
};

// On a Wayland compositor that offers data control, the session's clipboard through it, on a
// connection of the program's own; elsewhere (X11, GNOME's XWayland) the one Qt's platform
// reaches.
std::unique_ptr<DesktopClipboard> OpenDesktopClipboard();

}  // namespace tllink::platform::desktop
