#include "platform/win32/shell_notify_area.h"

#include <windows.h>
// shellapi.h needs windows.h first.
#include <shellapi.h>

#include <algorithm>

namespace tllink::platform::win32 {

namespace {

template <std::size_t N>
void CopyField(wchar_t (&field)[N], const std::u16string& text) {
  // The portable layer already cut the text to fit; cutting again only guards the buffer.
  const std::size_t length = std::min(text.size(), N - 1);
  std::copy_n(reinterpret_cast<const wchar_t*>(text.data()), length, field);
  field[length] = L'\0';
}

}  // namespace

bool ShellNotifyArea::ShellNotifyIcon(NotifyMessage message, const NotifyIconData& data) {
  NOTIFYICONDATAW record{};
  record.cbSize = NOTIFYICONDATAW_V3_SIZE;
  record.hWnd = reinterpret_cast<HWND>(data.hWnd);
  record.uID = data.uID;
  record.uFlags = data.uFlags;
  record.uCallbackMessage = data.uCallbackMessage;
  record.hIcon = reinterpret_cast<HICON>(data.hIcon);
  CopyField(record.szTip, data.szTip);
  CopyField(record.szInfo, data.szInfo);
  record.uTimeout = data.uTimeout;
  CopyField(record.szInfoTitle, data.szInfoTitle);
  record.dwInfoFlags = data.dwInfoFlags;
  return Shell_NotifyIconW(static_cast<DWORD>(message), &record) != FALSE;
}

}  // namespace tllink::platform::win32
