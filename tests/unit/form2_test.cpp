#include <gmock/gmock.h>

#include <functional>

#include "program_fixture.h"

namespace tllink::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using Write = platform::memory::MemorySettingsStore::Write;
using Settings = ProgramFixture;

TEST_F(Settings, FirstShowingWithNothingStoredOffersTheDesignTimeTexts) {
  Start();
  Click1(Form1::kCommand1);
  EXPECT_EQ(Dialog(), (DialogState{.visible = true,
                                   .ts = u"原始網址",
                                   .ts_enabled = true,
                                   .te = u"取代成",
                                   .te_enabled = true,
                                   .command1_enabled = true,
                                   .command2 = false,
                                   .command3 = true,
                                   .command4 = true}));
}

TEST_F(Settings, FirstShowingWithAStoredRuleLocksIt) {
  StoreRule(u" http://h/u/1/ ", u"http://d/1/ ");
  Start();
  ChooseFromTrayMenu(Form1::kSetting);
  EXPECT_EQ(Dialog(), (DialogState{.visible = true,
                                   .ts = u" http://h/u/1/ ",
                                   .ts_enabled = false,
                                   .te = u"http://d/1/ ",
                                   .te_enabled = false,
                                   .command1_enabled = false,
                                   .command2 = true,
                                   .command3 = false,
                                   .command4 = true}));
}

TEST_F(Settings, AnotherStoredFlagLeavesEveryControlAsDesigned) {
  StoreRule(u"a", u"b", u"2");
  Start();
  Click1(Form1::kCommand1);
  EXPECT_EQ(Dialog(), (DialogState{.visible = true,
                                   .ts = u"原始網址",
                                   .ts_enabled = true,
                                   .te = u"取代成",
                                   .te_enabled = true,
                                   .command1_enabled = true,
                                   .command2 = true,
                                   .command3 = true,
                                   .command4 = true}));
  Click2(Form2::kCommand4);
  EXPECT_FALSE(form2().Window().Visible());
  EXPECT_FALSE(form1().Window().Visible()) << "the flag is not empty, so back does not show it";
}

TEST_F(Settings, SaveStoresTheFieldsAsEnteredAndStartsRewriting) {
  Start();
  Click1(Form1::kCommand1);
  form2().TS().SetText(u" http://h/u/1/ ");
  form2().TE().SetText(u"http://d/下載/ ");
  Click2(Form2::kCommand1);

  EXPECT_THAT(toolkit.Settings().Writes(),
              ElementsAre(Write{{u"tllink", u"slink", u"temp1"}, u" http://h/u/1/ "},
                          Write{{u"tllink", u"elink", u"temp2"}, u"http://d/下載/ "},
                          Write{{u"tllink", u"sup", u"vl"}, u"1"}));
  EXPECT_EQ(form2().temp1, u" http://h/u/1/ ");
  EXPECT_EQ(form2().temp2, u"http://d/下載/ ");
  EXPECT_EQ(form2().sup, u"1");
  EXPECT_EQ(Dialog(), (DialogState{.visible = false,
                                   .ts = u" http://h/u/1/ ",
                                   .ts_enabled = false,
                                   .te = u"http://d/下載/ ",
                                   .te_enabled = false,
                                   .command1_enabled = false,
                                   .command2 = true,
                                   .command3 = false,
                                   .command4 = true}));
  EXPECT_EQ(State(), (RunState{.window = false,
                               .label1 = false,
                               .command3 = true,
                               .command4 = false,
                               .startt = false,
                               .stopp = true,
                               .timer = true,
                               .st = 0}));
}

TEST_F(Settings, SaveFromTheTrayKeepsTheMainWindowVisible) {
  Start();
  ChooseFromTrayMenu(Form1::kSetting);
  Click2(Form2::kCommand1);  // unedited: the design-time texts are ordinary contents
  EXPECT_EQ(form2().temp1, u"原始網址");
  EXPECT_EQ(form2().temp2, u"取代成");
  EXPECT_TRUE(form1().Window().Visible());
  EXPECT_FALSE(form1().Label1().Visible());
  EXPECT_TRUE(form1().Command3().Visible());
  EXPECT_TRUE(form1().Timer2().Enabled());
}

TEST_F(Settings, FailedSaveIsReportedAndChangesNothing) {
  StoreRule(u"a", u"b", u"2");  // leaves the fields editable and the main window visible
  Start();
  form1().ST = 1;
  ChooseFromTrayMenu(Form1::kSetting);
  form2().TS().SetText(u"http://h/u/1/");
  const RunState run_before = State();
  const DialogState dialog_before = Dialog();

  toolkit.faults.Fail("SettingsStore::Save");
  Click2(Form2::kCommand1);
  ASSERT_EQ(toolkit.messages.size(), 1u);
  EXPECT_NE(toolkit.messages[0].text.find(u"無法儲存"), std::u16string::npos)
      << "says that the rule could not be saved";
  EXPECT_EQ(toolkit.messages[0].caption, kAppTitle);
  EXPECT_EQ(State(), run_before);
  EXPECT_EQ(Dialog(), dialog_before);
  EXPECT_EQ(form2().temp1, u"a");
  EXPECT_EQ(form2().temp2, u"b");
  EXPECT_EQ(form2().sup, u"2");
}

TEST_F(Settings, SaveThatFailsPartWayLeavesTheStoredRuleAsItWas) {
  StoreRule(u"a", u"b", u"2");
  Start();
  ChooseFromTrayMenu(Form1::kSetting);
  form2().TS().SetText(u"http://h/u/1/");
  const auto stored = toolkit.Settings().Values();
  for (int failing_write = 1; failing_write <= 3; ++failing_write) {
    toolkit.faults.FailOnce("SettingsStore::Save", failing_write);
    Click2(Form2::kCommand1);
    EXPECT_EQ(toolkit.Settings().Values(), stored) << "write " << failing_write << " failed";
  }
  EXPECT_EQ(toolkit.messages.size(), 3u);

  // Where nothing was stored, nothing is left behind.
  toolkit.Settings().DeleteApp(u"tllink");
  toolkit.faults.FailOnce("SettingsStore::Save", 3);
  Click2(Form2::kCommand1);
  EXPECT_THAT(toolkit.Settings().Values(), IsEmpty());
}

TEST_F(Settings, RemoveDeletesTheRuleStopsAndDisablesTheMenuStart) {
  StoreRule(u"http://h/u/1/", u"http://d/1/");
  Start();
  Tick();
  ChooseFromTrayMenu(Form1::kSetting);
  Click2(Form2::kCommand2);

  EXPECT_THAT(toolkit.Settings().Values(), IsEmpty());
  EXPECT_EQ(Dialog(), (DialogState{.visible = true,
                                   .ts = u"http://h/u/1/",
                                   .ts_enabled = true,
                                   .te = u"http://d/1/",
                                   .te_enabled = true,
                                   .command1_enabled = true,
                                   .command2 = false,
                                   .command3 = true,
                                   .command4 = false}));
  EXPECT_EQ(State(), (RunState{.window = false,
                               .label1 = true,
                               .command3 = false,
                               .command4 = false,
                               .startt = false,
                               .stopp = false,
                               .timer = false,
                               .st = 1}));
  EXPECT_EQ(form2().sup, u"1") << "the rule in memory stays until the program ends";
  EXPECT_EQ(form2().temp1, u"http://h/u/1/");

  // The removed rule cannot be started again from the tray.
  ChooseFromTrayMenu(Form1::kStopp);
  ChooseFromTrayMenu(Form1::kStartt);
  EXPECT_FALSE(form1().Timer2().Enabled());
  Clip().CopyText(u"http://h/u/1/f");
  EXPECT_FALSE(Tick());
  EXPECT_EQ(Clip().Text(), u"http://h/u/1/f");
}

TEST_F(Settings, ExitButtonLeavesThroughTheMainWindowsExit) {
  Start();
  Click1(Form1::kCommand1);
  Click2(Form2::kCommand3);
  EXPECT_EQ(CallCount(NotifyMessage::Delete), 1);
  EXPECT_EQ(toolkit.notify_area.IconCount(), 0u);
  EXPECT_TRUE(toolkit.ended);
}

TEST_F(Settings, BackButtonTitleBarCloseAndEscShowTheMainWindowOnlyWithoutARule) {
  Start();
  const std::vector<std::pair<const char*, std::function<void()>>> ways_back = {
      {"back button", [this] { Click2(Form2::kCommand4); }},
      {"title-bar close", [this] { form2().OnCloseRequest(); }},
      {"Esc", [this] { form2().OnKey(platform::Key::Escape); }},
  };
  for (const auto& [name, go_back] : ways_back) {
    SCOPED_TRACE(name);
    Click1(Form1::kCommand1);
    ASSERT_FALSE(form1().Window().Visible());
    go_back();
    EXPECT_FALSE(form2().Window().Visible());
    EXPECT_TRUE(form1().Window().Visible());
  }
  EXPECT_TRUE(toolkit.Settings().Writes().empty());
}

TEST_F(Settings, BackWithARuleLeavesTheMainWindowAsItIs) {
  StoreRule(u"a", u"b");
  Start();
  ChooseFromTrayMenu(Form1::kSetting);
  Click2(Form2::kCommand4);
  EXPECT_FALSE(form2().Window().Visible());
  EXPECT_FALSE(form1().Window().Visible());
}

TEST_F(Settings, LaterShowingsKeepTheStateTheButtonsLeft) {
  Start();
  Click1(Form1::kCommand1);
  Click2(Form2::kCommand1);  // save: the flag in memory is now "1"
  ChooseFromTrayMenu(Form1::kSetting);
  Click2(Form2::kCommand2);  // remove
  form2().OnCloseRequest();
  const DialogState left = Dialog();
  ChooseFromTrayMenu(Form1::kSetting);
  DialogState shown_again = left;
  shown_again.visible = true;
  EXPECT_EQ(Dialog(), shown_again) << "the load handler does not run a second time";
  EXPECT_EQ(toolkit.windows_created, 2);
}

TEST_F(Settings, EnterPressesSaveOnlyWhileItIsEnabled) {
  Start();
  Click1(Form1::kCommand1);
  form2().OnKey(platform::Key::Enter);
  EXPECT_EQ(toolkit.Settings().Writes().size(), 3u);
  EXPECT_EQ(form2().sup, u"1");

  ChooseFromTrayMenu(Form1::kSetting);
  ASSERT_FALSE(form2().Command1().Enabled());
  form2().OnKey(platform::Key::Enter);
  EXPECT_EQ(toolkit.Settings().Writes().size(), 3u);
  EXPECT_TRUE(form2().Window().Visible());
}

}  // namespace
}  // namespace tllink::testing
