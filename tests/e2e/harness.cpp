#include "tests/e2e/harness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace tllink::e2e {

namespace {

using platform::win32::UniqueKernelHandle;
using platform::win32::UniqueRegKey;

std::string GetEnv(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::string(value) : std::string();
}

std::optional<std::string> ReadWholeFile(const std::wstring& path) {
  std::ifstream file(std::filesystem::path(path), std::ios::binary);
  if (!file) return std::nullopt;
  std::ostringstream bytes;
  bytes << file.rdbuf();
  return bytes.str();
}

bool FileExists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The driver sees windows and the screen in the pixels they have, as the program does: where
// Wine (10 on) scales for the display, a DPI-unaware driver would get coordinates and screen
// captures scaled to 96 dpi, and measure a 192-pixel window at 144 dpi as 128 pixels.
[[maybe_unused]] const bool kInDevicePixels =
    SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2) != FALSE;

// How long the driver waits for another process to answer one message.
constexpr UINT kAnswerMs = 2000;

}  // namespace

std::wstring WindowsPath(std::string_view unix_path) {
  std::wstring path = L"Z:" + Wide(unix_path);
  std::replace(path.begin(), path.end(), L'/', L'\\');
  return path;
}

// ---- Text ----

std::string Utf8(std::wstring_view text) {
  if (text.empty()) return {};
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                      nullptr, nullptr);
  return out;
}

std::wstring Wide(std::string_view utf8) {
  if (utf8.empty()) return {};
  const int size =
      MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), size);
  return out;
}

// ---- Waiting ----

void PumpFor(Ms duration) {
  const auto end = std::chrono::steady_clock::now() + duration;
  for (;;) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    const auto now = std::chrono::steady_clock::now();
    if (now >= end) return;
    const auto left = std::chrono::duration_cast<Ms>(end - now).count();
    MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(left), QS_ALLINPUT);
  }
}

bool WaitUntil(const std::function<bool()>& done, Ms timeout, Ms poll) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (done()) return true;
    if (std::chrono::steady_clock::now() >= end) return done();
    PumpFor(poll);
  }
}

bool HoldsFor(const std::function<bool()>& holds, Ms duration, Ms poll) {
  const auto end = std::chrono::steady_clock::now() + duration;
  for (;;) {
    if (!holds()) return false;
    if (std::chrono::steady_clock::now() >= end) return true;
    PumpFor(poll);
  }
}

// ---- Windows of another process ----

std::wstring WindowText(HWND window) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kAnswerMs, &length))
    return {};
  std::wstring text(length + 1, L'\0');
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                           SMTO_ABORTIFHUNG, kAnswerMs, &copied))
    return {};
  text.resize(std::min<std::size_t>(copied, length));
  return text;
}

std::wstring ClassName(HWND window) {
  std::array<wchar_t, 256> name{};
  const int length = GetClassNameW(window, name.data(), static_cast<int>(name.size()));
  return std::wstring(name.data(), static_cast<std::size_t>(std::max(length, 0)));
}

std::vector<HWND> TopLevelWindows() {
  std::vector<HWND> found;
  EnumWindows(
      [](HWND window, LPARAM context) -> BOOL {
        reinterpret_cast<std::vector<HWND>*>(context)->push_back(window);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

std::vector<HWND> TopLevelWindows(DWORD process_id) {
  std::vector<HWND> found;
  for (HWND window : TopLevelWindows()) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == process_id) found.push_back(window);
  }
  return found;
}

HWND FindTopLevel(DWORD process_id, std::wstring_view caption) {
  for (HWND window : TopLevelWindows(process_id)) {
    if (WindowText(window) == caption) return window;
  }
  return nullptr;
}

HWND FindTopLevelOfClass(DWORD process_id, std::wstring_view class_name) {
  for (HWND window : TopLevelWindows(process_id)) {
    if (ClassName(window) == class_name) return window;
  }
  return nullptr;
}

std::vector<HWND> Descendants(HWND parent) {
  std::vector<HWND> found;
  EnumChildWindows(
      parent,
      [](HWND window, LPARAM context) -> BOOL {
        reinterpret_cast<std::vector<HWND>*>(context)->push_back(window);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

HWND FindChild(HWND parent, std::wstring_view text) {
  if (!parent) return nullptr;
  for (HWND child : Descendants(parent)) {
    if (WindowText(child) == text) return child;
  }
  return nullptr;
}

HWND FindChildOfClass(HWND parent, std::wstring_view class_name, std::wstring_view text) {
  if (!parent) return nullptr;
  for (HWND child : Descendants(parent)) {
    if (ClassName(child) == class_name && WindowText(child) == text) return child;
  }
  return nullptr;
}

bool Shown(HWND window) {
  return window && IsWindowVisible(window);
}

bool Click(HWND button) {
  DWORD_PTR result = 0;
  return button &&
         SendMessageTimeoutW(button, BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, kAnswerMs, &result) != 0;
}

bool SetText(HWND edit, std::wstring_view text) {
  const std::wstring copy(text);
  DWORD_PTR result = 0;
  return edit &&
         SendMessageTimeoutW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(copy.c_str()),
                             SMTO_ABORTIFHUNG, kAnswerMs, &result) != 0 &&
         result == TRUE;
}

HWND FindShownTopLevel(const std::function<bool(HWND)>& matches) {
  struct Search {
    const std::function<bool(HWND)>& matches;
    HWND found;
  } search{matches, nullptr};
  EnumWindows(
      [](HWND window, LPARAM context) -> BOOL {
        auto& s = *reinterpret_cast<Search*>(context);
        if (!IsWindowVisible(window) || !s.matches(window)) return TRUE;
        s.found = window;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND OpenMenuWindow() {
  return FindShownTopLevel([](HWND window) { return ClassName(window) == L"#32768"; });
}

void PressKey(HWND window, WPARAM virtual_key) {
  PostMessageW(window, WM_KEYDOWN, virtual_key, 1);
  PostMessageW(window, WM_KEYUP, virtual_key, static_cast<LPARAM>(0xC0000001u));
  PumpFor(50ms);
}

std::optional<double> ReplyMs(HWND window, Ms timeout) {
  DWORD_PTR result = 0;
  const auto start = std::chrono::steady_clock::now();
  if (!SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, static_cast<UINT>(timeout.count()),
                           &result)) {
    return std::nullopt;
  }
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
      .count();
}

ClipboardUser::ClipboardUser()
    : owner_(CreateWindowExW(0, L"STATIC", L"tllink e2e clipboard user", 0, 0, 0, 0, 0,
                             HWND_MESSAGE, nullptr, GetModuleHandleW(nullptr), nullptr)) {
  EXPECT_TRUE(owner_) << "cannot create the clipboard owner window";
}

ClipboardUser::~ClipboardUser() {
  Release();
}

bool ClipboardUser::CopyAndHold(std::wstring_view text) {
  if (!open_ && !WaitUntil([this] { return OpenClipboard(owner_.get()) != 0; }, 2s, 5ms)) {
    ADD_FAILURE() << "cannot open the clipboard";
    return false;
  }
  open_ = true;
  platform::win32::UniqueGlobal memory(
      GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t)));
  if (!memory || !EmptyClipboard()) return false;
  auto* units = static_cast<wchar_t*>(GlobalLock(memory.get()));
  if (!units) return false;
  std::copy(text.begin(), text.end(), units);
  units[text.size()] = L'\0';
  GlobalUnlock(memory.get());
  if (!SetClipboardData(CF_UNICODETEXT, memory.get())) return false;
  memory.release();  // the clipboard's now
  return true;
}

bool ClipboardUser::CopyWith(std::wstring_view text,
                             const std::vector<std::pair<std::wstring, std::string>>& formats) {
  if (!CopyAndHold(text)) return false;
  bool copied = true;
  for (const auto& [name, bytes] : formats) {
    platform::win32::UniqueGlobal memory(GlobalAlloc(GMEM_MOVEABLE, bytes.size()));
    void* data = memory ? GlobalLock(memory.get()) : nullptr;
    if (data == nullptr) {
      copied = false;
      continue;
    }
    std::memcpy(data, bytes.data(), bytes.size());
    GlobalUnlock(memory.get());
    if (SetClipboardData(RegisterClipboardFormatW(name.c_str()), memory.get())) {
      memory.release();
    } else {
      copied = false;
    }
  }
  Release();
  return copied;
}

std::optional<std::string> ClipboardUser::Bytes(const std::wstring& format) {
  if (!OpenClipboard(owner_.get())) return std::nullopt;
  std::optional<std::string> bytes;
  if (HANDLE data = GetClipboardData(RegisterClipboardFormatW(format.c_str()))) {
    if (const auto* start = static_cast<const char*>(GlobalLock(data))) {
      bytes.emplace(start, GlobalSize(data));
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return bytes;
}

void ClipboardUser::Release() {
  if (open_) CloseClipboard();
  open_ = false;
}

bool ClipboardUser::Copy(std::wstring_view text) {
  const bool copied = CopyAndHold(text);
  Release();
  return copied;
}

std::optional<std::wstring> ClipboardUser::Text() {
  if (!OpenClipboard(owner_.get())) return std::nullopt;
  std::optional<std::wstring> text;
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    if (const auto* units = static_cast<const wchar_t*>(GlobalLock(data))) {
      text.emplace(units, wcsnlen(units, GlobalSize(data) / sizeof(wchar_t)));
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return text;
}

// ---- Notification area ----

std::vector<HWND> TrayIcons() {
  // Each icon is a window of Wine's: a child of the tray it docked into (Wine 8), or a
  // top-level window placed on that tray (Wine 10, which shows no icon without an X11 tray).
  const auto is_icon = [](HWND window) {
    const std::wstring name = ClassName(window);
    // Counted as the user sees them: Wine adds an icon hidden and shows it a moment later.
    return (name == L"__winex11_tray_icon" || name == L"__wine_tray_icon") &&
           IsWindowVisible(window);
  };
  std::vector<HWND> icons;
  for (HWND window : TopLevelWindows()) {
    if (is_icon(window)) icons.push_back(window);
    for (HWND child : Descendants(window)) {
      if (is_icon(child)) icons.push_back(child);
    }
  }
  return icons;
}

std::size_t TrayIconCount() {
  return TrayIcons().size();
}

HWND FindBalloon(std::wstring_view text) {
  return FindShownTopLevel([text](HWND window) {
    return ClassName(window) == L"tooltips_class32" &&
           WindowText(window).find(text) != std::wstring::npos;
  });
}

// ---- Settings store ----

namespace {

std::wstring SectionKey(std::wstring_view section) {
  return std::wstring(kSettingsKey) + L"\\" + std::wstring(section);
}

}  // namespace

void WriteSetting(std::wstring_view section, std::wstring_view key, std::wstring_view value) {
  const std::wstring data(value);
  WriteRawSetting(section, key, REG_SZ, data.c_str(),
                  static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
}

void WriteRawSetting(std::wstring_view section, std::wstring_view key, DWORD type, const void* data,
                     DWORD bytes) {
  HKEY raw = nullptr;
  LSTATUS status = RegCreateKeyExW(HKEY_CURRENT_USER, SectionKey(section).c_str(), 0, nullptr, 0,
                                   KEY_SET_VALUE, nullptr, &raw, nullptr);
  ASSERT_EQ(status, ERROR_SUCCESS) << "cannot create the settings key";
  UniqueRegKey owner(raw);
  const std::wstring name(key);
  status = RegSetValueExW(raw, name.c_str(), 0, type, static_cast<const BYTE*>(data), bytes);
  ASSERT_EQ(status, ERROR_SUCCESS) << "cannot write the setting";
}

std::optional<std::wstring> ReadSetting(std::wstring_view section, std::wstring_view key) {
  const std::wstring path = SectionKey(section);
  const std::wstring name(key);
  DWORD size = 0;
  if (RegGetValueW(HKEY_CURRENT_USER, path.c_str(), name.c_str(), RRF_RT_REG_SZ, nullptr, nullptr,
                   &size) != ERROR_SUCCESS)
    return std::nullopt;
  std::wstring value(size / sizeof(wchar_t) + 1, L'\0');
  size = static_cast<DWORD>(value.size() * sizeof(wchar_t));
  if (RegGetValueW(HKEY_CURRENT_USER, path.c_str(), name.c_str(), RRF_RT_REG_SZ, nullptr,
                   value.data(), &size) != ERROR_SUCCESS)
    return std::nullopt;
  value.resize(wcsnlen(value.c_str(), value.size()));
  return value;
}

bool SettingsKeyExists() {
  HKEY raw = nullptr;
  const std::wstring path(kSettingsKey);
  if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &raw) != ERROR_SUCCESS)
    return false;
  UniqueRegKey owner(raw);
  return true;
}

void DeleteSettings() {
  const std::wstring path(kSettingsKey);
  const LSTATUS status = RegDeleteTreeW(HKEY_CURRENT_USER, path.c_str());
  if (status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND) {
    RegDeleteKeyW(HKEY_CURRENT_USER, path.c_str());
    return;
  }
  ADD_FAILURE() << "cannot delete the settings key: " << status;
}

void StoreRule(std::wstring_view find, std::wstring_view replacement) {
  WriteSetting(L"slink", L"temp1", find);
  WriteSetting(L"elink", L"temp2", replacement);
  WriteSetting(L"sup", L"vl", L"1");
}

// ---- The program under test ----

Program::~Program() {
  if (process_ && Running()) {
    TerminateProcess(process_.get(), 1);
    WaitForSingleObject(process_.get(), 5000);
  }
}

bool Program::Launch() {
  const std::string exe = GetEnv("TLLINK_EXE");
  if (exe.empty()) {
    ADD_FAILURE() << "TLLINK_EXE is not set";
    return false;
  }
  return LaunchCommandLine(L"\"" + WindowsPath(exe) + L"\"");
}

bool Program::LaunchCommandLine(std::wstring command_line) {
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(nullptr, command_line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &info)) {
    ADD_FAILURE() << "cannot start " << Utf8(command_line) << ": error " << GetLastError();
    return false;
  }
  CloseHandle(info.hThread);
  process_.reset(info.hProcess);
  process_id_ = info.dwProcessId;
  return true;
}

std::optional<DWORD> Program::ExitCode() const {
  DWORD code = 0;
  if (!process_ || Running() || !GetExitCodeProcess(process_.get(), &code)) return std::nullopt;
  return code;
}

bool Program::Running() const {
  return process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT;
}

bool Program::WaitForIdle(Ms timeout) const {
  return process_ && WaitForInputIdle(process_.get(), static_cast<DWORD>(timeout.count())) == 0;
}

bool Program::WaitForExit(Ms timeout) const {
  return WaitUntil([this] { return !Running(); }, timeout);
}

// ---- Linux side ----

std::string WorkDir() {
  std::string dir = GetEnv("TLLINK_E2E_WORK");
  if (dir.empty()) dir = "/tmp";
  return dir;
}

std::string ShellQuote(std::string_view text) {
  std::string quoted = "'";
  for (char c : text) {
    if (c == '\'')
      quoted += "'\\''";
    else
      quoted += c;
  }
  return quoted + "'";
}

std::string WriteWorkFile(std::string_view name, std::string_view bytes) {
  const std::string path = WorkDir() + "/" + std::string(name);
  std::ofstream file(std::filesystem::path(WindowsPath(path)), std::ios::binary | std::ios::trunc);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  file.close();
  if (!file) ADD_FAILURE() << "cannot write " << path;
  return path;
}

UnixResult RunUnix(const std::string& script, Ms timeout) {
  static int counter = 0;
  const std::string base = WorkDir() + "/unix-" + std::to_string(++counter);
  const std::string rc = base + ".rc";
  // The status file appears by rename, so it is never read half written.
  WriteWorkFile("unix-" + std::to_string(counter) + ".sh",
                "(\n" + script + "\n) >" + ShellQuote(base + ".out") + " 2>" +
                    ShellQuote(base + ".err") + " </dev/null\necho $? >" + ShellQuote(rc + ".tmp") +
                    "\nmv " + ShellQuote(rc + ".tmp") + " " + ShellQuote(rc) + "\n");
  std::wstring command_line = L"/bin/sh \"" + Wide(base) + L".sh\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info{};
  UnixResult result;
  if (!CreateProcessW(nullptr, command_line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &info)) {
    ADD_FAILURE() << "cannot start /bin/sh: error " << GetLastError();
    return result;
  }
  // For a Unix program Wine hands back no usable handles; close whatever it gave.
  UniqueKernelHandle process(info.hProcess);
  UniqueKernelHandle thread(info.hThread);
  const std::wstring rc_path = WindowsPath(rc);
  if (!WaitUntil([&] { return FileExists(rc_path); }, timeout, 5ms)) {
    ADD_FAILURE() << "no exit status within " << timeout.count() << " ms from: " << script;
    return result;
  }
  result.finished = true;
  result.exit_code = std::atoi(ReadWholeFile(rc_path).value_or("-1").c_str());
  result.out = ReadWholeFile(WindowsPath(base + ".out")).value_or("");
  result.err = ReadWholeFile(WindowsPath(base + ".err")).value_or("");
  return result;
}

bool CopyText(std::string_view utf8) {
  static int counter = 0;
  const std::string file = WriteWorkFile("copy-" + std::to_string(++counter) + ".txt", utf8);
  return CopyFromFile(file, "UTF8_STRING");
}

bool CopyFromFile(const std::string& unix_path, std::string_view target) {
  // xclip forks an owner that serves the selection until another client takes it; its
  // streams must not be ours.
  const UnixResult result = RunUnix("xclip -selection clipboard -t " + ShellQuote(target) + " -i " +
                                    ShellQuote(unix_path) + " >/dev/null 2>&1");
  if (!result.finished || result.exit_code != 0) {
    ADD_FAILURE() << "xclip -i failed (" << result.exit_code << "): " << result.err;
    return false;
  }
  return true;
}

std::optional<std::string> Paste(std::string_view target) {
  // One read hung once after an X server restart: bound each one.
  const UnixResult result =
      RunUnix("timeout 1 xclip -selection clipboard -t " + ShellQuote(target) + " -o");
  if (!result.finished || result.exit_code != 0) return std::nullopt;
  return result.out;
}

bool RightClickAt(POINT point) {
  const UnixResult result = RunUnix("xdotool mousemove " + std::to_string(point.x) + " " +
                                    std::to_string(point.y) + " click 3");
  if (!result.finished || result.exit_code != 0) {
    ADD_FAILURE() << "xdotool failed (" << result.exit_code << "): " << result.err;
    return false;
  }
  return true;
}

POINT Centre(HWND window) {
  RECT rect{};
  GetWindowRect(window, &rect);
  return POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

std::optional<std::string> ScreenshotDir() {
  std::string dir = GetEnv("TLLINK_SCREENSHOT_DIR");
  if (dir.empty()) return std::nullopt;
  return dir;
}

bool Screenshot(const RECT& area, std::string_view file_name) {
  const auto dir = ScreenshotDir();
  if (!dir) return false;
  const std::string geometry = std::to_string(area.right - area.left) + "x" +
                               std::to_string(area.bottom - area.top) + "+" +
                               std::to_string(area.left) + "+" + std::to_string(area.top);
  const UnixResult result = RunUnix("import -window root -crop " + geometry + " +repage " +
                                        ShellQuote(*dir + "/" + std::string(file_name)),
                                    15s);
  if (!result.finished || result.exit_code != 0) {
    ADD_FAILURE() << "import failed (" << result.exit_code << "): " << result.err;
    return false;
  }
  return true;
}

}  // namespace tllink::e2e
