#include "program_fixture.h"

namespace tllink::testing {
namespace {

using MainButtons = ProgramFixture;

TEST_F(MainButtons, SettingsButtonShowsTheDialogAndHidesTheWindow) {
  Start();
  RunState expected = State();
  expected.window = false;
  Click1(Form1::kCommand1);
  EXPECT_EQ(State(), expected);
  ASSERT_TRUE(form2().Loaded());
  EXPECT_TRUE(form2().Window().Visible());
}

TEST_F(MainButtons, ExitButtonRemovesTheIconThenEnds) {
  StoreRule(u"a", u"b");
  Start();
  Click1(Form1::kCommand2);
  ASSERT_EQ(Calls().size(), 2u);
  EXPECT_EQ(Calls()[1].message, NotifyMessage::Delete);
  NotifyIconData expected;
  expected.hWnd = form1().Picture1().Handle();
  expected.uID = 1;
  expected.uFlags = 7;
  EXPECT_EQ(Calls()[1].data, expected);
  EXPECT_EQ(toolkit.notify_area.IconCount(), 0u);
  EXPECT_TRUE(toolkit.ended);
  EXPECT_TRUE(toolkit.messages.empty());
}

TEST_F(MainButtons, ExitEndsEvenWhenTheIconCannotBeRemoved) {
  Start();
  form1().mlngID = 7;  // an id that was never issued
  Click1(Form1::kCommand2);
  EXPECT_EQ(toolkit.messages.size(), 1u);
  EXPECT_TRUE(toolkit.ended);
}

TEST_F(MainButtons, StartButtonEnablesTheTimerAndLeavesMenuAndStartedFlag) {
  StoreRule(u"a", u"b", u"2");  // design-time state: both buttons shown, both menu items enabled
  Start();
  form1().ST = 1;  // as after a first tick
  Click1(Form1::kCommand3);
  EXPECT_EQ(State(), (RunState{.window = true,
                               .label1 = true,
                               .command3 = false,
                               .command4 = true,
                               .startt = true,
                               .stopp = true,
                               .timer = true,
                               .st = 1}));
}

TEST_F(MainButtons, StopButtonDisablesTheTimerResetsTheFlagWithoutABalloon) {
  StoreRule(u"a", u"b", u"2");
  Start();
  form1().ST = 1;
  Click1(Form1::kCommand4);
  EXPECT_EQ(State(), (RunState{.window = true,
                               .label1 = true,
                               .command3 = true,
                               .command4 = false,
                               .startt = true,
                               .stopp = true,
                               .timer = false,
                               .st = 0}));
  EXPECT_TRUE(Balloons().empty());
}

TEST_F(MainButtons, ClosingTheWindowOnlyHidesIt) {
  Start();
  RunState expected = State();
  expected.window = false;
  form1().OnCloseRequest();
  EXPECT_EQ(State(), expected);
  EXPECT_EQ(toolkit.notify_area.IconCount(), 1u);
  EXPECT_FALSE(toolkit.ended);
  EXPECT_EQ(Calls().size(), 1u);
}

TEST_F(MainButtons, UnhandledFailureIsReportedAndTheProgramRunsOn) {
  StoreRule(u"a", u"b", u"2");
  Start();
  toolkit.faults.Fail("Control::SetVisible");
  Click1(Form1::kCommand3);
  ASSERT_EQ(toolkit.messages.size(), 1u);
  EXPECT_EQ(toolkit.messages[0].caption, u"TideLock 網址轉換器");
  EXPECT_NE(toolkit.messages[0].text.find(u"Control::SetVisible"), std::u16string::npos)
      << "the message says what failed";
  EXPECT_FALSE(toolkit.ended);

  toolkit.faults.Clear("Control::SetVisible");
  Click1(Form1::kCommand3);
  EXPECT_TRUE(form1().Command4().Visible());
  EXPECT_FALSE(form1().Command3().Visible());
  EXPECT_EQ(toolkit.messages.size(), 1u);
}

}  // namespace
}  // namespace tllink::testing
