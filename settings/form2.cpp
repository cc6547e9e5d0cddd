#include "settings/form2.h"

#include "app/app_text.h"
#include "app/form1.h"
#include "app/report_failure.h"
#include "platform/failure.h"
#include "settings/rule_store.h"

namespace tllink {

using platform::ControlKind;
using platform::ControlLayout;

namespace {
constexpr std::u16string_view kHost = u"files.example.com";
}

Form2::Form2(platform::Toolkit& toolkit) : toolkit_(toolkit) {}

Form2::~Form2() = default;

platform::WindowLayout Form2::Layout() {
  platform::WindowLayout layout;
  layout.caption = u"環境設定";
  layout.client_width = 4095;
  layout.client_height = 1545;
  layout.has_icon = false;
  layout.placement = platform::Placement::CenterScreen;
  const std::u16string host(kHost);
  layout.controls = {
      ControlLayout{kTS, ControlKind::TextBox, u"原始網址", {0, 120, 2775, 375}, 0},
      ControlLayout{kTE, ControlKind::TextBox, u"取代成", {0, 600, 2775, 375}, 1},
      ControlLayout{kCommand1, ControlKind::CommandButton, u"設定", {2880, 120, 1215, 495}, 2},
      ControlLayout{kLabel1,
                    ControlKind::Label,
                    u"原始網址 : http://" + host + u"/u/你的ID/",
                    {0, 1080, 3615, 255},
                    3},
      ControlLayout{kLabel2,
                    ControlKind::Label,
                    u"例 : http://" + host + u"/u/12345678/",
                    {0, 1320, 3135, 255},
                    4},
      ControlLayout{kCommand2, ControlKind::CommandButton, u"移除設定", {2880, 600, 1215, 375}, 5},
      ControlLayout{kCommand3, ControlKind::CommandButton, u"離開", {2880, 600, 1215, 435}, 6},
      ControlLayout{kCommand4, ControlKind::CommandButton, u"返回", {3360, 1080, 735, 375}, 7},
  };
  return layout;
}

void Form2::Show() {
  if (!window_) {
    window_ = toolkit_.CreateAppWindow(Layout(), *this);
    Form_Load();
  }
  window_->SetVisible(true);
}

void Form2::Hide() {
  if (window_) window_->SetVisible(false);
}

void Form2::Form_Load() {
  if (sup == u"1") {
    Command2().SetVisible(true);
    Command1().SetEnabled(false);
    Command3().SetVisible(false);
    TS().SetText(temp1);
    TE().SetText(temp2);
    TS().SetEnabled(false);
    TE().SetEnabled(false);
  }
  // A separate test, not an else: any other flag leaves the design-time state.
  if (sup == u"") {
    Command1().SetEnabled(true);
    Command2().SetVisible(false);
    Command3().SetVisible(true);
    TE().SetEnabled(true);
    TS().SetEnabled(true);
  }
}

void Form2::Command1_Click() {
  const std::u16string find_text = TS().Text();
  const std::u16string replacement = TE().Text();
  try {
    SaveRule(toolkit_.GetSettingsStore(), find_text, replacement);
  } catch (const platform::Failure&) {
    // Nothing else changes: the dialog, the main window and the timer stay as they were.
    toolkit_.ShowMessage(u"無法儲存設定，規則沒有變更。", kAppTitle);
    return;
  }
  temp1 = find_text;
  temp2 = replacement;

  Hide();
  Form1& form1 = *form1_;
  Command2().SetVisible(true);
  form1.Label1().SetVisible(false);
  form1.Command3().SetVisible(true);

  Command3().SetVisible(false);
  TS().SetEnabled(false);
  TE().SetEnabled(false);
  Command1().SetEnabled(false);

  form1.SetMenuEnabled(Form1::kStopp, true);
  form1.SetMenuEnabled(Form1::kStartt, false);
  form1.ST = 0;
  form1.Timer2().SetEnabled(true);

  Command4().SetVisible(true);
  // Moved in rather than assigned from the literal: GCC 12 reports a false -Wrestrict inside
  // the string's assignment from a literal when it inlines it here.
  sup = std::u16string(u"1");
}

void Form2::Command2_Click() {
  RemoveRule(toolkit_.GetSettingsStore());
  Form1& form1 = *form1_;

  Command1().SetEnabled(true);
  Command2().SetVisible(false);
  Command3().SetVisible(true);

  form1.Label1().SetVisible(true);
  form1.Command3().SetVisible(false);
  form1.Command4().SetVisible(false);

  TE().SetEnabled(true);
  TS().SetEnabled(true);
  Command4().SetVisible(false);
  form1.Timer2().SetEnabled(false);
  // A removed rule must not come back through the tray menu's start.
  form1.SetMenuEnabled(Form1::kStartt, false);
  form1.SetMenuEnabled(Form1::kStopp, false);
}

void Form2::Command3_Click() {
  form1_->Command2_Click();
}

void Form2::Command4_Click() {
  Hide();
  if (sup == u"") form1_->SetVisible(true);
}

void Form2::OnClick(platform::ControlId id) {
  RunReportingFailures(toolkit_, [this, id] {
    switch (id) {
      case kCommand1:
        Command1_Click();
        break;
      case kCommand2:
        Command2_Click();
        break;
      case kCommand3:
        Command3_Click();
        break;
      case kCommand4:
        Command4_Click();
        break;
      default:
        break;
    }
  });
}

void Form2::OnCloseRequest() {
  RunReportingFailures(toolkit_, [this] { Command4_Click(); });
}

void Form2::OnKey(platform::Key key) {
  RunReportingFailures(toolkit_, [this, key] {
    if (key == platform::Key::Escape) {
      Command4_Click();
    } else if (Command1().Enabled() && Command1().Visible()) {
      Command1_Click();
    }
  });
}

}  // namespace tllink
