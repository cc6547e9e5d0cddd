// Start-up as the user meets it: the configure-first window, the hidden start with a stored
// rule, the single instance, and exit.

#include "tests/e2e/fixture.h"

namespace tllink::e2e {
namespace {

using Foundation = E2eTest;

TEST_F(Foundation, FirstRunShowsConfigureFirstWindowAndOneTrayIcon) {
  Program& program = Start();
  ASSERT_TRUE(MainWindowShown(program));
  const HWND main = program.MainWindow();

  EXPECT_TRUE(Shown(FindChild(main, L"請設定環境")));
  EXPECT_TRUE(Shown(FindChild(main, L"環境設定")));
  EXPECT_TRUE(Shown(FindChild(main, L"離開")));
  EXPECT_FALSE(Shown(FindChild(main, L"啟動")));
  EXPECT_FALSE(Shown(FindChild(main, L"停止")));
  // A docked icon was once seen missing for a moment as the window came up (Wine 8, trayer).
  EXPECT_TRUE(TrayIconCountBecomes(1, 2s));
  EXPECT_TRUE(HoldsFor([] { return TrayIconCount() == 1; }, 500ms)) << TrayIconCount();
}

TEST_F(Foundation, StoredRuleStartsHiddenWithTrayIcon) {
  StoreRule(kFind, kReplacement);
  Program& program = Start();

  ASSERT_TRUE(WaitUntil([&] { return program.MainWindow() != nullptr; }, 5s))
      << "the program has no main window";
  EXPECT_TRUE(StaysHidden(program.MainWindow()));
  EXPECT_EQ(TrayIconCount(), 1u);
  EXPECT_TRUE(program.Running());
}

// The balloon's Chinese text arrives intact only through the wide notification call.
TEST_F(Foundation, StoredRuleAnnouncesStartWithBalloon) {
  StoreRule(kFind, kReplacement);
  Program& program = Start();

  EXPECT_TRUE(WaitUntil([] { return FindBalloon(L"以啟動...") != nullptr; }, 6s))
      << "no balloon \"以啟動...\"";
  EXPECT_TRUE(program.Running());
}

TEST_F(Foundation, SecondLaunchShowsMessageBoxAndEndsWhenDismissed) {
  Program& first = Start();
  Program& second = Launch();

  HWND box = nullptr;
  ASSERT_TRUE(WaitUntil(
      [&] {
        box = second.MessageBoxWindow();
        return Shown(box);
      },
      10s))
      << "the second instance shows no message box";
  EXPECT_EQ(WindowText(GetDlgItem(box, 0xFFFF)), L"程式以正在運行中囉~");
  std::vector<HWND> buttons;
  for (HWND child : Descendants(box)) {
    if (Shown(child) && _wcsicmp(ClassName(child).c_str(), L"Button") == 0) {
      buttons.push_back(child);
    }
  }
  ASSERT_EQ(buttons.size(), 1u) << "the message box should offer one button";
  EXPECT_EQ(GetDlgCtrlID(buttons[0]), IDOK);
  EXPECT_TRUE(HoldsFor([] { return TrayIconCount() == 1; }, 500ms))
      << "the second instance must not add a tray icon";
  EXPECT_TRUE(second.Running()) << "the second instance must wait for the message box";

  Click(buttons[0]);
  EXPECT_TRUE(Ends(second));
  EXPECT_TRUE(first.Running());
  EXPECT_TRUE(HoldsFor([] { return TrayIconCount() == 1; }, 500ms)) << TrayIconCount();
}

TEST_F(Foundation, ExitButtonRemovesTrayIconAndEnds) {
  Program& program = Start();
  ASSERT_TRUE(MainWindowShown(program));
  const HWND exit = FindChild(program.MainWindow(), L"離開");
  ASSERT_TRUE(Shown(exit));

  Click(exit);  // the program ends inside the click, so the click gets no answer
  EXPECT_TRUE(EndsWithoutTrayIcon(program));
}

}  // namespace
}  // namespace tllink::e2e
