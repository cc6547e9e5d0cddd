#pragma once

#include <memory>
#include <string>

#include "platform/toolkit.h"

namespace tllink {

class Form1;

// The settings dialog. The object exists from start-up because it holds the rule in memory;
// its window is created, and its load handler runs, the first time it is shown.
class Form2 final : public platform::WindowEvents {
 public:
  enum ControlId : platform::ControlId {
    kTS = 301,
    kTE,
    kCommand1,
    kLabel1,
    kLabel2,
    kCommand2,
    kCommand3,
    kCommand4,
  };

  explicit Form2(platform::Toolkit& toolkit);
  ~Form2();
  Form2(const Form2&) = delete;
  Form2& operator=(const Form2&) = delete;

  void AttachMainWindow(Form1& form1) { form1_ = &form1; }

  static platform::WindowLayout Layout();

  // Shows the dialog modeless, loading it first if it has never been shown.
  void Show();
  void Hide();
  bool Loaded() const { return window_ != nullptr; }

  void Form_Load();
  void Command1_Click();
  void Command2_Click();
  void Command3_Click();
  void Command4_Click();

  platform::Window& Window() { return *window_; }
  platform::Control& TS() { return window_->GetControl(kTS); }
  platform::Control& TE() { return window_->GetControl(kTE); }
  platform::Control& Command1() { return window_->GetControl(kCommand1); }
  platform::Control& Command2() { return window_->GetControl(kCommand2); }
  platform::Control& Command3() { return window_->GetControl(kCommand3); }
  platform::Control& Command4() { return window_->GetControl(kCommand4); }

  // The rule in memory: find text, replacement text and configured flag.
  std::u16string temp1;
  std::u16string temp2;
  std::u16string sup;

  // WindowEvents
  void OnClick(platform::ControlId id) override;
  void OnMouseMove(platform::ControlId, const platform::MouseEvent&) override {}
  void OnCloseRequest() override;
  void OnKey(platform::Key key) override;

 private:
  platform::Toolkit& toolkit_;
  Form1* form1_ = nullptr;
  std::unique_ptr<platform::Window> window_;
};

}  // namespace tllink
