#include <optional>

#include "program_fixture.h"

namespace tllink::testing {
namespace {

// Running hidden in the tray with a stored rule, unless a test starts otherwise.
class TrayMenu : public ProgramFixture {
 protected:
  void StartWithRule(std::u16string flag = u"1") {
    StoreRule(u"http://h/u/1/", u"http://d/1/", std::move(flag));
    Start();
  }
  // The tray's callback as the picture box reports it, X in its scale units.
  void MouseMove(float x) {
    form1().OnMouseMove(Form1::kPicture1, platform::MouseEvent{0, 0, x, 0});
  }
};

TEST_F(TrayMenu, RightButtonUpBringsTheHiddenMainWindowForwardAndOpensTheMenu) {
  StartWithRule();
  const RunState before = State();
  TrayNotification(0x205);  // the menu is dismissed
  EXPECT_EQ(Window1().PopupCount(), 1);
  ASSERT_EQ(toolkit.foreground_calls.size(), 1u);
  EXPECT_EQ(toolkit.foreground_calls[0], form1().Window().Handle());
  EXPECT_NE(toolkit.foreground_calls[0], form1().Picture1().Handle());
  EXPECT_EQ(State(), before) << "the main window stays hidden";
}

TEST_F(TrayMenu, RightButtonUpFromXInTwips) {
  StartWithRule();
  MouseMove(7755);  // 15 twips per pixel
  EXPECT_EQ(Window1().PopupCount(), 1);
  toolkit.twips_per_pixel_x = 1440.0 / 110;
  MouseMove(6768);
  EXPECT_EQ(Window1().PopupCount(), 2);
}

TEST_F(TrayMenu, EveryOtherNotificationIsIgnored) {
  StartWithRule();
  for (long message : {0x200L, 0x201L, 0x202L, 0x203L, 0x204L, 0x206L}) {
    TrayNotification(message);
  }
  MouseMove(516.5f * 15);  // ties to even: 516
  MouseMove(517.5f * 15);  // 518
  EXPECT_EQ(Window1().PopupCount(), 0);
  EXPECT_TRUE(toolkit.foreground_calls.empty());
}

TEST_F(TrayMenu, TimerTicksWhileTheMenuIsOpen) {
  StartWithRule();
  toolkit.menu_chooser = [this](platform::memory::MemoryMenu&) -> std::optional<int> {
    Clip().CopyText(u"http://h/u/1/f");
    Tick();
    return std::nullopt;
  };
  TrayNotification(0x205);
  EXPECT_EQ(Clip().Text(), u"http://d/1/f");
}

TEST_F(TrayMenu, StartEnablesTheTimerAndSwitchesBothItems) {
  StartWithRule(u"2");  // design-time state: both items enabled, timer off
  form1().ST = 1;
  ChooseFromTrayMenu(Form1::kStartt);
  EXPECT_EQ(State(), (RunState{.window = true,
                               .label1 = true,
                               .command3 = false,
                               .command4 = true,
                               .startt = false,
                               .stopp = true,
                               .timer = true,
                               .st = 1}));
}

TEST_F(TrayMenu, StopShowsItsBalloonThenStops) {
  StartWithRule();
  Tick();
  ChooseFromTrayMenu(Form1::kStopp);
  EXPECT_EQ(Calls().back().data, BalloonRecord(kStopBalloon));
  EXPECT_EQ(State(), (RunState{.window = false,
                               .label1 = false,
                               .command3 = true,
                               .command4 = false,
                               .startt = true,
                               .stopp = false,
                               .timer = false,
                               .st = 0}));
}

TEST_F(TrayMenu, StopBalloonComesBeforeTheStateChanges) {
  StartWithRule();
  Tick();
  toolkit.faults.Fail("Control::SetVisible");
  ChooseFromTrayMenu(Form1::kStopp);
  EXPECT_EQ(BalloonCount(kStopBalloon), 1);
  EXPECT_EQ(form1().ST, 1) << "the handler stopped at the failure, after the balloon";
  ASSERT_EQ(toolkit.messages.size(), 1u);
  EXPECT_EQ(toolkit.messages[0].caption, kAppTitle);
  EXPECT_FALSE(toolkit.ended);
}

TEST_F(TrayMenu, StartAfterStopShowsTheStartBalloonAgain) {
  StartWithRule();
  Tick();
  ChooseFromTrayMenu(Form1::kStopp);
  ChooseFromTrayMenu(Form1::kStartt);
  Ticks(3);
  EXPECT_EQ(Balloons(), (std::vector<std::u16string>{kStartBalloon, kStopBalloon, kStartBalloon}));
}

TEST_F(TrayMenu, ButtonStopLeavesTheMenuStopEnabled) {
  StartWithRule();
  Click1(Form1::kCommand4);
  EXPECT_TRUE(form1().mnuShell().Enabled(Form1::kStopp));
  EXPECT_FALSE(form1().mnuShell().Enabled(Form1::kStartt));
  ChooseFromTrayMenu(Form1::kStopp);  // stopping again still announces it and sets the state
  EXPECT_EQ(Balloons(), std::vector<std::u16string>{kStopBalloon});
  EXPECT_TRUE(form1().mnuShell().Enabled(Form1::kStartt));
  EXPECT_FALSE(form1().mnuShell().Enabled(Form1::kStopp));
}

TEST_F(TrayMenu, DisabledItemsCannotBeChosen) {
  Start();  // nothing stored: start and stop are disabled
  const RunState before = State();
  ChooseFromTrayMenu(Form1::kStartt);
  ChooseFromTrayMenu(Form1::kStopp);
  EXPECT_EQ(State(), before);
  EXPECT_TRUE(Balloons().empty());
}

TEST_F(TrayMenu, ExitRemovesTheIconAndEnds) {
  StartWithRule();
  ChooseFromTrayMenu(Form1::kExit);
  ASSERT_EQ(Calls().size(), 2u);
  EXPECT_EQ(Calls()[1].message, NotifyMessage::Delete);
  EXPECT_EQ(Calls()[1].data.uID, 1u);
  EXPECT_EQ(toolkit.notify_area.IconCount(), 0u);
  EXPECT_TRUE(toolkit.ended);
}

TEST_F(TrayMenu, SettingShowsTheDialogAndLeavesTheMainWindowAlone) {
  StartWithRule();
  ChooseFromTrayMenu(Form1::kSetting);
  EXPECT_TRUE(form2().Window().Visible());
  EXPECT_FALSE(form1().Window().Visible());
}

TEST_F(TrayMenu, SettingKeepsAVisibleMainWindowVisible) {
  Start();
  ChooseFromTrayMenu(Form1::kSetting);
  EXPECT_TRUE(form2().Window().Visible());
  EXPECT_TRUE(form1().Window().Visible());
}

TEST_F(TrayMenu, AboutShowsTheVersionBalloon) {
  StartWithRule();
  const RunState before = State();
  ChooseFromTrayMenu(Form1::kAbout);
  const NotifyIconData& about = Calls().back().data;
  EXPECT_EQ(about.szInfoTitle, u"TideLock 網址轉換器");
  EXPECT_TRUE(about.szInfo.ends_with(u" 版本 v2.0"));
  EXPECT_GT(about.szInfo.size(), std::u16string_view(u" 版本 v2.0").size())
      << "a credit line first";
  NotifyIconData expected = BalloonRecord(about.szInfo);
  EXPECT_EQ(about, expected);
  EXPECT_EQ(State(), before);
}

TEST_F(TrayMenu, IconComesBackWhenTheTaskbarIsRecreated) {
  StartWithRule();
  toolkit.notify_area.LoseIcons();
  form1().OnTaskbarCreated();
  EXPECT_EQ(toolkit.notify_area.IconCount(), 1u);
  EXPECT_EQ(Calls().back().message, NotifyMessage::Add);
  EXPECT_EQ(Calls().back().data, Calls().front().data) << "same id, tooltip and callback";
}

}  // namespace
}  // namespace tllink::testing
