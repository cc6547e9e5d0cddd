#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/toolkit.h"

namespace tllink {

class Form2;
class Module1;

// The main window: start-up, the run state (timer and started flag), the rewrite tick and the
// tray callback with its menu.
class Form1 final : public platform::WindowEvents {
 public:
  enum ControlId : platform::ControlId {
    kCommand1 = 101,
    kCommand2,
    kCommand3,
    kCommand4,
    kLabel1,
    kPicture1,
  };
  enum MenuId : platform::MenuItemId { kStartt = 201, kStopp, kExit, kSetting, kAbout };

  static constexpr int kTimer2IntervalMs = 50;
  // How long the clipboard must stay quiet after a change before the tick looks at it.
  static constexpr int kClipboardSettleMs = 3;
  static constexpr std::uint32_t kTrayCallbackMessage = 512;

  Form1(platform::Toolkit& toolkit, Module1& module1, Form2& form2);
  ~Form1();
  Form1(const Form1&) = delete;
  Form1& operator=(const Form1&) = delete;

  static platform::WindowLayout Layout();
  static std::vector<platform::MenuItemLayout> MenuLayout();

  // Creates the window, its timer and menu, runs the load handler and shows the window unless
  // the handler hid it. Throws when the window cannot be created or the load handler fails.
  void Load();
  bool Loaded() const { return window_ != nullptr; }

  // Handlers, named after control and event.
  void Form_Load();
  void Command1_Click();
  void Command2_Click();
  void Command3_Click();
  void Command4_Click();
  void Timer2_Timer();
  void Picture1_MouseMove(int button, int shift, float x, float y);
  void Startt_Click();
  void Stopp_Click();
  void Exit_Click();
  void Setting_Click();
  void About_Click();

  platform::Window& Window() { return *window_; }
  platform::Control& Command1() { return window_->GetControl(kCommand1); }
  platform::Control& Command2() { return window_->GetControl(kCommand2); }
  platform::Control& Command3() { return window_->GetControl(kCommand3); }
  platform::Control& Command4() { return window_->GetControl(kCommand4); }
  platform::Control& Label1() { return window_->GetControl(kLabel1); }
  platform::Control& Picture1() { return window_->GetControl(kPicture1); }
  platform::Timer& Timer2() { return *timer2_; }
  platform::Timer& ClipboardSettleTimer() { return *clipboard_settle_; }
  platform::Menu& mnuShell() { return *mnu_shell_; }
  void SetMenuEnabled(MenuId item, bool enabled) { mnu_shell_->SetEnabled(item, enabled); }

  void SetVisible(bool visible);

  // Public fields other windows read and write.
  std::int32_t mlngID = 0;  // tray icon id
  float ST = 0;             // started flag: 0 until the start balloon has been shown

  // WindowEvents
  void OnClick(platform::ControlId id) override;
  void OnMouseMove(platform::ControlId id, const platform::MouseEvent& event) override;
  void OnCloseRequest() override;
  void OnKey(platform::Key key) override;
  void OnTaskbarCreated() override;

 private:
  void ShowBalloon(std::u16string_view text);
  // The timer's handler: the tick, with its failures reported.
  void RunTimer2() noexcept;
  // A change of the clipboard runs the tick at once, not at the next period.
  void OnClipboardChange() noexcept;
  void OnClipboardSettled() noexcept;
  // The tick's write of convertedText over clipText, and its announcement.
  void WriteConvertedText(std::uint32_t expected_sequence);
  void RememberCheck(std::uint32_t sequence);

  platform::Toolkit& toolkit_;
  Module1& module1_;
  Form2& form2_;
  std::unique_ptr<platform::Window> window_;
  std::unique_ptr<platform::Timer> timer2_;
  std::unique_ptr<platform::Menu> mnu_shell_;
  std::unique_ptr<platform::Timer> clipboard_settle_;
  std::unique_ptr<platform::ClipboardWatch> clipboard_watch_;
  bool loading_ = false;
  bool show_after_load_ = true;
  bool in_tick_ = false;

  // Rewrite tick state.
  std::u16string clipText;
  std::u16string convertedText;
  // Whether the program's last write left its own rewrite on the clipboard, rather than the
  // user's text put back after the write failed.
  bool left_own_rewrite_ = false;
  int failed_writes_ = 0;  // in a row, for the same copy
  // A text at least this long is written on the tick after the one that read it.
  static constexpr std::size_t kLargeTextUnits = std::size_t{1} << 20;
  // The sequence number of the text whose rewrite waits for the next tick.
  std::optional<std::uint32_t> pending_write_;
  // What the last tick that looked at the clipboard saw: its sequence number and the rule it
  // applied. The clipboard is opened again only when one of them changes.
  struct LastCheck {
    std::uint32_t sequence = 0;
    std::u16string find_text;
    std::u16string replacement;
  };
  std::optional<LastCheck> last_check_;
};

}  // namespace tllink
