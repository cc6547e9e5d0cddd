#include "platform/win32/dpi.h"

namespace tllink::platform::win32 {

namespace {

// The per-monitor calls exist from Windows 10 1607 on; older systems get the screen's DPI.
template <typename Fn>
Fn User32Function(const char* name) {
  static const HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
  if (user32 == nullptr) return nullptr;
  // FARPROC's parameter list is a placeholder: go through the generic function pointer type.
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(::GetProcAddress(user32, name)));
}

using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
using AdjustWindowRectExForDpiFn = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);

UINT ScreenDpi(int index) {
  const HDC screen = ::GetDC(nullptr);
  if (screen == nullptr) return USER_DEFAULT_SCREEN_DPI;
  const int dpi = ::GetDeviceCaps(screen, index);
  ::ReleaseDC(nullptr, screen);
  return dpi > 0 ? static_cast<UINT>(dpi) : USER_DEFAULT_SCREEN_DPI;
}

}  // namespace

UINT ScreenDpiX() {
  return ScreenDpi(LOGPIXELSX);
}
UINT ScreenDpiY() {
  return ScreenDpi(LOGPIXELSY);
}

UINT WindowDpi(HWND window) {
  static const auto get_dpi_for_window = User32Function<GetDpiForWindowFn>("GetDpiForWindow");
  if (get_dpi_for_window != nullptr && window != nullptr) {
    const UINT dpi = get_dpi_for_window(window);
    if (dpi != 0) return dpi;
  }
  return ScreenDpiX();
}

double ScreenTwipsPerPixelX() {
  return static_cast<double>(kTwipsPerInch) / ScreenDpiX();
}
double ScreenTwipsPerPixelY() {
  return static_cast<double>(kTwipsPerInch) / ScreenDpiY();
}

SIZE WindowSizeForClient(SIZE client, DWORD style, DWORD ex_style, UINT dpi) {
  static const auto adjust_for_dpi =
      User32Function<AdjustWindowRectExForDpiFn>("AdjustWindowRectExForDpi");
  RECT rect{0, 0, client.cx, client.cy};
  if (adjust_for_dpi != nullptr) {
    adjust_for_dpi(&rect, style, FALSE, ex_style, dpi);
  } else {
    ::AdjustWindowRectEx(&rect, style, FALSE, ex_style);
  }
  return SIZE{rect.right - rect.left, rect.bottom - rect.top};
}

LOGFONTW MessageFont(UINT dpi) {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof(metrics);
  if (!::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0)) {
    LOGFONTW fallback{};
    ::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof(fallback), &fallback);
    metrics.lfMessageFont = fallback;
  }
  // The metrics are for the screen's DPI; a window on another monitor needs them rescaled.
  LOGFONTW font = metrics.lfMessageFont;
  font.lfHeight = ::MulDiv(font.lfHeight, static_cast<int>(dpi), static_cast<int>(ScreenDpiY()));
  return font;
}

}  // namespace tllink::platform::win32
