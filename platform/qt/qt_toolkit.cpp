#include "platform/qt/qt_toolkit.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QMessageBox>
#include <QScreen>
#include <QSystemTrayIcon>

#include "platform/desktop/qt_text.h"
#include "platform/failure.h"
#include "platform/qt/qt_menu.h"
#include "platform/qt/qt_timer.h"
#include "platform/qt/qt_window.h"

namespace tllink::platform::qt {

using desktop::OpenDesktopClipboard;
using desktop::ToQString;

namespace {

// Ctrl+C copies the message, as it does in message boxes on Windows.
class CopyableMessageBox final : public QMessageBox {
 public:
  using QMessageBox::QMessageBox;

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    if (event->matches(QKeySequence::Copy)) {
      QGuiApplication::clipboard()->setText(text());
      return;
    }
    QMessageBox::keyPressEvent(event);
  }
};

}  // namespace

QtToolkit::QtToolkit(QtToolkitOptions options)
    : options_(std::move(options)),
      icon_(QStringLiteral(":/tllink/tllink.ico")),
      clipboard_(OpenDesktopClipboard()),
      notify_area_([this](IconHandle handle) { return handle == kProgramIcon ? icon_ : QIcon(); },
                   [](WindowHandle owner, std::uint32_t message) {
                     if (QtWindow* window = QtWindow::Find(owner)) {
                       window->DeliverTrayMessage(owner, static_cast<int>(message));
                     }
                   }),
      single_instance_(options_.lock_path) {}

std::unique_ptr<Window> QtToolkit::CreateAppWindow(const WindowLayout& layout,
                                                   WindowEvents& events) {
  WindowEnvironment environment;
  environment.icon = icon_;
  environment.icon_handle = kProgramIcon;
  environment.ending = [this] { return ending_; };
  environment.twips_per_pixel_x = [this] { return TwipsPerPixelX(); };
  environment.latin_faces = options_.latin_faces;
  // The first window is the main one, which the tray icon belongs to.
  const bool main_window = main_window_ == 0;
  if (main_window && options_.keep_main_window_reachable) {
    environment.hide_means_minimise = [] { return !QSystemTrayIcon::isSystemTrayAvailable(); };
  }
  auto window = std::make_unique<QtWindow>(layout, events, std::move(environment));
  if (main_window) main_window_ = window->Handle();
  return window;
}

std::unique_ptr<Timer> QtToolkit::CreateTimer(Window&, int interval_ms,
                                              std::function<void()> on_tick) {
  if (interval_ms <= 0) throw Failure(u"無法啟動計時器");
  return std::make_unique<QtTimer>(interval_ms, std::move(on_tick), [this] { return ending_; });
}

std::unique_ptr<ClipboardWatch> QtToolkit::WatchClipboard(Window&, ClipboardEvents events) {
  return clipboard_->Watch(std::move(events), [this] { return ending_; });
}

std::unique_ptr<Menu> QtToolkit::CreatePopupMenu(const std::vector<MenuItemLayout>& items) {
  return std::make_unique<QtMenu>(items);
}

void QtToolkit::ShowMessage(std::u16string_view text, std::u16string_view caption) {
  if (ending_) return;
  // Modal to the window the user is working in; with none shown, the box stands alone.
  QWidget* owner = QApplication::activeWindow();
  if (owner != nullptr && !owner->isVisible()) owner = nullptr;
  CopyableMessageBox box(QMessageBox::Information, ToQString(caption), ToQString(text),
                         QMessageBox::Ok, owner);
  box.setTextFormat(Qt::PlainText);
  box.setWindowIcon(icon_);
  box.exec();
}

bool QtToolkit::PreviousInstance() {
  return single_instance_.AnotherInstanceRunning();
}

void QtToolkit::EndNow() {
  ending_ = true;
  for (QWidget* window : QApplication::topLevelWidgets()) window->hide();
  // Leaves every running event loop, nested ones (a menu, a message box) included; before the
  // main loop has started, the caller sees Ending() instead.
  QCoreApplication::exit(0);
}

double QtToolkit::TwipsPerPixelX() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) throw Failure(u"找不到螢幕");
  return 1440.0 / screen->logicalDotsPerInchX();
}

bool QtToolkit::SetForegroundWindow(WindowHandle window) {
  QtWindow* found = QtWindow::Find(window);
  if (found == nullptr || !found->Visible()) return false;
  found->Form().raise();
  found->Form().activateWindow();
  return true;
}

}  // namespace tllink::platform::qt
