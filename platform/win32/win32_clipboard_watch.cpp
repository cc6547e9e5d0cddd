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

Win32ClipboardWatch::Win32ClipboardWatch(HWND owner, ClipboardEvents events)
    : owner_(owner),
      events_(std::move(events)),
      // Without a listener the program still polls; nothing is lost but the head start.
      listening_(::AddClipboardFormatListener(owner) != FALSE),
      told_sequence_(::GetClipboardSequenceNumber()) {
  if (listening_) {
    try {
      missed_notice_check_ = std::make_unique<Win32Timer>(owner_, kMissedNoticeCheckMs,
                                                          [this] { CheckForMissedNotice(); });
      missed_notice_check_->SetEnabled(true);
    } catch (...) {
      // Without the check a missed notice waits for the program's own polling, which goes on.
      missed_notice_check_.reset();
    }
  }
  Watches()[owner_] = this;
}

Win32ClipboardWatch::~Win32ClipboardWatch() {
  if (listening_) ::RemoveClipboardFormatListener(owner_);
  Watches().erase(owner_);
}

bool Win32ClipboardWatch::Dispatch(HWND window) {
  const auto found = Watches().find(window);
  if (found == Watches().end() || !found->second->events_.on_change) return false;
  found->second->TellChange();
  return true;
}

void Win32ClipboardWatch::TellChange() {
  told_sequence_ = ::GetClipboardSequenceNumber();
  if (events_.on_change) events_.on_change();
}

void Win32ClipboardWatch::CheckForMissedNotice() {
  if (::GetClipboardSequenceNumber() != told_sequence_) TellChange();
}

bool Win32ClipboardWatch::DispatchDelivered(HWND window) {
  const auto found = Watches().find(window);
  if (found == Watches().end() || !found->second->events_.on_delivered) return false;
  found->second->events_.on_delivered();
  return true;
}

}  // namespace tllink::platform::win32
