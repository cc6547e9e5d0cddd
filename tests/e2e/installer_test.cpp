// The installer and its uninstaller as an administrator's script and a user meet them: silent
// runs and their exit codes, what they leave in the file system and the registry, the installed
// program at work, and the uninstaller's question about the stored rule.

#include <objbase.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <cstdlib>
#include <memory>

#include "tests/e2e/fixture.h"

namespace tllink::e2e {
namespace {

using platform::win32::UniqueKernelHandle;

constexpr std::wstring_view kAppName = L"TideLock 網址轉換器";
constexpr std::wstring_view kUninstallerCaption = L"解除安裝 TideLock 網址轉換器";
constexpr wchar_t kUninstallKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\tllink";
constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

std::optional<std::wstring> RegString(const wchar_t* key, const wchar_t* name) {
  DWORD size = 0;
  if (RegGetValueW(HKEY_CURRENT_USER, key, name, RRF_RT_REG_SZ, nullptr, nullptr, &size) !=
      ERROR_SUCCESS)
    return std::nullopt;
  std::wstring value(size / sizeof(wchar_t) + 1, L'\0');
  size = static_cast<DWORD>(value.size() * sizeof(wchar_t));
  if (RegGetValueW(HKEY_CURRENT_USER, key, name, RRF_RT_REG_SZ, nullptr, value.data(), &size) !=
      ERROR_SUCCESS)
    return std::nullopt;
  value.resize(wcsnlen(value.c_str(), value.size()));
  return value;
}

std::optional<DWORD> RegDword(const wchar_t* key, const wchar_t* name) {
  DWORD value = 0;
  DWORD size = sizeof(value);
  if (RegGetValueW(HKEY_CURRENT_USER, key, name, RRF_RT_REG_DWORD, nullptr, &value, &size) !=
      ERROR_SUCCESS)
    return std::nullopt;
  return value;
}

bool KeyExists(const wchar_t* key) {
  HKEY raw = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, key, 0, KEY_READ, &raw) != ERROR_SUCCESS) return false;
  RegCloseKey(raw);
  return true;
}

bool Exists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::uint64_t FileSize(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::wstring KnownFolder(REFKNOWNFOLDERID id) {
  PWSTR raw = nullptr;
  const HRESULT result = SHGetKnownFolderPath(id, 0, nullptr, &raw);
  const std::unique_ptr<wchar_t, decltype(&CoTaskMemFree)> owner(raw, &CoTaskMemFree);
  return SUCCEEDED(result) ? std::wstring(raw) : std::wstring();
}

// Runs a command line as Windows would and waits for it to end; its exit code, or nullopt.
std::optional<DWORD> RunAndWait(std::wstring command_line, Ms timeout) {
  Program program;  // ends the process if it is still running when this returns
  if (!program.LaunchCommandLine(command_line)) return std::nullopt;
  if (!program.WaitForExit(timeout)) {
    ADD_FAILURE() << Utf8(command_line) << " still runs after " << timeout.count() << " ms";
    return std::nullopt;
  }
  return program.ExitCode();
}

std::size_t ProcessCount(std::wstring_view image_name) {
  const UniqueKernelHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (snapshot.get() == INVALID_HANDLE_VALUE) return 0;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  std::size_t count = 0;
  for (BOOL more = Process32FirstW(snapshot.get(), &entry); more;
       more = Process32NextW(snapshot.get(), &entry)) {
    if (_wcsicmp(entry.szExeFile, std::wstring(image_name).c_str()) == 0) ++count;
  }
  return count;
}

bool ProcessRuns(std::wstring_view image_name) {
  return ProcessCount(image_name) > 0;
}

// The program file of the process that owns `window`.
std::wstring ImageOf(HWND window) {
  DWORD id = 0;
  GetWindowThreadProcessId(window, &id);
  const UniqueKernelHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id));
  if (!process) return L"(no process)";
  std::wstring path(MAX_PATH, L'\0');
  DWORD size = MAX_PATH;
  if (!QueryFullProcessImageNameW(process.get(), 0, path.data(), &size)) return L"(no image)";
  path.resize(size);
  return path;
}

struct ComRelease {
  void operator()(IUnknown* object) const { object->Release(); }
};

// The program a shortcut starts, as the shell reads it.
std::wstring ShortcutTarget(const std::wstring& link) {
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  IShellLinkW* raw_link = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              reinterpret_cast<void**>(&raw_link))))
    return L"(no shell link object)";
  const std::unique_ptr<IShellLinkW, ComRelease> shell_link(raw_link);
  IPersistFile* raw_file = nullptr;
  if (FAILED(shell_link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&raw_file))))
    return L"(no file interface)";
  const std::unique_ptr<IPersistFile, ComRelease> file(raw_file);
  if (FAILED(file->Load(link.c_str(), STGM_READ))) return L"(no shortcut)";
  std::wstring target(MAX_PATH, L'\0');
  if (FAILED(shell_link->GetPath(target.data(), MAX_PATH, nullptr, 0))) return L"(no target)";
  target.resize(wcsnlen(target.c_str(), target.size()));
  return target;
}

// A shown dialog window of any process whose caption starts with `caption` (the installer's
// pages add a subcaption to it).
HWND FindDialog(std::wstring_view caption) {
  return FindShownTopLevel([caption](HWND window) {
    return ClassName(window) == L"#32770" && WindowText(window).starts_with(caption) &&
           GetDlgItem(window, IDYES) == nullptr;
  });
}

// A message box of any process with a 是 button (the uninstaller's question).
HWND FindQuestion() {
  return FindShownTopLevel([](HWND window) {
    return ClassName(window) == L"#32770" && GetDlgItem(window, IDYES) != nullptr;
  });
}

class Installer : public E2eTest {
 protected:
  void SetUp() override {
    E2eTest::SetUp();
    const char* setup = std::getenv("TLLINK_SETUP");
    ASSERT_NE(setup, nullptr) << "TLLINK_SETUP is not set";
    setup_ = WindowsPath(setup);
    ASSERT_TRUE(Exists(setup_)) << setup << " does not exist: make the packages first";
  }

  std::optional<DWORD> RunSetup(std::wstring_view arguments) const {
    return RunAndWait(L"\"" + setup_ + L"\" " + std::wstring(arguments), 60s);
  }

  static std::wstring InstallDir() {
    return KnownFolder(FOLDERID_LocalAppData) + L"\\Programs\\tllink";
  }
  static std::wstring InstalledExe() { return InstallDir() + L"\\tllink.exe"; }
  static std::wstring Shortcut() {
    return KnownFolder(FOLDERID_Programs) + L"\\" + std::wstring(kAppName) + L".lnk";
  }

  // The uninstaller hands over to a copy of itself in a temporary folder (Un.exe), so that
  // its own file can go, and returns at once: the work is done when that copy has ended.
  static testing::AssertionResult UninstallerFinishes(Ms timeout = 30s) {
    if (WaitUntil([] { return !ProcessRuns(L"Un.exe"); }, timeout)) {
      return testing::AssertionSuccess();
    }
    return testing::AssertionFailure()
           << "the uninstaller still runs after " << timeout.count() << " ms";
  }

  static void ExpectRuleKept() {
    EXPECT_EQ(ReadSetting(L"slink", L"temp1"), kFind);
    EXPECT_EQ(ReadSetting(L"elink", L"temp2"), kReplacement);
    EXPECT_EQ(ReadSetting(L"sup", L"vl"), L"1");
  }

 private:
  std::wstring setup_;
};

TEST_F(Installer, SilentInstallSetsUpTheProgramAndSilentUninstallRemovesItButKeepsTheRule) {
  StoreRule(kFind, kReplacement);  // by the version installed before
  ASSERT_EQ(RunSetup(L"/S"), 0u);

  const std::wstring exe = InstalledExe();
  for (const wchar_t* file : {L"tllink.exe", L"使用說明.html", L"LICENSE.txt", L"uninstall.exe"}) {
    EXPECT_TRUE(Exists(InstallDir() + L"\\" + file)) << Utf8(file) << " is not installed";
  }
  EXPECT_EQ(ShortcutTarget(Shortcut()), exe);
  const std::optional<std::wstring> run = RegString(kRunKey, L"tllink");
  ASSERT_EQ(run, L"\"" + exe + L"\"") << "no start at sign-in";
  // What Settings → Apps shows, and how it uninstalls.
  EXPECT_EQ(RegString(kUninstallKey, L"DisplayName"), kAppName);
  EXPECT_EQ(RegString(kUninstallKey, L"DisplayVersion"), Wide(TLLINK_VERSION));
  EXPECT_EQ(RegString(kUninstallKey, L"DisplayIcon"), exe + L",0");
  const std::optional<DWORD> size_kb = RegDword(kUninstallKey, L"EstimatedSize");
  ASSERT_TRUE(size_kb.has_value());
  EXPECT_GE(*size_kb, FileSize(exe) / 1024);
  const std::optional<std::wstring> quiet = RegString(kUninstallKey, L"QuietUninstallString");
  ASSERT_TRUE(quiet.has_value());

  // Started as Windows starts it at sign-in, it rewrites with the rule it found.
  Program installed;
  ASSERT_TRUE(installed.LaunchCommandLine(*run));
  ASSERT_TRUE(installed.WaitForIdle(10s));
  ASSERT_TRUE(TrayIconCountBecomes(1, 10s));
  EXPECT_TRUE(CopyIsRewrittenTo(Link(kFind, L"a.zip"), Link(kReplacement, L"a.zip")));

  // Uninstalled while it runs: it is ended first, as its 離開 ends it.
  ASSERT_EQ(RunAndWait(*quiet, 30s), 0u);
  ASSERT_TRUE(UninstallerFinishes());
  EXPECT_TRUE(EndsWithoutTrayIcon(installed));
  EXPECT_EQ(installed.ExitCode(), 0u);
  EXPECT_FALSE(Exists(InstallDir()));
  EXPECT_FALSE(Exists(Shortcut()));
  EXPECT_EQ(RegString(kRunKey, L"tllink"), std::nullopt);
  EXPECT_FALSE(KeyExists(kUninstallKey));
  ExpectRuleKept();
}

// An update tool runs the installer silently while the user has tllink in the tray: the running
// copy is ended as its 離開 ends it, and the new one takes its place with the rule kept.
TEST_F(Installer, SilentInstallOverARunningProgramEndsItAndStartsTheNewOne) {
  StoreRule(kFind, kReplacement);
  ASSERT_EQ(RunSetup(L"/S"), 0u);
  // The installed program runs, its file in use.
  Program running;
  ASSERT_TRUE(running.LaunchCommandLine(L"\"" + InstalledExe() + L"\""));
  ASSERT_TRUE(running.WaitForIdle(10s));
  ASSERT_TRUE(TrayIconCountBecomes(1, 10s));

  ASSERT_EQ(RunSetup(L"/S"), 0u);
  EXPECT_TRUE(Ends(running)) << "the running copy was not ended";
  EXPECT_EQ(running.ExitCode(), 0u) << "ended otherwise than by its own exit";
  ASSERT_TRUE(TrayIconCountBecomes(1, 10s));
  EXPECT_EQ(ProcessCount(L"tllink.exe"), 1u);
  HWND started = nullptr;
  ASSERT_TRUE(WaitUntil(
      [&] {
        started = FindWindowW(L"TllinkForm", L"Tidelock 網址轉換器");
        return started != nullptr;
      },
      5s));
  EXPECT_EQ(_wcsicmp(ImageOf(started).c_str(), InstalledExe().c_str()), 0)
      << Utf8(ImageOf(started)) << " runs, not the installed program";
  EXPECT_TRUE(CopyIsRewrittenTo(Link(kFind, L"b.zip"), Link(kReplacement, L"b.zip")));
  ExpectRuleKept();
}

TEST_F(Installer, UninstallerRemovesTheRuleOnlyWhenTheUserSaysSo) {
  StoreRule(kFind, kReplacement);
  ASSERT_EQ(RunSetup(L"/S"), 0u);
  const std::optional<std::wstring> uninstall = RegString(kUninstallKey, L"UninstallString");
  ASSERT_TRUE(uninstall.has_value());
  ASSERT_EQ(RunAndWait(*uninstall, 30s), 0u);

  // The confirmation page: 解除安裝.
  HWND window = nullptr;
  ASSERT_TRUE(WaitUntil(
      [&] {
        window = FindDialog(kUninstallerCaption);
        return window != nullptr;
      },
      10s));
  ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(GetDlgItem(window, IDOK)) != FALSE; }, 5s));
  ASSERT_TRUE(Click(GetDlgItem(window, IDOK)));

  HWND question = nullptr;
  ASSERT_TRUE(WaitUntil(
      [&] {
        question = FindQuestion();
        return question != nullptr;
      },
      10s));
  EXPECT_NE(WindowText(GetDlgItem(question, 0xFFFF)).find(L"轉換規則"), std::wstring::npos);
  // Keeping it is what Enter does.
  const LONG no_style = GetWindowLongW(GetDlgItem(question, IDNO), GWL_STYLE);
  EXPECT_EQ(no_style & BS_TYPEMASK, BS_DEFPUSHBUTTON) << "否 is not the default button";
  EXPECT_TRUE(SettingsKeyExists()) << "removed before the user answered";
  ASSERT_TRUE(Click(GetDlgItem(question, IDYES)));

  EXPECT_TRUE(WaitUntil([] { return !SettingsKeyExists(); }, 10s)) << "the rule is still stored";
  // The finished page closes with its 關閉 button.
  ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(GetDlgItem(window, IDOK)) != FALSE; }, 10s));
  EXPECT_TRUE(Click(GetDlgItem(window, IDOK)));
  EXPECT_TRUE(UninstallerFinishes());
  EXPECT_FALSE(Exists(InstallDir()));
}

}  // namespace
}  // namespace tllink::e2e
