// Not tests: the documentation's screenshots, made in the same prefix and X server as the
// cases. screenshots.sh runs them with TLLINK_SCREENSHOT_DIR set; without it they are skipped.

#include <algorithm>
#include <cstdlib>

#include "tests/e2e/fixture.h"

namespace tllink::e2e {
namespace {

RECT WindowArea(HWND window) {
  RECT rect{};
  GetWindowRect(window, &rect);
  return rect;
}

// The smallest area holding the tray icon and what opened from it, with a margin, clipped to the
// screen. Nothing above the icon: Wine's stand-alone tray has a window frame there, which a
// Windows user does not see.
RECT Around(const RECT& icon, const RECT& b, int margin) {
  RECT area{std::min(icon.left, b.left) - margin, std::min(icon.top, b.top - margin),
            std::max(icon.right, b.right) + margin, std::max(icon.bottom, b.bottom) + margin};
  area.left = std::max(area.left, 0L);
  area.top = std::max(area.top, 0L);
  area.right = std::min(area.right, static_cast<LONG>(GetSystemMetrics(SM_CXSCREEN)));
  area.bottom = std::min(area.bottom, static_cast<LONG>(GetSystemMetrics(SM_CYSCREEN)));
  return area;
}

class Screenshots : public E2eTest {
 protected:
  void SetUp() override {
    if (!ScreenshotDir()) GTEST_SKIP() << "TLLINK_SCREENSHOT_DIR is not set";
    E2eTest::SetUp();
  }

  static HWND OpenDialog(const Program& program) {
    Click(FindChild(program.MainWindow(), L"環境設定"));
    HWND dialog = nullptr;
    WaitUntil(
        [&] {
          dialog = program.Dialog();
          return Shown(dialog);
        },
        5s);
    return dialog;
  }

  void MainWindowFirstRun(std::string_view file_name) {
    Program& program = Start();
    ASSERT_TRUE(MainWindowShown(program));
    PumpFor(500ms);  // let it paint
    EXPECT_TRUE(Screenshot(WindowArea(program.MainWindow()), file_name));
  }

  void SettingsDialogFirstRun(std::string_view file_name) {
    Program& program = Start();
    ASSERT_TRUE(MainWindowShown(program));
    const HWND dialog = OpenDialog(program);
    ASSERT_TRUE(Shown(dialog));
    PumpFor(500ms);
    EXPECT_TRUE(Screenshot(WindowArea(dialog), file_name));
  }
};

TEST_F(Screenshots, MainWindowFirstRun) {
  MainWindowFirstRun("main-window-first-run.png");
}

TEST_F(Screenshots, SettingsDialogFirstRun) {
  SettingsDialogFirstRun("settings-dialog-first-run.png");
}

// At a display scale of 150 %.
TEST_F(Screenshots, MainWindowFirstRunAt144Dpi) {
  ASSERT_TRUE(ScreenIsAt(144));
  MainWindowFirstRun("main-window-first-run-144dpi.png");
}

TEST_F(Screenshots, SettingsDialogFirstRunAt144Dpi) {
  ASSERT_TRUE(ScreenIsAt(144));
  SettingsDialogFirstRun("settings-dialog-first-run-144dpi.png");
}

TEST_F(Screenshots, SettingsDialogWithRule) {
  StoreRule(kFind, kReplacement);
  Program& program = Start();
  ASSERT_TRUE(WaitUntil([&] { return program.MainWindow() != nullptr; }, 5s));
  const HWND dialog = OpenDialog(program);
  ASSERT_TRUE(Shown(dialog));
  PumpFor(500ms);
  EXPECT_TRUE(Screenshot(WindowArea(dialog), "settings-dialog-with-rule.png"));
}

TEST_F(Screenshots, TrayMenu) {
  StoreRule(kFind, kReplacement);
  Program& program = Start();
  const std::vector<HWND> icons = TrayIcons();
  ASSERT_EQ(icons.size(), 1u);
  PumpFor(150ms);  // until Wine has mapped the icon
  ASSERT_TRUE(RightClickAt(Centre(icons[0])));
  HWND menu = nullptr;
  ASSERT_TRUE(WaitUntil(
      [&] {
        menu = OpenMenuWindow();
        return menu != nullptr;
      },
      3s));
  PressKey(menu, VK_DOWN);
  PressKey(menu, VK_DOWN);  // 停止 highlighted
  PumpFor(500ms);
  EXPECT_TRUE(Screenshot(Around(WindowArea(icons[0]), WindowArea(menu), 8), "tray-menu.png"));
  PressKey(menu, VK_ESCAPE);
  EXPECT_TRUE(program.Running());
}

TEST_F(Screenshots, Balloon) {
  StoreRule(kFind, kReplacement);
  Program& program = Start();
  const std::vector<HWND> icons = TrayIcons();
  ASSERT_EQ(icons.size(), 1u);
  ASSERT_TRUE(CopyIsRewrittenTo(Link(kFind, L"report.pdf"), Link(kReplacement, L"report.pdf")));
  HWND balloon = nullptr;
  ASSERT_TRUE(WaitUntil(
      [&] {
        balloon = FindBalloon(L"以轉換...");
        return balloon != nullptr;
      },
      6s))
      << "no balloon \"以轉換...\"";
  PumpFor(300ms);
  EXPECT_TRUE(Screenshot(Around(WindowArea(icons[0]), WindowArea(balloon), 8), "balloon.png"));
  EXPECT_TRUE(program.Running());
}

// A link copied from a document with its formatting, pasted into a word processor once the
// program has converted it: the formatting stays, the link is the new one.
TEST_F(Screenshots, RichPaste) {
  StoreRule(kFind, kReplacement);
  Program& program = Start();
  const std::string link = Utf8(Link(kFind, L"report.pdf"));
  const std::string rtf =
      "{\\rtf1\\ansi{\\fonttbl{\\f0\\fnil Tahoma;}}{\\colortbl;\\red0\\green0\\blue238;}"
      "\\f0\\fs28\\b \\u26376?\\u22577?\\b0\\par\\fs24 "
      "\\u19979?\\u-28919?\\u-230? {\\cf1\\ul " +
      link + "}\\par}";
  ClipboardUser user;
  ASSERT_TRUE(
      user.CopyWith(L"月報\r\n下載： " + Link(kFind, L"report.pdf"), {{L"Rich Text Format", rtf}}));
  ASSERT_TRUE(WaitUntil(
      [&] {
        const std::optional<std::string> now = user.Bytes(L"Rich Text Format");
        return now && now->find(Utf8(kReplacement)) != std::string::npos;
      },
      5s))
      << "the RTF was not rewritten";

  Program word_processor;
  ASSERT_TRUE(word_processor.LaunchCommandLine(
      L"\"C:\\Program Files\\Windows NT\\Accessories\\wordpad.exe\""));
  HWND window = nullptr;
  HWND editor = nullptr;
  ASSERT_TRUE(WaitUntil(
      [&] {
        const std::vector<HWND> windows = TopLevelWindows(word_processor.Id());
        const auto shown = std::find_if(windows.begin(), windows.end(), Shown);
        window = shown == windows.end() ? nullptr : *shown;
        if (window == nullptr) return false;
        for (HWND child : Descendants(window)) {
          if (ClassName(child).starts_with(L"RichEdit") ||
              ClassName(child).starts_with(L"RICHEDIT")) {
            editor = child;
          }
        }
        return editor != nullptr;
      },
      10s))
      << "no word processor";
  SetWindowPos(window, nullptr, 60, 160, 480, 220, SWP_NOZORDER);  // clear of the balloon
  DWORD_PTR ignored = 0;
  SendMessageTimeoutW(editor, WM_PASTE, 0, 0, SMTO_NORMAL, 5000, &ignored);
  PumpFor(800ms);
  // The document only: the word processor's frame names Wine.
  EXPECT_TRUE(Screenshot(WindowArea(editor), "rich-paste.png"));
  EXPECT_TRUE(program.Running());
}

// The installer's first page, where the user picks the options (TLLINK_SETUP: the installer).
TEST_F(Screenshots, InstallerOptions) {
  const char* setup = std::getenv("TLLINK_SETUP");
  if (setup == nullptr || *setup == '\0') GTEST_SKIP() << "TLLINK_SETUP is not set";
  Program installer;
  ASSERT_TRUE(installer.LaunchCommandLine(L"\"" + WindowsPath(setup) + L"\""));
  HWND window = nullptr;
  ASSERT_TRUE(WaitUntil(
      [&] {
        window = FindTopLevelOfClass(installer.Id(), L"#32770");
        return Shown(window);
      },
      10s));
  PumpFor(500ms);
  EXPECT_TRUE(Screenshot(WindowArea(window), "installer-options.png"));
}  // the installer is ended with its Program

}  // namespace
}  // namespace tllink::e2e
