#include "app/form1.h"

#include "app/app_text.h"
#include "app/report_failure.h"
#include "settings/form2.h"
#include "settings/rule_store.h"
#include "tray/module1.h"

namespace tllink {

using platform::ControlKind;
using platform::ControlLayout;

Form1::Form1(platform::Toolkit& toolkit, Module1& module1, Form2& form2)
    : toolkit_(toolkit), module1_(module1), form2_(form2) {}

Form1::~Form1() = default;

platform::WindowLayout Form1::Layout() {
  platform::WindowLayout layout;
  layout.caption = u"Tidelock 網址轉換器";
  layout.client_width = 1920;
  layout.client_height = 1200;
  layout.has_icon = true;
  layout.placement = platform::Placement::CenterScreen;
  layout.exit_button = kCommand2;
  layout.controls = {
      ControlLayout{kCommand1, ControlKind::CommandButton, u"環境設定", {0, 840, 1935, 375}, 0},
      ControlLayout{kCommand2, ControlKind::CommandButton, u"離開", {1560, 0, 375, 855}, 1},
      ControlLayout{kCommand3, ControlKind::CommandButton, u"啟動", {0, 0, 1575, 855}, 2},
      ControlLayout{kCommand4, ControlKind::CommandButton, u"停止", {0, 0, 1575, 855}, 3},
      ControlLayout{kLabel1,
                    ControlKind::Label,
                    u"請設定環境",
                    {120, 240, 1335, 495},
                    4,
                    platform::FontStyle{u"微軟正黑體", 12, true}},
      // Owner of the tray icon; it lies below the client area on purpose.
      ControlLayout{kPicture1,
                    ControlKind::PictureBox,
                    u"",
                    {1320, 3120, 855, 135},
                    5,
                    platform::ScaleMode::Twips},
  };
  return layout;
}

std::vector<platform::MenuItemLayout> Form1::MenuLayout() {
  return {{kStartt, u"啟動"},
          {kStopp, u"停止"},
          {kExit, u"離開"},
          {kSetting, u"環境設定"},
          {kAbout, u"關於"}};
}

void Form1::Load() {
  window_ = toolkit_.CreateAppWindow(Layout(), *this);
  timer2_ = toolkit_.CreateTimer(*window_, kTimer2IntervalMs, [this] { RunTimer2(); });
  clipboard_settle_ =
      toolkit_.CreateTimer(*window_, kClipboardSettleMs, [this] { OnClipboardSettled(); });
  clipboard_watch_ = toolkit_.WatchClipboard(
      *window_, platform::ClipboardEvents{[this] { OnClipboardChange(); },
                                          [this] { OnClipboardDelivered(); }});
  mnu_shell_ = toolkit_.CreatePopupMenu(MenuLayout());

  // A load that fails is a failed start: the caller reports it and ends the program, rather
  // than leave a half-started one (a design-time window, perhaps without its tray icon).
  loading_ = true;
  show_after_load_ = true;
  Form_Load();
  loading_ = false;
  if (show_after_load_) window_->SetVisible(true);
}

void Form1::SetVisible(bool visible) {
  // The window is shown only once its load handler is done, so a load that hides it never
  // flashes it on the screen.
  if (loading_) {
    show_after_load_ = visible;
  } else {
    window_->SetVisible(visible);
  }
}

void Form1::Form_Load() {
  if (toolkit_.PreviousInstance()) {
    show_after_load_ = false;
    toolkit_.ShowMessage(u"程式以正在運行中囉~", kAppTitle);
    toolkit_.EndNow();
    return;
  }

  mlngID = module1_.AddTrayIcon(Picture1().Handle(), kTrayCallbackMessage, window_->Icon(),
                                window_->Caption());

  LoadRule(toolkit_.GetSettingsStore(), form2_);

  if (form2_.sup == u"") {
    Label1().SetVisible(true);
    Command3().SetVisible(false);
    Command4().SetVisible(false);
    SetMenuEnabled(kStartt, false);
    SetMenuEnabled(kStopp, false);
  }
  // A separate test, not an else: a flag that is neither "" nor "1" leaves the design-time state.
  if (form2_.sup == u"1") {
    SetVisible(false);
    Label1().SetVisible(false);
    Command3().SetVisible(true);
    Command4().SetVisible(false);
    SetMenuEnabled(kStartt, false);
    Timer2().SetEnabled(true);
  }
}

void Form1::Command1_Click() {
  form2_.Show();
  SetVisible(false);
}

void Form1::Command2_Click() {
  // The user asked to leave: a tray icon that cannot be removed is reported, not a reason to stay.
  RunReportingFailures(toolkit_, [this] { module1_.RemoveTrayIcon(mlngID); });
  toolkit_.EndNow();
}

void Form1::Command3_Click() {
  Timer2().SetEnabled(true);
  Command4().SetVisible(true);
  Command3().SetVisible(false);
}

void Form1::Command4_Click() {
  Timer2().SetEnabled(false);
  Command4().SetVisible(false);
  Command3().SetVisible(true);
  ST = 0;
}

void Form1::ShowBalloon(std::u16string_view text) {
  takeable_.reset();  // a click now is on this balloon
  module1_.ShowTrayBalloon(Picture1().Handle(), mlngID, platform::kNiifInfo, kAppTitle, text);
}

void Form1::OnClick(platform::ControlId id) {
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

void Form1::OnMouseMove(platform::ControlId id, const platform::MouseEvent& event) {
  if (id != kPicture1) return;
  RunReportingFailures(toolkit_, [this, &event] {
    Picture1_MouseMove(event.button, event.shift, event.x, event.y);
  });
}

void Form1::OnCloseRequest() {
  // Closing only hides: the program lives on in the tray.
  RunReportingFailures(toolkit_, [this] { window_->SetVisible(false); });
}

void Form1::OnKey(platform::Key) {}

void Form1::OnTaskbarCreated() {
  RunReportingFailures(toolkit_, [this] { module1_.RestoreTrayIcons(); });
}

}  // namespace tllink
