#include "platform/win32/win32_clipboard_watch.h"

#include <map>
#include <utility>

namespace tllink::platform::win32 {

namespace {

// Windows live on the GUI thread only, so the table needs no lock.
std::map<HWND, Win32ClipboardWatch*>& Watches() {
  static std::map<HWND, Win32ClipboardWatch*> watches;
  return watches;
}

}  // namespace

Win32ClipboardWatch::Win32ClipboardWatch(HWND owner, std::function<void()> on_change)
    : owner_(owner),
      on_change_(std::move(on_change)),
      // Without a listener the program still polls; nothing is lost but the head start.
      listening_(::AddClipboardFormatListener(owner) != FALSE) {
  if (listening_) Watches()[owner_] = this;
}

Win32ClipboardWatch::~Win32ClipboardWatch() {
  if (!listening_) return;
  ::RemoveClipboardFormatListener(owner_);
  Watches().erase(owner_);
}

bool Win32ClipboardWatch::Dispatch(HWND window) {
  const auto found = Watches().find(window);
  if (found == Watches().end()) return false;
  found->second->on_change_();
  return true;
}

}  // namespace tllink::platform::win32
