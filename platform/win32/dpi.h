#pragma once

#include <windows.h>

namespace tllink::platform::win32 {

// Layouts are written in twips (1/1440 inch); platform/layout_geometry.h turns them into pixels.
inline constexpr int kTwipsPerInch = 1440;

// The screen's DPI as the whole process sees it (the primary monitor's at sign-in).
UINT ScreenDpiX();
UINT ScreenDpiY();

// The DPI a window is drawn at: its monitor's under per-monitor awareness, else the screen's.
UINT WindowDpi(HWND window);

// Twips per pixel of the screen, the unit picture boxes convert mouse positions with.
double ScreenTwipsPerPixelX();
double ScreenTwipsPerPixelY();

// The outer size of a window whose client area is `client` pixels.
SIZE WindowSizeForClient(SIZE client, DWORD style, DWORD ex_style, UINT dpi);

// The system's message font, sized for `dpi`.
LOGFONTW MessageFont(UINT dpi);

}  // namespace tllink::platform::win32
