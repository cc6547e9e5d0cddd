#include "program_fixture.h"

namespace tllink::testing {
namespace {

using Load = ProgramFixture;

TEST_F(Load, NothingStoredShowsTheConfigureFirstWindow) {
  Start();
  EXPECT_TRUE(form1().Window().Visible());
  EXPECT_TRUE(form1().Label1().Visible());
  EXPECT_FALSE(form1().Command3().Visible());
  EXPECT_FALSE(form1().Command4().Visible());
  EXPECT_TRUE(form1().Command1().Visible());
  EXPECT_TRUE(form1().Command2().Visible());
  EXPECT_FALSE(form1().mnuShell().Enabled(Form1::kStartt));
  EXPECT_FALSE(form1().mnuShell().Enabled(Form1::kStopp));
  EXPECT_FALSE(form1().Timer2().Enabled());
  EXPECT_EQ(form2().sup, u"");
  EXPECT_EQ(form2().temp1, u"");
  EXPECT_EQ(form2().temp2, u"");
  EXPECT_FALSE(form2().Loaded()) << "the dialog object exists, its window is not loaded";
  EXPECT_EQ(toolkit.notify_area.IconCount(), 1u);
}

}  // namespace
}  // namespace tllink::testing
