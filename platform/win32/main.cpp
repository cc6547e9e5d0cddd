#include <windows.h>

#include <commctrl.h>

#include <string>

#include "app/app_text.h"
#include "app/program.h"
#include "platform/win32/win32_timer.h"
#include "platform/win32/win32_toolkit.h"
#include "platform/win32/win32_window.h"

namespace {

int RunMessageLoop() {
  using tllink::platform::win32::Win32Timer;
  MSG message{};
  for (;;) {
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) return static_cast<int>(message.wParam);
      // Tab, Enter and Esc work in every window of the program as they do in a dialog box.
      const HWND window = tllink::platform::win32::Win32Window::ProgramWindowOf(message.hwnd);
      if (window != nullptr && ::IsDialogMessageW(window, &message)) continue;
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
    Win32Timer::RunDueShortTicks();
    // Asleep until a message arrives or a timer too short for SetTimer is due.
    ::MsgWaitForMultipleObjectsEx(0, nullptr, Win32Timer::MsUntilShortTick(), QS_ALLINPUT,
                                  MWMO_INPUTAVAILABLE);
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  INITCOMMONCONTROLSEX controls{};
  controls.dwSize = sizeof(controls);
  controls.dwICC = ICC_STANDARD_CLASSES;
  ::InitCommonControlsEx(&controls);

  try {
    tllink::platform::win32::Win32Toolkit toolkit(instance);
    tllink::Program program(toolkit);
    // A failed start has told the user and registered no tray icon.
    if (!program.Start()) return 1;
    return RunMessageLoop();
  } catch (...) {
    // Only setting up the program's objects can end up here, before any window exists.
    const std::u16string title(tllink::kAppTitle);
    ::MessageBoxW(nullptr, L"程式無法啟動。", tllink::platform::win32::Wide(title),
                  MB_OK | MB_ICONERROR);
    return 1;
  }
}
