// Baseline for scripts/perf on Linux: the least a Qt tray utility can be while it waits, a tray
// icon with a menu and Qt's event loop, and nothing else.

#include <QApplication>
#include <QMenu>
#include <QPixmap>
#include <QSystemTrayIcon>

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  QPixmap pixmap(22, 22);
  pixmap.fill(Qt::darkCyan);
  QMenu menu;
  menu.addAction(QStringLiteral("Quit"), &application, &QApplication::quit);
  QSystemTrayIcon icon{QIcon(pixmap)};
  icon.setContextMenu(&menu);
  icon.setToolTip(QStringLiteral("idle tray"));
  icon.show();
  return QApplication::exec();
}
