#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QMessageBox>
#include <QSocketNotifier>
#include <QSystemTrayIcon>
#include <QTimer>

#include "app/app_text.h"
#include "app/program.h"
#include "platform/desktop/qt_text.h"
#include "platform/qt/qt_toolkit.h"

namespace {

// Where the compositor offers no data control (GNOME), the clipboard can be watched only through
// X11: Wayland lets only the focused window read it, XWayland any X client. Where it does, the
// clipboard has a Wayland connection of its own whichever platform the windows use; they stay on
// XWayland there too, placed and centred as on X11.
void PreferXWayland() {
  if (qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) return;  // the user's choice
  if (qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") || qEnvironmentVariableIsEmpty("DISPLAY")) {
    return;
  }
  qputenv("QT_QPA_PLATFORM", "xcb");
}

int signal_pipe[2] = {-1, -1};

void OnTerminationSignal(int) {
  const char byte = 1;
  [[maybe_unused]] const auto written = ::write(signal_pipe[1], &byte, 1);
}

// SIGTERM, SIGINT and SIGHUP end the program through its event loop, like its exit command, so
// that a clipboard manager can still take over what the program put on the clipboard.
void EndOnTerminationSignals(tllink::platform::qt::QtToolkit& toolkit, QObject& context) {
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signal_pipe) != 0) return;
  auto* notifier = new QSocketNotifier(signal_pipe[0], QSocketNotifier::Read, &context);
  QObject::connect(notifier, &QSocketNotifier::activated, &context, [&toolkit] {
    char byte = 0;
    [[maybe_unused]] const auto read = ::read(signal_pipe[0], &byte, 1);
    toolkit.EndNow();
  });
  struct sigaction action {};
  action.sa_handler = OnTerminationSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (const int signal_number : {SIGTERM, SIGINT, SIGHUP}) {
    ::sigaction(signal_number, &action, nullptr);
  }
}

// Running invisibly would leave the user nothing to reach the program with: without a tray the
// main window shows, and says why.
void RunWithoutTray(tllink::platform::qt::QtToolkit& toolkit, tllink::Program& program) {
  program.form1().SetVisible(true);
  toolkit.ShowMessage(u"桌面沒有系統匣：程式改以視窗執行，關閉視窗時會縮到工作列。",
                      tllink::kAppTitle);
}

// Started at sign-in (the autostart entry passes --autostart), the program may be up before the
// desktop's panel and its tray: it gives the tray this long before it runs without one. Its
// icon docks by itself once the tray is there.
constexpr int kTrayWaitAtSignInMs = 30000;
constexpr int kTrayLookMs = 500;

void WaitForTray(tllink::platform::qt::QtToolkit& toolkit, tllink::Program& program,
                 QObject& context) {
  auto* look = new QTimer(&context);
  look->setInterval(kTrayLookMs);
  QObject::connect(look, &QTimer::timeout, &context,
                   [&toolkit, &program, look, waited = 0]() mutable {
                     waited += kTrayLookMs;
                     if (toolkit.Ending() || QSystemTrayIcon::isSystemTrayAvailable()) {
                       look->deleteLater();
                     } else if (waited >= kTrayWaitAtSignInMs) {
                       look->deleteLater();
                       RunWithoutTray(toolkit, program);
                     }
                   });
  look->start();
}

}  // namespace

int main(int argc, char** argv) {
  PreferXWayland();
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("tllink"));
  // The program lives in the tray: closing or hiding its last window does not end it.
  QApplication::setQuitOnLastWindowClosed(false);
  const QString title = tllink::platform::desktop::ToQString(tllink::kAppTitle);

  try {
    tllink::platform::qt::QtToolkit toolkit;
    QApplication::setWindowIcon(toolkit.ProgramIcon());
    QObject signal_context;
    EndOnTerminationSignals(toolkit, signal_context);

    tllink::Program program(toolkit);
    // A failed start has told the user and registered no tray icon.
    if (!program.Start()) return 1;
    if (toolkit.Ending()) return 0;
    // Running on as if all were well would leave the user wondering why nothing is converted.
    if (!toolkit.SeesOtherProgramsCopies()) {
      toolkit.ShowMessage(
          u"這個桌面不讓程式讀取其他程式複製的內容（Wayland 未提供剪貼簿資料控制，也沒有 "
          u"X11）：複製的網址不會被轉換。請改用 X11 工作階段，或啟用 XWayland。",
          tllink::kAppTitle);
      if (toolkit.Ending()) return 0;
    }
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
      if (QCoreApplication::arguments().contains(QStringLiteral("--autostart"))) {
        WaitForTray(toolkit, program, signal_context);
      } else {
        RunWithoutTray(toolkit, program);
        if (toolkit.Ending()) return 0;
      }
    }
    return QApplication::exec();
  } catch (...) {
    // Only setting up the program's objects can end up here, before any window exists.
    QMessageBox::critical(nullptr, title, QStringLiteral("程式無法啟動。"));
    return 1;
  }
}
