#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

#include "app/app_text.h"
#include "app/program.h"
#include "platform/memory/memory_toolkit.h"

namespace tllink::testing {

using platform::NotifyIconData;
using platform::NotifyMessage;
using platform::memory::MemoryClipboard;
using platform::memory::MemoryNotifyArea;
using platform::memory::MemoryTimer;
using platform::memory::MemoryToolkit;
using platform::memory::MemoryWindow;

// Everything the run state is made of, as the user and the timer see it.
struct RunState {
  bool window = false;  // main window visible
  bool label1 = false;
  bool command3 = false;
  bool command4 = false;
  bool startt = false;  // menu items enabled
  bool stopp = false;
  bool timer = false;
  float st = 0;
  friend bool operator==(const RunState&, const RunState&) = default;
};

inline void PrintTo(const RunState& s, std::ostream* os) {
  *os << "{window " << s.window << ", Label1 " << s.label1 << ", Command3 " << s.command3
      << ", Command4 " << s.command4 << ", Startt " << s.startt << ", Stopp " << s.stopp
      << ", timer " << s.timer << ", ST " << s.st << "}";
}

// The settings dialog's controls.
struct DialogState {
  bool visible = false;
  std::u16string ts;
  bool ts_enabled = false;
  std::u16string te;
  bool te_enabled = false;
  bool command1_enabled = false;
  bool command2 = false;  // visible
  bool command3 = false;
  bool command4 = false;
  friend bool operator==(const DialogState&, const DialogState&) = default;
};

inline void PrintTo(const DialogState& s, std::ostream* os) {
  *os << "{visible " << s.visible << ", TS ";
  ::testing::internal::PrintU16StringTo(s.ts, os);
  *os << (s.ts_enabled ? " enabled" : " disabled") << ", TE ";
  ::testing::internal::PrintU16StringTo(s.te, os);
  *os << (s.te_enabled ? " enabled" : " disabled") << ", Command1 enabled " << s.command1_enabled
      << ", Command2 " << s.command2 << ", Command3 " << s.command3 << ", Command4 " << s.command4
      << "}";
}

// A program on the in-memory toolkit, with a rule stored or not before it starts.
class ProgramFixture : public ::testing::Test {
 protected:
  static inline const std::u16string kStartBalloon = u"以啟動...";
  static inline const std::u16string kConvertBalloon = u"以轉換...";
  static inline const std::u16string kStopBalloon = u"以停止...";

  void StoreRule(std::u16string find_text, std::u16string replacement, std::u16string flag = u"1") {
    toolkit.Settings().Put(u"tllink", u"slink", u"temp1", std::move(find_text));
    toolkit.Settings().Put(u"tllink", u"elink", u"temp2", std::move(replacement));
    toolkit.Settings().Put(u"tllink", u"sup", u"vl", std::move(flag));
  }

  void Start() { ASSERT_TRUE(program.Start()); }

  Form1& form1() { return program.form1(); }
  Form2& form2() { return program.form2(); }
  MemoryWindow& Window1() { return dynamic_cast<MemoryWindow&>(form1().Window()); }
  MemoryWindow& Window2() { return dynamic_cast<MemoryWindow&>(form2().Window()); }
  MemoryTimer& Timer2() { return dynamic_cast<MemoryTimer&>(form1().Timer2()); }
  MemoryTimer& SettleTimer() { return dynamic_cast<MemoryTimer&>(form1().ClipboardSettleTimer()); }
  MemoryClipboard& Clip() { return toolkit.clipboard; }
  // One timer period: the tick runs only while the timer is enabled.
  bool Tick() { return Timer2().Fire(); }
  void Ticks(int n) {
    for (int i = 0; i < n; ++i) Tick();
  }

  // The toolkit delivers a click on a control of the main window or of the dialog.
  void Click1(platform::ControlId id) { form1().OnClick(id); }
  void Click2(platform::ControlId id) { form2().OnClick(id); }

  // The tray reports a mouse message: X arrives in twips, as the toolkit delivers it.
  void TrayNotification(long message) {
    const auto x = static_cast<float>(static_cast<double>(message) * toolkit.twips_per_pixel_x);
    form1().OnMouseMove(Form1::kPicture1, platform::MouseEvent{0, 0, x, 0});
  }
  // Right-click on the tray icon and pick `item` from the menu.
  void ChooseFromTrayMenu(platform::MenuItemId item) {
    toolkit.menu_chooser = [item](platform::memory::MemoryMenu&) { return item; };
    TrayNotification(0x205);
    toolkit.menu_chooser = nullptr;
  }

  const std::vector<MemoryNotifyArea::Call>& Calls() const { return toolkit.notify_area.Calls(); }
  std::vector<std::u16string> Balloons() const { return toolkit.notify_area.Balloons(); }
  long BalloonCount(std::u16string_view text) const {
    const auto balloons = Balloons();
    return std::count(balloons.begin(), balloons.end(), text);
  }
  long CallCount(NotifyMessage message) const {
    return std::count_if(Calls().begin(), Calls().end(),
                         [message](const auto& call) { return call.message == message; });
  }

  RunState State() {
    return RunState{
        .window = form1().Window().Visible(),
        .label1 = form1().Label1().Visible(),
        .command3 = form1().Command3().Visible(),
        .command4 = form1().Command4().Visible(),
        .startt = form1().mnuShell().Enabled(Form1::kStartt),
        .stopp = form1().mnuShell().Enabled(Form1::kStopp),
        .timer = form1().Timer2().Enabled(),
        .st = form1().ST,
    };
  }

  DialogState Dialog() {
    return DialogState{
        .visible = form2().Window().Visible(),
        .ts = form2().TS().Text(),
        .ts_enabled = form2().TS().Enabled(),
        .te = form2().TE().Text(),
        .te_enabled = form2().TE().Enabled(),
        .command1_enabled = form2().Command1().Enabled(),
        .command2 = form2().Command2().Visible(),
        .command3 = form2().Command3().Visible(),
        .command4 = form2().Command4().Visible(),
    };
  }

  // The balloon record every balloon of the program is expected to carry, with `text`.
  NotifyIconData BalloonRecord(std::u16string_view text) {
    NotifyIconData data;
    data.hWnd = form1().Picture1().Handle();
    data.uID = static_cast<std::uint32_t>(form1().mlngID);
    data.uFlags = platform::kNifInfo;
    data.dwInfoFlags = platform::kNiifInfo;
    data.szInfoTitle = std::u16string(kAppTitle);
    data.szInfo = std::u16string(text);
    return data;
  }

  MemoryToolkit toolkit;
  Program program{toolkit};
};

}  // namespace tllink::testing
