#pragma once

#include "platform/window.h"

namespace tllink {

// The mouse message the tray sent, recovered from a picture box's mouse-move X coordinate:
// X itself in pixels, otherwise X in twips over the screen's twips per pixel. Rounds to nearest,
// ties to even. Throws Failure when the result is outside the 32-bit range.
long NotificationNumber(platform::ScaleMode scale_mode, double x, double twips_per_pixel);

}  // namespace tllink
