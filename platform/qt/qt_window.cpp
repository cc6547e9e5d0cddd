#include "platform/qt/qt_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScreen>
#include <vector>

#include "platform/desktop/qt_text.h"
#include "platform/failure.h"
#include "platform/layout_geometry.h"
#include "platform/qt/control_font.h"
#include "platform/qt/qt_menu.h"

namespace tllink::platform::qt {

using desktop::FromQString;
using desktop::ToQString;

namespace {

// Every window of the program, to find the owner of a handle.
std::vector<QtWindow*>& Windows() {
  static std::vector<QtWindow*> windows;
  return windows;
}

QScreen* Screen() {
  QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) throw Failure(u"找不到螢幕");
  return screen;
}

// The caption of a button lies this far inside its edges.
constexpr int kCaptionInset = 2;

}  // namespace

// ----- WrappingButton -----

WrappingButton::WrappingButton(QWidget* parent) : QPushButton(parent), caption_(new QLabel(this)) {
  caption_->setAlignment(Qt::AlignCenter);
  caption_->setWordWrap(true);
  caption_->setTextFormat(Qt::PlainText);
  caption_->setAttribute(Qt::WA_TransparentForMouseEvents);
  // Enter presses the focused button, as in a dialog box.
  setAutoDefault(true);
}

void WrappingButton::resizeEvent(QResizeEvent* event) {
  QPushButton::resizeEvent(event);
  caption_->setGeometry(
      rect().adjusted(kCaptionInset, kCaptionInset, -kCaptionInset, -kCaptionInset));
}

void WrappingButton::FitCaption(const QFont& font) {
  // From the button's size: a hidden button has not laid out its caption yet.
  FitText(*caption_, font, size() - QSize(2 * kCaptionInset, 2 * kCaptionInset), true);
}

// ----- QtControl -----

std::u16string QtControl::Text() const {
  switch (layout_.kind) {
    case ControlKind::CommandButton:
      return FromQString(static_cast<const WrappingButton&>(widget_).Caption());
    case ControlKind::Label:
      return FromQString(static_cast<const QLabel&>(widget_).text());
    case ControlKind::TextBox:
      return FromQString(static_cast<const QLineEdit&>(widget_).text());
    case ControlKind::PictureBox:
      break;
  }
  return {};
}

void QtControl::SetText(std::u16string_view text) {
  switch (layout_.kind) {
    case ControlKind::CommandButton:
      static_cast<WrappingButton&>(widget_).SetCaption(ToQString(text));
      FitCaption();
      return;
    case ControlKind::Label:
      static_cast<QLabel&>(widget_).setText(ToQString(text));
      FitCaption();
      return;
    case ControlKind::TextBox:
      static_cast<QLineEdit&>(widget_).setText(ToQString(text));
      return;
    case ControlKind::PictureBox:
      break;
  }
  throw Failure(u"無法設定控制項的文字");
}

void QtControl::FitCaption() {
  switch (layout_.kind) {
    case ControlKind::CommandButton:
      static_cast<WrappingButton&>(widget_).FitCaption(font_);
      return;
    case ControlKind::Label:
      // A label wraps where it has room for a second line; otherwise one line shows the most.
      FitText(static_cast<QLabel&>(widget_), font_, text_area_, true);
      return;
    case ControlKind::TextBox:
    case ControlKind::PictureBox:
      return;
  }
}

// ----- QtWindow -----

// The top-level widget: turns the title bar's close and the dialog keys into events.
class QtWindow::FormWidget final : public QWidget {
 public:
  FormWidget(QtWindow& owner, Qt::WindowFlags flags) : QWidget(nullptr, flags), owner_(owner) {}

 protected:
  void closeEvent(QCloseEvent* event) override {
    // Only the owner decides what closing means; the window is not hidden here.
    event->ignore();
    if (!owner_.env_.ending()) owner_.events_.OnCloseRequest();
  }

  void keyPressEvent(QKeyEvent* event) override {
    if (owner_.env_.ending() || event->modifiers() != Qt::NoModifier) {
      QWidget::keyPressEvent(event);
      return;
    }
    switch (event->key()) {
      case Qt::Key_Escape:
        owner_.events_.OnKey(Key::Escape);
        return;
      case Qt::Key_Return:
      case Qt::Key_Enter:
        // A focused button has taken its own Enter already; this one came from a text box.
        owner_.events_.OnKey(Key::Enter);
        return;
      default:
        QWidget::keyPressEvent(event);
    }
  }

 private:
  QtWindow& owner_;
};

QtWindow::QtWindow(const WindowLayout& layout, WindowEvents& events, WindowEnvironment environment)
    : layout_(layout), events_(events), env_(std::move(environment)) {
  Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
  // The window with the program's icon stands for the program and can be minimised.
  if (layout_.has_icon) flags |= Qt::WindowMinimizeButtonHint;
  form_ = std::make_unique<FormWidget>(*this, flags);
  form_->setWindowTitle(ToQString(layout_.caption));
  if (layout_.has_icon) form_->setWindowIcon(env_.icon);
  CreateControls();
  LayOut();
  Windows().push_back(this);
}

QtWindow::~QtWindow() {
  std::erase(Windows(), this);
  // The form's children go with it; the controls only refer to them.
  controls_.clear();
  form_.reset();
}

void QtWindow::CreateControls() {
  QWidget* previous_focusable = nullptr;
  for (const ControlLayout* control : CreationOrder(layout_)) {
    QWidget* widget = nullptr;
    switch (control->kind) {
      case ControlKind::CommandButton: {
        auto* button = new WrappingButton(form_.get());
        button->SetCaption(ToQString(control->caption));
        const ControlId id = control->id;
        QObject::connect(button, &QPushButton::clicked, [this, id] {
          if (!env_.ending()) events_.OnClick(id);
        });
        widget = button;
        break;
      }
      case ControlKind::Label: {
        auto* label = new QLabel(ToQString(control->caption), form_.get());
        label->setTextFormat(Qt::PlainText);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        widget = label;
        break;
      }
      case ControlKind::TextBox:
        widget = new QLineEdit(ToQString(control->caption), form_.get());
        break;
      case ControlKind::PictureBox:
        widget = new QWidget(form_.get());
        break;
    }
    QFont font = ControlFont(control->font, env_.latin_faces);
    widget->setFont(font);
    // Shown as far as the control itself goes; it appears with its window.
    widget->show();
    if (widget->focusPolicy() != Qt::NoFocus) {
      if (previous_focusable != nullptr) QWidget::setTabOrder(previous_focusable, widget);
      previous_focusable = widget;
    }
    controls_[control->id] = std::make_unique<QtControl>(*widget, *control, std::move(font));
  }
  for (const auto& [id, control] : controls_) {
    if (LiesBelowOtherControls(control->Layout().kind)) control->Widget().lower();
  }
}

void QtWindow::LayOut() {
  QScreen* screen = Screen();
  const double dpi_x = screen->logicalDotsPerInchX();
  const double dpi_y = screen->logicalDotsPerInchY();
  for (const auto& [id, control] : controls_) {
    const PixelRect place = ToPixels(control->Layout().rect, dpi_x, dpi_y);
    QWidget& widget = control->Widget();
    widget.setGeometry(place.left, place.top, place.width, place.height);
    if (control->Layout().kind == ControlKind::Label) {
      const PixelRect area = ToPixels(TextArea(layout_, control->Layout()), dpi_x, dpi_y);
      control->SetTextArea(QSize(area.width, area.height));
    }
    control->FitCaption();
  }
  form_->setFixedSize(TwipsToPixels(layout_.client_width, dpi_x),
                      TwipsToPixels(layout_.client_height, dpi_y));
}

QWidget& QtWindow::Form() const {
  return *form_;
}

std::u16string QtWindow::Caption() const {
  return FromQString(form_->windowTitle());
}

bool QtWindow::Visible() const {
  return form_->isVisible();
}

void QtWindow::SetVisible(bool visible) {
  if (!visible) {
    // Without a tray a hidden main window could never be brought back.
    if (env_.hide_means_minimise && env_.hide_means_minimise()) {
      form_->showMinimized();
    } else {
      form_->hide();
    }
    return;
  }
  if (!placed_ && layout_.placement == Placement::CenterScreen) {
    const QRect area = Screen()->availableGeometry();
    form_->move(area.center() - QPoint(form_->width() / 2, form_->height() / 2));
  }
  placed_ = true;
  if (form_->isMinimized()) {
    form_->showNormal();
  } else {
    form_->show();
  }
  form_->raise();
  form_->activateWindow();
}

Control& QtWindow::GetControl(ControlId id) {
  const auto found = controls_.find(id);
  if (found == controls_.end()) throw Failure(u"沒有這個控制項");
  return *found->second;
}

std::optional<MenuItemId> QtWindow::PopupMenu(Menu& menu) {
  auto& qt_menu = dynamic_cast<QtMenu&>(menu);
  // A nested event loop: timers keep ticking while the menu is open.
  const QAction* chosen = qt_menu.Widget().exec(QCursor::pos());
  if (chosen == nullptr || env_.ending()) return std::nullopt;
  return qt_menu.IdOf(chosen);
}

QtWindow* QtWindow::Find(WindowHandle handle) {
  for (QtWindow* window : Windows()) {
    if (window->Handle() == handle) return window;
    for (const auto& [id, control] : window->controls_) {
      if (control->Handle() == handle) return window;
    }
  }
  return nullptr;
}

bool QtWindow::DeliverTrayMessage(WindowHandle box, int message) {
  for (const auto& [id, control] : controls_) {
    if (control->Handle() != box || control->Layout().kind != ControlKind::PictureBox) continue;
    if (env_.ending()) return true;
    MouseEvent event;
    if (control->GetScaleMode() == ScaleMode::Pixels) {
      event.x = static_cast<float>(message);
    } else {
      event.x = static_cast<float>(message * env_.twips_per_pixel_x());
    }
    events_.OnMouseMove(id, event);
    return true;
  }
  return false;
}

}  // namespace tllink::platform::qt
