// The tray callback and the handlers of the tray menu, all on the main window.
#include "app/app_text.h"
#include "app/form1.h"
#include "app/report_failure.h"
#include "settings/form2.h"
#include "tray/module1.h"
#include "tray/notification_number.h"

namespace tllink {

namespace {
constexpr long kRightButtonUp = 0x205;
constexpr long kBalloonUserClick = 0x405;  // the shell's NIN_BALLOONUSERCLICK
}  // namespace

void Form1::Picture1_MouseMove(int /*button*/, int /*shift*/, float x, float /*y*/) {
  const long message = NotificationNumber(Picture1().GetScaleMode(), x, toolkit_.TwipsPerPixelX());
  if (message == kBalloonUserClick) {
    TakeBackConversion();
    return;
  }
  if (message != kRightButtonUp) return;

  // The menu belongs to the main window even while it is hidden; without the foreground the
  // menu would not close when the user clicks elsewhere.
  toolkit_.SetForegroundWindow(window_->Handle());
  const std::optional<platform::MenuItemId> chosen = window_->PopupMenu(*mnu_shell_);
  if (!chosen) return;
  switch (*chosen) {
    case kStartt:
      Startt_Click();
      break;
    case kStopp:
      Stopp_Click();
      break;
    case kExit:
      Exit_Click();
      break;
    case kSetting:
      Setting_Click();
      break;
    case kAbout:
      About_Click();
      break;
    default:
      break;
  }
}

void Form1::Startt_Click() {
  Timer2().SetEnabled(true);
  Command4().SetVisible(true);
  Command3().SetVisible(false);
  SetMenuEnabled(kStartt, false);
  SetMenuEnabled(kStopp, true);
}

void Form1::Stopp_Click() {
  ShowBalloon(u"以停止...");
  Timer2().SetEnabled(false);
  Command4().SetVisible(false);
  Command3().SetVisible(true);
  SetMenuEnabled(kStartt, true);
  SetMenuEnabled(kStopp, false);
  ST = 0;
}

void Form1::Exit_Click() {
  Command2_Click();
}

void Form1::Setting_Click() {
  form2_.Show();
}

void Form1::About_Click() {
  ShowBalloon(u"tllink 剪貼簿網址轉換工具 版本 v2.0");
}

}  // namespace tllink
