#include <gmock/gmock.h>

#include "program_fixture.h"

namespace tllink::testing {
namespace {

using ::testing::ElementsAre;
using Address = platform::memory::MemorySettingsStore::Address;
using Load = ProgramFixture;

TEST_F(Load, NothingStoredShowsTheConfigureFirstWindow) {
  Start();
  EXPECT_EQ(State(), (RunState{.window = true,
                               .label1 = true,
                               .command3 = false,
                               .command4 = false,
                               .startt = false,
                               .stopp = false,
                               .timer = false,
                               .st = 0}));
  EXPECT_TRUE(form1().Command1().Visible());
  EXPECT_TRUE(form1().Command2().Visible());
  EXPECT_EQ(form2().sup, u"");
  EXPECT_EQ(form2().temp1, u"");
  EXPECT_EQ(form2().temp2, u"");
  EXPECT_FALSE(form2().Loaded()) << "the dialog object exists, its window is not loaded";
  EXPECT_EQ(toolkit.notify_area.IconCount(), 1u);
}

TEST_F(Load, StoredRuleStartsHiddenWithTheTimerOn) {
  StoreRule(u" http://h/u/1/ ", u"  http://d/1/", u"1");
  Start();
  EXPECT_EQ(State(), (RunState{.window = false,
                               .label1 = false,
                               .command3 = true,
                               .command4 = false,
                               .startt = false,
                               .stopp = true,
                               .timer = true,
                               .st = 0}));
  EXPECT_EQ(form2().sup, u"1");
  EXPECT_EQ(form2().temp1, u" http://h/u/1/ ") << "values are taken as stored, untrimmed";
  EXPECT_EQ(form2().temp2, u"  http://d/1/");
  EXPECT_FALSE(form2().Loaded());
  EXPECT_EQ(toolkit.notify_area.IconCount(), 1u);
  EXPECT_TRUE(toolkit.messages.empty());
}

TEST_F(Load, AnotherStoredFlagLeavesTheDesignTimeState) {
  StoreRule(u"a", u"b", u"2");
  Start();
  EXPECT_EQ(State(), (RunState{.window = true,
                               .label1 = true,
                               .command3 = true,
                               .command4 = true,
                               .startt = true,
                               .stopp = true,
                               .timer = false,
                               .st = 0}));
  EXPECT_EQ(form2().sup, u"2");
}

TEST_F(Load, SecondInstanceIsToldAndEndsWithoutAnIcon) {
  StoreRule(u"a", u"b");
  toolkit.previous_instance = true;
  program.Start();
  ASSERT_EQ(toolkit.messages.size(), 1u);
  EXPECT_EQ(toolkit.messages[0].text, u"程式以正在運行中囉~");
  EXPECT_EQ(toolkit.messages[0].caption, u"TideLock 網址轉換器");
  EXPECT_TRUE(toolkit.ended);
  EXPECT_EQ(CallCount(NotifyMessage::Add), 0);
  EXPECT_TRUE(Calls().empty());
  EXPECT_FALSE(form1().Window().Visible());
  EXPECT_FALSE(form1().Timer2().Enabled());
  EXPECT_TRUE(toolkit.Settings().Reads().empty()) << "nothing else of the load runs";
}

TEST_F(Load, RegistersTheTrayIconOnThePictureBoxWithTheWindowsCaption) {
  Start();
  ASSERT_EQ(Calls().size(), 1u);
  EXPECT_EQ(Calls()[0].message, NotifyMessage::Add);
  NotifyIconData expected;
  expected.hWnd = form1().Picture1().Handle();
  expected.uID = 1;
  expected.uFlags = 7;
  expected.uCallbackMessage = 512;
  expected.hIcon = form1().Window().Icon();
  expected.szTip = u"Tidelock 網址轉換器";
  EXPECT_EQ(Calls()[0].data, expected);
  EXPECT_NE(expected.hIcon, 0u);
  EXPECT_NE(expected.hWnd, form1().Window().Handle());
  EXPECT_EQ(form1().mlngID, 1);
}

TEST_F(Load, ReadsFlagFindTextReplacementInOrderWithEmptyDefaults) {
  toolkit.Settings().Put(u"tllink", u"sup", u"vl", u"1");
  Start();
  EXPECT_THAT(toolkit.Settings().Reads(),
              ElementsAre(Address{u"tllink", u"sup", u"vl"}, Address{u"tllink", u"slink", u"temp1"},
                          Address{u"tllink", u"elink", u"temp2"}));
  EXPECT_EQ(form2().sup, u"1");
  EXPECT_EQ(form2().temp1, u"");
  EXPECT_EQ(form2().temp2, u"");
  EXPECT_TRUE(toolkit.Settings().Writes().empty()) << "loading writes nothing back";
}

TEST_F(Load, WindowThatCannotBeCreatedEndsTheStartWithAMessage) {
  toolkit.faults.Fail("CreateAppWindow");
  EXPECT_FALSE(program.Start());
  ASSERT_EQ(toolkit.messages.size(), 1u);
  EXPECT_EQ(toolkit.messages[0].caption, kAppTitle);
  EXPECT_EQ(toolkit.notify_area.IconCount(), 0u);
  EXPECT_EQ(CallCount(NotifyMessage::Add), 0);
}

// A failure in the load handler ends the start; the window never shows in its design-time state.
TEST_F(Load, FailedInstanceTestEndsTheStartWithAMessage) {
  StoreRule(u"a", u"b");
  toolkit.faults.Fail("PreviousInstance");
  EXPECT_FALSE(program.Start());
  ASSERT_EQ(toolkit.messages.size(), 1u);
  EXPECT_EQ(toolkit.messages[0].caption, kAppTitle);
  EXPECT_FALSE(form1().Window().Visible());
  EXPECT_EQ(CallCount(NotifyMessage::Add), 0);
}

TEST_F(Load, FailedRuleReadEndsTheStartWithoutATrayIcon) {
  StoreRule(u"a", u"b");
  toolkit.faults.Fail("SettingsStore::Get");
  EXPECT_FALSE(program.Start());
  EXPECT_EQ(toolkit.messages.size(), 1u);
  EXPECT_FALSE(form1().Window().Visible());
  EXPECT_FALSE(form1().Timer2().Enabled());
  EXPECT_EQ(CallCount(NotifyMessage::Add), 1);
  EXPECT_EQ(toolkit.notify_area.IconCount(), 0u);
}

TEST_F(Load, WindowThatCannotBeShownLeavesNoTrayIconBehind) {
  toolkit.faults.Fail("Window::SetVisible");
  EXPECT_FALSE(program.Start());
  EXPECT_EQ(toolkit.messages.size(), 1u);
  EXPECT_EQ(CallCount(NotifyMessage::Add), 1);
  EXPECT_EQ(toolkit.notify_area.IconCount(), 0u);
}

}  // namespace
}  // namespace tllink::testing
