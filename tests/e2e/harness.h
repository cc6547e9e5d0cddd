#pragma once

// What the end-to-end cases use to drive tllink.exe from a second process, the way a user
// would see and touch it: its windows, its tray icon, the registry and the X11 clipboard.
// Runs under Wine on a private X server and prefix that run-case.sh sets up.

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win32/handles.h"

namespace tllink::e2e {

using namespace std::chrono_literals;
using Ms = std::chrono::milliseconds;

// Captions and texts as the program shows them.
inline constexpr std::wstring_view kMainCaption = L"Tidelock 網址轉換器";
inline constexpr std::wstring_view kDialogCaption = L"環境設定";

// ---- Text ----
std::string Utf8(std::wstring_view text);
std::wstring Wide(std::string_view utf8);
// The Windows path of a Unix file (Wine maps the Unix root to drive Z:).
std::wstring WindowsPath(std::string_view unix_path);

// ---- Waiting ----
// Every wait pumps this thread's messages: a program that opens the clipboard or broadcasts
// may wait for the driver to answer.
void PumpFor(Ms duration);
// Polls until `done` is true or `timeout` has passed; returns `done`'s last answer.
bool WaitUntil(const std::function<bool()>& done, Ms timeout, Ms poll = 20ms);
// True when `holds` stays true for the whole of `duration` (checked every `poll`).
bool HoldsFor(const std::function<bool()>& holds, Ms duration, Ms poll = 50ms);

// ---- Windows of another process ----
std::wstring WindowText(HWND window);  // WM_GETTEXT, so edit controls give their current text
std::wstring ClassName(HWND window);
std::vector<HWND> TopLevelWindows();                  // every process's, shown or hidden
std::vector<HWND> TopLevelWindows(DWORD process_id);  // shown or hidden
HWND FindTopLevel(DWORD process_id, std::wstring_view caption);
HWND FindTopLevelOfClass(DWORD process_id, std::wstring_view class_name);
std::vector<HWND> Descendants(HWND parent);
// The first descendant whose text is `text` (nullptr if none).
HWND FindChild(HWND parent, std::wstring_view text);
// The first descendant of class `class_name` whose text is `text`.
HWND FindChildOfClass(HWND parent, std::wstring_view class_name, std::wstring_view text);
// Shown on screen: the window and all its ancestors are visible.
bool Shown(HWND window);
bool Click(HWND button);  // BM_CLICK, answered within a time limit
bool SetText(HWND edit, std::wstring_view text);
// The first shown top-level window of any process that `matches`, or nullptr.
HWND FindShownTopLevel(const std::function<bool(HWND)>& matches);
// The visible pop-up menu of any process (class #32768), or nullptr.
HWND OpenMenuWindow();
// Posts one key press to a window, as the menu loop reads it.
void PressKey(HWND window, WPARAM virtual_key);

// How long `window` takes to answer a sent message (WM_NULL), in milliseconds; nothing when it
// gives no answer within `timeout`.
std::optional<double> ReplyMs(HWND window, Ms timeout = 5s);

// The driver as another Win32 program that uses the clipboard, with an owner window of its own.
class ClipboardUser {
 public:
  ClipboardUser();
  ~ClipboardUser();
  ClipboardUser(const ClipboardUser&) = delete;
  ClipboardUser& operator=(const ClipboardUser&) = delete;

  // Copies `text` (every UTF-16 unit as given) and keeps the clipboard open until Release().
  bool CopyAndHold(std::wstring_view text);
  void Release();
  bool Copy(std::wstring_view text);
  // Copies `text` with further formats beside it, by registered name, byte for byte.
  bool CopyWith(std::wstring_view text,
                const std::vector<std::pair<std::wstring, std::string>>& formats);
  // The clipboard's Unicode text, every unit as stored; nothing when it has none or is busy.
  std::optional<std::wstring> Text();
  // Every byte of a format, by registered name; nothing when the clipboard has none or is busy.
  std::optional<std::string> Bytes(const std::wstring& format);

 private:
  platform::win32::UniqueWindow owner_;
  bool open_ = false;
};

// ---- Notification area (an X11 tray, trayer, which run-case.sh starts) ----
// The icons shown in it.
std::vector<HWND> TrayIcons();
std::size_t TrayIconCount();
// A shown balloon (or tooltip) window whose text contains `text`.
HWND FindBalloon(std::wstring_view text);

// ---- Settings store: HKCU\Software\VB and VBA Program Settings\tllink\<section> ----
inline constexpr std::wstring_view kSettingsKey = L"Software\\VB and VBA Program Settings\\tllink";
void WriteSetting(std::wstring_view section, std::wstring_view key, std::wstring_view value);
// A value of any type and content, as a store edited by hand or by another program may hold.
void WriteRawSetting(std::wstring_view section, std::wstring_view key, DWORD type, const void* data,
                     DWORD bytes);
// The REG_SZ value, or nullopt when it is missing or of another type.
std::optional<std::wstring> ReadSetting(std::wstring_view section, std::wstring_view key);
bool SettingsKeyExists();
void DeleteSettings();
// Stores a complete rule the way the program's save does.
void StoreRule(std::wstring_view find, std::wstring_view replacement);

// ---- The program under test ----
class Program {
 public:
  Program() = default;
  Program(Program&&) = default;
  Program& operator=(Program&&) = default;
  ~Program();  // ends the process if it still runs, so one case cannot leak into the next

  // Starts tllink.exe; false (with a test failure) when it cannot be started.
  bool Launch();
  // Starts a program the way Windows runs a command line (a Run entry, a shortcut).
  bool LaunchCommandLine(std::wstring command_line);
  DWORD Id() const { return process_id_; }
  bool Running() const;
  bool WaitForExit(Ms timeout) const;
  // The exit code of a process that has ended; nothing while it runs.
  std::optional<DWORD> ExitCode() const;
  // Until the program waits for input with nothing left to do (its start-up has run).
  bool WaitForIdle(Ms timeout) const;

  HWND MainWindow() const { return FindTopLevel(process_id_, kMainCaption); }
  HWND Dialog() const { return FindTopLevel(process_id_, kDialogCaption); }
  // A message box (class #32770) of this process.
  HWND MessageBoxWindow() const { return FindTopLevelOfClass(process_id_, L"#32770"); }

 private:
  platform::win32::UniqueKernelHandle process_;
  DWORD process_id_ = 0;
};

// ---- Linux side: programs run outside Wine ----
// Wine starts a Unix program from CreateProcess but gives back no handle to wait on and no
// standard streams, so each command runs from a script that leaves its output and exit status
// in files of the case's work directory.
struct UnixResult {
  bool finished = false;  // false: no exit status within the time limit
  int exit_code = -1;
  std::string out;
  std::string err;
};
UnixResult RunUnix(const std::string& script, Ms timeout = 5s);
std::string ShellQuote(std::string_view text);
// A file in the case's work directory holding `bytes`; returns its Unix path.
std::string WriteWorkFile(std::string_view name, std::string_view bytes);
std::string WorkDir();

// The X11 CLIPBOARD selection through xclip, a real X client outside Wine.
bool CopyText(std::string_view utf8);
bool CopyFromFile(const std::string& unix_path, std::string_view target);
std::optional<std::string> Paste(std::string_view target = "UTF8_STRING");

// A real right-click by the X server (xdotool), at screen coordinates.
bool RightClickAt(POINT point);
POINT Centre(HWND window);

// Saves the screen area `area` (screen coordinates) as a PNG under the screenshot directory;
// returns false when no directory was given (TLLINK_SCREENSHOT_DIR).
bool Screenshot(const RECT& area, std::string_view file_name);
std::optional<std::string> ScreenshotDir();

}  // namespace tllink::e2e
