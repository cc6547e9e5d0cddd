#pragma once

#include <string>

namespace tllink::platform::x11 {

// The X display Qt is connected to, for a second connection to the same server; empty off
// X11 or when Qt does not tell.
std::string QtX11DisplayName();

}  // namespace tllink::platform::x11
