// The settings dialog: enter, save and remove the rule, and leave the program from it.

#include "tests/e2e/fixture.h"

namespace tllink::e2e {
namespace {

// A rule with Chinese in both texts, as a user of a localised file host might enter it.
constexpr std::wstring_view kChineseFind = L"http://files.example.com/u/使用者/";
constexpr std::wstring_view kChineseReplacement = L"https://鏡像.example.net/下載/";

bool IsEdit(HWND window) {
  return window && _wcsicmp(ClassName(window).c_str(), L"Edit") == 0;
}

class SettingsDialog : public E2eTest {
 protected:
  // Presses "環境設定" on the main window (hidden or not) and waits for the dialog.
  HWND OpenDialog(const Program& program) {
    const HWND settings = FindChild(program.MainWindow(), L"環境設定");
    EXPECT_NE(settings, nullptr) << "the main window has no settings button";
    Click(settings);
    HWND dialog = nullptr;
    EXPECT_TRUE(WaitUntil(
        [&] {
          dialog = program.Dialog();
          return Shown(dialog);
        },
        5s))
        << "the settings dialog was not shown";
    return dialog;
  }

  // First run: opens the dialog, types the rule and presses "設定".
  void SaveThroughDialog(const Program& program, std::wstring_view find,
                         std::wstring_view replacement) {
    ASSERT_TRUE(MainWindowShown(program));
    const HWND dialog = OpenDialog(program);
    ASSERT_NE(dialog, nullptr);
    const HWND find_box = FindChild(dialog, L"原始網址");
    const HWND replacement_box = FindChild(dialog, L"取代成");
    ASSERT_TRUE(IsEdit(find_box));
    ASSERT_TRUE(IsEdit(replacement_box));
    ASSERT_TRUE(SetText(find_box, find));
    ASSERT_TRUE(SetText(replacement_box, replacement));
    const HWND save = FindChild(dialog, L"設定");
    ASSERT_TRUE(Shown(save));
    ASSERT_TRUE(IsWindowEnabled(save));
    ASSERT_TRUE(Click(save));
    EXPECT_TRUE(WaitUntil([dialog] { return !Shown(dialog); }, 3s))
        << "the dialog stays open after saving";
  }
};

TEST_F(SettingsDialog, OpensFromMainWindowWithDesignTimeTexts) {
  Program& program = Start();
  ASSERT_TRUE(MainWindowShown(program));
  const HWND dialog = OpenDialog(program);
  ASSERT_NE(dialog, nullptr);

  const HWND find_box = FindChild(dialog, L"原始網址");
  const HWND replacement_box = FindChild(dialog, L"取代成");
  EXPECT_TRUE(IsEdit(find_box) && Shown(find_box) && IsWindowEnabled(find_box));
  EXPECT_TRUE(IsEdit(replacement_box) && Shown(replacement_box) &&
              IsWindowEnabled(replacement_box));
  EXPECT_TRUE(StaysHidden(program.MainWindow(), 300ms))
      << "the main window hides when the dialog opens";
}

TEST_F(SettingsDialog, SaveStoresExactValuesHidesDialogAndStartsRewriting) {
  Program& program = Start();
  SaveThroughDialog(program, kChineseFind, kChineseReplacement);

  EXPECT_EQ(ReadSetting(L"slink", L"temp1"), std::wstring(kChineseFind));
  EXPECT_EQ(ReadSetting(L"elink", L"temp2"), std::wstring(kChineseReplacement));
  EXPECT_EQ(ReadSetting(L"sup", L"vl"), std::wstring(L"1"));
  EXPECT_TRUE(
      CopyIsRewrittenTo(Link(kChineseFind, L"報告.pdf"), Link(kChineseReplacement, L"報告.pdf")));
}

TEST_F(SettingsDialog, SavedRuleIsAppliedAfterRestart) {
  {
    Program& program = Start();
    SaveThroughDialog(program, kChineseFind, kChineseReplacement);
    // The main window is hidden now; its exit button still ends the program.
    Click(FindChild(program.MainWindow(), L"離開"));
    ASSERT_TRUE(Ends(program));
    ASSERT_TRUE(TrayIconCountBecomes(0));
  }

  Program& restarted = Start();
  ASSERT_TRUE(WaitUntil([&] { return restarted.MainWindow() != nullptr; }, 5s));
  EXPECT_TRUE(StaysHidden(restarted.MainWindow()));
  EXPECT_TRUE(CopyIsRewrittenTo(Link(kChineseFind, L"x.zip"), Link(kChineseReplacement, L"x.zip")));
}

TEST_F(SettingsDialog, RemoveDeletesRuleAndStopsRewriting) {
  StoreRule(kFind, kReplacement);
  Program& program = Start();
  ASSERT_TRUE(CopyIsRewrittenTo(Link(kFind, L"1"), Link(kReplacement, L"1")));
  ASSERT_TRUE(WaitUntil([&] { return program.MainWindow() != nullptr; }, 5s));

  const HWND dialog = OpenDialog(program);
  ASSERT_NE(dialog, nullptr);
  // The stored rule fills the boxes.
  EXPECT_NE(FindChild(dialog, std::wstring(kFind)), nullptr);
  const HWND remove = FindChild(dialog, L"移除設定");
  ASSERT_TRUE(Shown(remove));
  ASSERT_TRUE(Click(remove));

  EXPECT_TRUE(WaitUntil([] { return !SettingsKeyExists(); }, 3s))
      << "the tllink key is still in the registry";
  EXPECT_TRUE(CopyStaysUnchanged(Link(kFind, L"2")));
  EXPECT_TRUE(program.Running());
}

TEST_F(SettingsDialog, ExitInDialogRemovesTrayIconAndEnds) {
  Program& program = Start();
  ASSERT_TRUE(MainWindowShown(program));
  const HWND dialog = OpenDialog(program);
  ASSERT_NE(dialog, nullptr);
  const HWND exit = FindChild(dialog, L"離開");
  ASSERT_TRUE(Shown(exit));

  Click(exit);  // the program ends inside the click
  EXPECT_TRUE(EndsWithoutTrayIcon(program));
}

}  // namespace
}  // namespace tllink::e2e
