// The tray icon's menu, opened by a real right-click of the X server on Wine's tray icon.

#include "tests/e2e/fixture.h"

// After <windows.h>, which the fixture brings.
#include <shellapi.h>

namespace tllink::e2e {
namespace {

// Positions in the menu: 啟動, 停止, 離開, 環境設定, 關於.
constexpr int kStartItem = 0;
constexpr int kStopItem = 1;
constexpr int kExitItem = 2;

class TrayMenu : public E2eTest {
 protected:
  Program& StartWithRule() {
    StoreRule(kFind, kReplacement);
    return Start();
  }

  // Right-clicks the tray icon and waits for the program's pop-up menu.
  static HWND OpenMenu(const Program& program) {
    EXPECT_TRUE(TrayIconCountBecomes(1, 3s));
    HWND menu = nullptr;
    // Wine maps the icon's X window just after it becomes visible, and the X11 tray docks it a
    // moment later: a click that lands before either is tried again, as a user would.
    for (int attempt = 0; attempt < 3 && menu == nullptr; ++attempt) {
      PumpFor(150ms);
      const std::vector<HWND> icons = TrayIcons();
      if (icons.size() != 1 || !RightClickAt(Centre(icons[0]))) continue;
      WaitUntil(
          [&] {
            menu = OpenMenuWindow();
            return menu != nullptr;
          },
          1500ms);
    }
    EXPECT_NE(menu, nullptr) << "no menu opened on a right-click";
    if (menu) {
      DWORD owner = 0;
      GetWindowThreadProcessId(menu, &owner);
      EXPECT_EQ(owner, program.Id()) << "the open menu is not the program's";
    }
    return menu;
  }

  // Picks the item at `position` with the keyboard, as a user can, and waits for the menu to
  // close; the item's command arrives after that.
  static void Choose(HWND menu, int position) {
    ASSERT_NE(menu, nullptr);
    for (int i = 0; i <= position; ++i) PressKey(menu, VK_DOWN);
    PressKey(menu, VK_RETURN);
    ASSERT_TRUE(WaitUntil([] { return OpenMenuWindow() == nullptr; }, 3s)) << "the menu stays open";
    PumpFor(300ms);
  }
};

TEST_F(TrayMenu, RightClickOpensMenuWhileMainWindowStaysHidden) {
  Program& program = StartWithRule();
  ASSERT_TRUE(WaitUntil([&] { return program.MainWindow() != nullptr; }, 5s));

  const HWND menu = OpenMenu(program);
  ASSERT_NE(menu, nullptr);
  EXPECT_TRUE(StaysHidden(program.MainWindow(), 500ms));
  EXPECT_TRUE(Shown(menu));

  PressKey(menu, VK_ESCAPE);
  EXPECT_TRUE(WaitUntil([] { return OpenMenuWindow() == nullptr; }, 3s));
  EXPECT_TRUE(program.Running());
  EXPECT_EQ(TrayIconCount(), 1u);
}

TEST_F(TrayMenu, StopAndStartToggleRewriting) {
  Program& program = StartWithRule();
  ASSERT_TRUE(CopyIsRewrittenTo(Link(kFind, L"1"), Link(kReplacement, L"1")));

  Choose(OpenMenu(program), kStopItem);
  EXPECT_TRUE(CopyStaysUnchanged(Link(kFind, L"2")));

  Choose(OpenMenu(program), kStartItem);
  EXPECT_TRUE(CopyIsRewrittenTo(Link(kFind, L"3"), Link(kReplacement, L"3")));
  EXPECT_TRUE(program.Running());
}

TEST_F(TrayMenu, ExitRemovesTrayIconAndEnds) {
  Program& program = StartWithRule();

  Choose(OpenMenu(program), kExitItem);
  EXPECT_TRUE(EndsWithoutTrayIcon(program));
}

TEST_F(TrayMenu, IconReturnsAfterTaskbarIsRecreated) {
  Program& program = StartWithRule();
  ASSERT_TRUE(WaitUntil([&] { return program.MainWindow() != nullptr; }, 5s));

  // A restarted shell has forgotten every icon: delete the program's icon (owner window and
  // id 1) as the shell would lose it. Its owner is one of the main window's child windows.
  std::vector<HWND> candidates = Descendants(program.MainWindow());
  candidates.push_back(program.MainWindow());
  int owners = 0;
  for (HWND window : candidates) {
    NOTIFYICONDATAW data{};
    data.cbSize = NOTIFYICONDATAW_V3_SIZE;
    data.hWnd = window;
    data.uID = 1;
    if (Shell_NotifyIconW(NIM_DELETE, &data)) ++owners;
  }
  ASSERT_EQ(owners, 1) << "the icon with id 1 should belong to exactly one window";
  ASSERT_TRUE(TrayIconCountBecomes(0, 2s));

  // The shell announces itself to every top-level window.
  const UINT taskbar_created = RegisterWindowMessageW(L"TaskbarCreated");
  ASSERT_NE(taskbar_created, 0u);
  DWORD_PTR result = 0;
  SendMessageTimeoutW(HWND_BROADCAST, taskbar_created, 0, 0, SMTO_ABORTIFHUNG, 2000, &result);

  EXPECT_TRUE(TrayIconCountBecomes(1, 3s));
  EXPECT_TRUE(program.Running());
  // The icon is the program's own again: its menu opens.
  const HWND menu = OpenMenu(program);
  ASSERT_NE(menu, nullptr);
  PressKey(menu, VK_ESCAPE);
}

}  // namespace
}  // namespace tllink::e2e
