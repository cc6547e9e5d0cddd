#pragma once

#include <windows.h>

#include <functional>
#include <memory>

#include "platform/clipboard.h"
#include "platform/win32/win32_timer.h"

namespace tllink::platform::win32 {

// A clipboard format listener on its owner window. The owner's window procedure hands every
// WM_CLIPBOARDUPDATE to Dispatch and every result of the clipboard thread to DispatchDelivered,
// which find the watch by its window.
//
// A notice can go missing (a posted message is dropped when the queue is full), so the watch
// also compares the clipboard's sequence number with the last one it told of every
// kMissedNoticeCheckMs and tells of a change it finds: every change is told, a missed one late.
// That lets the program's own 50 ms timer sleep while it waits for a change.
class Win32ClipboardWatch final : public ClipboardWatch {
 public:
  static constexpr UINT kMissedNoticeCheckMs = 10000;

  Win32ClipboardWatch(HWND owner, ClipboardEvents events);
  ~Win32ClipboardWatch() override;
  Win32ClipboardWatch(const Win32ClipboardWatch&) = delete;
  Win32ClipboardWatch& operator=(const Win32ClipboardWatch&) = delete;

  // Without the listener every change would wait for the check, and without the check a missed
  // notice for ever: the program must poll.
  bool TellsEveryChange() const override { return listening_ && missed_notice_check_; }

  // Runs the watch of `window`; false when it has none.
  static bool Dispatch(HWND window);
  static bool DispatchDelivered(HWND window);

 private:
  void TellChange();
  void CheckForMissedNotice();

  HWND owner_;
  ClipboardEvents events_;
  bool listening_;
  DWORD told_sequence_;  // the sequence number the last change told of was at
  std::unique_ptr<Win32Timer> missed_notice_check_;
};

}  // namespace tllink::platform::win32
