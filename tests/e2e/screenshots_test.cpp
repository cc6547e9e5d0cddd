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

// The smallest area holding both, with a margin, clipped to the screen.
RECT Around(const RECT& a, const RECT& b, int margin) {
  RECT area{std::min(a.left, b.left) - margin, std::min(a.top, b.top) - margin,
            std::max(a.right, b.right) + margin, std::max(a.bottom, b.bottom) + margin};
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
};

TEST_F(Screenshots, MainWindowFirstRun) {
  Program& program = Start();
  ASSERT_TRUE(MainWindowShown(program));
  PumpFor(500ms);  // let it paint
  EXPECT_TRUE(Screenshot(WindowArea(program.MainWindow()), "main-window-first-run.png"));
}

TEST_F(Screenshots, SettingsDialogFirstRun) {
  Program& program = Start();
  ASSERT_TRUE(MainWindowShown(program));
  const HWND dialog = OpenDialog(program);
  ASSERT_TRUE(Shown(dialog));
  PumpFor(500ms);
  EXPECT_TRUE(Screenshot(WindowArea(dialog), "settings-dialog-first-run.png"));
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
  const HWND tray = GetAncestor(icons[0], GA_ROOT);
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
  EXPECT_TRUE(Screenshot(Around(WindowArea(tray), WindowArea(menu), 8), "tray-menu.png"));
  PressKey(menu, VK_ESCAPE);
  EXPECT_TRUE(program.Running());
}

TEST_F(Screenshots, Balloon) {
  StoreRule(kFind, kReplacement);
  Program& program = Start();
  const std::vector<HWND> icons = TrayIcons();
  ASSERT_EQ(icons.size(), 1u);
  const HWND tray = GetAncestor(icons[0], GA_ROOT);
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
  EXPECT_TRUE(Screenshot(Around(WindowArea(tray), WindowArea(balloon), 8), "balloon.png"));
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
