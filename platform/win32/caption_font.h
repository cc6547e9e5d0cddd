#pragma once

#include <windows.h>

#include <string>

#include "platform/win32/handles.h"

namespace tllink::platform::win32 {

// Where a label's or button's caption must show whole, in pixels, and whether it may take
// more than one line there.
struct CaptionBox {
  int width = 0;
  int height = 0;
  bool may_wrap = false;
};

// The space a push button keeps free around its caption, for its edge and focus frame, at `dpi`.
int ButtonCaptionInset(UINT dpi);

// `font` (sized for `dpi`), or a smaller size of it in half-point steps, at which `text` shows
// whole in `box` as `control` draws it (DrawText, wrapping at words where it may). Throws
// Failure when no font can be made.
UniqueFont FitCaptionFont(HWND control, const std::u16string& text, const LOGFONTW& font, UINT dpi,
                          const CaptionBox& box);

}  // namespace tllink::platform::win32
