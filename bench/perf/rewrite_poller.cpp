// Baseline for scripts/perf: the plainest Win32 program that does tllink's rewrite on the same
// 50 ms timer. Every tick it opens the clipboard, reads its text and, when the find text occurs,
// writes back the text with every occurrence replaced. With --when-changed it first compares the
// clipboard's sequence number with the last tick's and leaves an unchanged clipboard alone.
//   rewrite_poller.exe [--when-changed] FIND REPLACEMENT

#include <windows.h>

#include <shellapi.h>

#include <cstring>
#include <memory>
#include <string>

namespace {

std::wstring ReplaceAll(std::wstring text, const std::wstring& find, const std::wstring& with) {
  for (std::size_t at = text.find(find); at != std::wstring::npos;
       at = text.find(find, at + with.size())) {
    text.replace(at, find.size(), with);
  }
  return text;
}

// Closes the clipboard this program opened.
struct OpenClipboardGuard {
  OpenClipboardGuard() = default;
  OpenClipboardGuard(const OpenClipboardGuard&) = delete;
  OpenClipboardGuard& operator=(const OpenClipboardGuard&) = delete;
  ~OpenClipboardGuard() { CloseClipboard(); }
};

void Tick(HWND owner, const std::wstring& find, const std::wstring& replacement) {
  if (!OpenClipboard(owner)) return;
  const OpenClipboardGuard open;
  const HANDLE data = GetClipboardData(CF_UNICODETEXT);
  if (data == nullptr) return;
  const auto* locked = static_cast<const wchar_t*>(GlobalLock(data));
  if (locked == nullptr) return;
  const std::wstring text(locked, wcsnlen(locked, GlobalSize(data) / sizeof(wchar_t)));
  GlobalUnlock(data);
  if (text.find(find) == std::wstring::npos) return;

  const std::wstring rewritten = ReplaceAll(text, find, replacement);
  const std::size_t bytes = (rewritten.size() + 1) * sizeof(wchar_t);
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
  if (memory == nullptr) return;
  std::memcpy(GlobalLock(memory), rewritten.c_str(), bytes);
  GlobalUnlock(memory);
  EmptyClipboard();
  // The clipboard owns the memory once it has taken it.
  if (SetClipboardData(CF_UNICODETEXT, memory) == nullptr) GlobalFree(memory);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  int count = 0;
  const std::unique_ptr<LPWSTR, decltype(&LocalFree)> args(
      CommandLineToArgvW(GetCommandLineW(), &count), &LocalFree);
  if (!args || count < 3) return 2;
  const bool when_changed = count == 4 && std::wstring(args.get()[1]) == L"--when-changed";
  if (count != (when_changed ? 4 : 3)) return 2;
  const std::wstring find = args.get()[count - 2];
  const std::wstring replacement = args.get()[count - 1];
  DWORD last_sequence = 0;

  // A message-only window: the clipboard owner and the timer's target.
  const HWND window = CreateWindowExW(0, L"STATIC", L"rewrite poller", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                      nullptr, nullptr, nullptr);
  if (window == nullptr || SetTimer(window, 1, 50, nullptr) == 0) return 1;
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (message.message != WM_TIMER) continue;
    if (when_changed) {
      const DWORD sequence = GetClipboardSequenceNumber();
      if (sequence == last_sequence) continue;
      last_sequence = sequence;
    }
    Tick(window, find, replacement);
  }
  return 0;
}
