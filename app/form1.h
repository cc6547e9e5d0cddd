#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

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
  // Lets Timer2 sleep while its ticks could find nothing that a change notice does not bring.
  void ParkTimer2WhileIdle() noexcept;
  // A change of the clipboard runs the tick at once, not at the next period.
  void OnClipboardChange() noexcept;
  void OnClipboardSettled() noexcept;
  // So does a read or write of the clipboard that has its result.
  void OnClipboardDelivered() noexcept;
  // The steps of the tick, one for each thing it waits for, and what it makes of the answers.
  bool TakeDeliveredResults();  // true when one was for the request awaited
  void ReadClipboardText();
  void Take(platform::Clipboard::ReadResult read);
  void ConvertText(std::uint32_t copy);
  void WriteClipboard();
  void Take(platform::Clipboard::WriteResult written);
  // A click on the balloon of the last conversion puts the copy back as it was read.
  void TakeBackConversion();
  void ForgetRichFormats();
  // Nothing more to do until the clipboard moves on from `copy` or the rule changes.
  void AwaitChangeFrom(std::uint32_t copy);

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
  // A change or a result came while a tick ran, and that tick may not have seen it.
  bool tick_missed_ = false;

  // Rewrite tick state.
  std::u16string clipText;
  std::u16string convertedText;
  // The rich formats of the copy as read with clipText, and as converted; kept only until the
  // next copy, to take the conversion back.
  std::vector<platform::RichFormat> clip_rich_;
  std::vector<platform::RichFormat> converted_rich_;
  // What the tick waits for, and for which copy. Each tick acts on it and moves it on.
  enum class Awaiting {
    kText,    // the clipboard's text: read it (again), or the answer to the read `request`
    kChange,  // a change of the clipboard from `copy`, or of the rule from `rule`
    kWrite,   // the converted copy to be on the clipboard in place of copy `copy`, or, when
              // `taking_back`, the copy as read in place of its conversion `copy`
  };
  struct Rule {
    std::u16string find_text;
    std::u16string replacement;
  };
  struct TickState {
    Awaiting awaiting = Awaiting::kText;
    std::uint32_t copy = 0;  // a clipboard sequence number
    Rule rule;               // kChange: the rule the copy was looked at with; kText: asked with
    platform::Clipboard::RequestId request = 0;  // the request whose answer is awaited, if any
    bool taking_back = false;
  };
  TickState tick_;
  // Writes of convertedText over clipText that failed, in a row: a copy whose writes keep
  // failing is left alone.
  int failed_writes_ = 0;
  platform::Clipboard::RequestId last_request_ = 0;
  // The text this program last converted a copy to, told by its length and hash (the text
  // itself would be one more copy of what may be many megabytes). It is never converted again,
  // whoever puts it there next (a clipboard manager or a remote-desktop bridge may copy it back).
  struct TextFingerprint {
    std::size_t size = 0;
    std::size_t hash = 0;
    friend bool operator==(const TextFingerprint&, const TextFingerprint&) = default;
  };
  static TextFingerprint FingerprintOf(std::u16string_view text);
  std::optional<TextFingerprint> written_text_;
  // The copy a balloon click put back (its sequence number): that copy stays as it was, while
  // the same text copied anew is converted as usual.
  std::optional<std::uint32_t> taken_back_;
  // The conversion that a click on its balloon takes back: its sequence number, while its
  // balloon is the last one shown.
  std::optional<std::uint32_t> takeable_;
  // A text at least this long is written on the tick after the one that read it.
  static constexpr std::size_t kLargeTextUnits = std::size_t{1} << 20;
};

}  // namespace tllink
