#pragma once

#include <windows.h>

#include <functional>

#include "platform/clipboard.h"

namespace tllink::platform::win32 {

// A clipboard format listener on its owner window. The owner's window procedure hands every
// WM_CLIPBOARDUPDATE to Dispatch and every result of the clipboard thread to DispatchDelivered,
// which find the watch by its window.
class Win32ClipboardWatch final : public ClipboardWatch {
 public:
  Win32ClipboardWatch(HWND owner, ClipboardEvents events);
  ~Win32ClipboardWatch() override;
  Win32ClipboardWatch(const Win32ClipboardWatch&) = delete;
  Win32ClipboardWatch& operator=(const Win32ClipboardWatch&) = delete;

  // Runs the watch of `window`; false when it has none.
  static bool Dispatch(HWND window);
  static bool DispatchDelivered(HWND window);

 private:
  HWND owner_;
  ClipboardEvents events_;
  bool listening_;
};

}  // namespace tllink::platform::win32
