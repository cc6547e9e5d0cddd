#pragma once

#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <map>
#include <memory>

#include "platform/window.h"

namespace tllink::platform::qt {

// What every window of the program shares; the toolkit provides it.
struct WindowEnvironment {
  QIcon icon;
  IconHandle icon_handle = 0;
  std::function<bool()> ending;               // true once the program is ending: no more events
  std::function<bool()> hide_means_minimise;  // for the main window while no tray can bring it back
  std::function<double()> twips_per_pixel_x;  // the factor the toolkit reports
  QStringList latin_faces;                    // preferred faces for the Latin letters
};

// A push button whose caption wraps, as the captions of the layouts' buttons do: a narrow
// button shows "離開" on two lines instead of cutting it.
class WrappingButton final : public QPushButton {
 public:
  explicit WrappingButton(QWidget* parent);
  QString Caption() const { return caption_->text(); }
  void SetCaption(const QString& text) { caption_->setText(text); }
  // Sets the caption's font to `font`, or smaller, so that the whole caption fits the button.
  void FitCaption(const QFont& font);

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  QLabel* caption_;  // owned by the button
};

class QtWindow;

class QtControl final : public Control {
 public:
  QtControl(QWidget& widget, const ControlLayout& layout, QFont font)
      : widget_(widget), layout_(layout), font_(std::move(font)) {}

  WindowHandle Handle() const override { return reinterpret_cast<WindowHandle>(&widget_); }
  // The control's own flag: a control of a hidden window is visible.
  bool Visible() const override { return !widget_.isHidden(); }
  void SetVisible(bool visible) override { widget_.setVisible(visible); }
  bool Enabled() const override { return widget_.isEnabled(); }
  void SetEnabled(bool enabled) override { widget_.setEnabled(enabled); }
  std::u16string Text() const override;
  void SetText(std::u16string_view text) override;
  ScaleMode GetScaleMode() const override { return layout_.scale_mode; }

  QWidget& Widget() const { return widget_; }
  const ControlLayout& Layout() const { return layout_; }
  // Where a label's text can show, in pixels: its size less what other controls cover.
  void SetTextArea(QSize area) { text_area_ = area; }
  // Gives a label's or a button's caption a size of the control's font at which it fits.
  void FitCaption();

 private:
  QWidget& widget_;
  ControlLayout layout_;
  QFont font_;  // the font the control asks for; a caption may show smaller
  QSize text_area_;
};

// A top-level window laid out in twips at the screen's logical DPI.
class QtWindow final : public Window {
 public:
  // Created hidden.
  QtWindow(const WindowLayout& layout, WindowEvents& events, WindowEnvironment environment);
  ~QtWindow() override;
  QtWindow(const QtWindow&) = delete;
  QtWindow& operator=(const QtWindow&) = delete;

  WindowHandle Handle() const override { return reinterpret_cast<WindowHandle>(form_.get()); }
  std::u16string Caption() const override;
  IconHandle Icon() const override { return layout_.has_icon ? env_.icon_handle : 0; }
  bool Visible() const override;
  void SetVisible(bool visible) override;
  Control& GetControl(ControlId id) override;
  std::optional<MenuItemId> PopupMenu(Menu& menu) override;

  QWidget& Form() const;
  QWidget& ControlWidget(ControlId id) { return dynamic_cast<QtControl&>(GetControl(id)).Widget(); }

  // The window of this program whose handle, or whose control's handle, is `handle`.
  static QtWindow* Find(WindowHandle handle);
  // Hands a tray mouse message to the picture box `box` as a mouse move whose X is the message
  // number in pixels, in the box's scale: the way the Windows shell reaches its tray icon's
  // owner window, so that the same tray callback runs. False when `box` is no picture box here.
  bool DeliverTrayMessage(WindowHandle box, int message);

 private:
  class FormWidget;

  void CreateControls();
  void LayOut();

  WindowLayout layout_;
  WindowEvents& events_;
  WindowEnvironment env_;
  std::unique_ptr<FormWidget> form_;
  std::map<ControlId, std::unique_ptr<QtControl>> controls_;
  bool placed_ = false;
};

}  // namespace tllink::platform::qt
