// The Qt layer under the offscreen platform: the windows it builds from the layouts, its
// settings file, its clipboard, its tray callback and its single-instance lock.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <cmath>

#include "app/program.h"
#include "platform/desktop/qt_text.h"
#include "platform/qt/qt_settings_store.h"
#include "platform/qt/qt_toolkit.h"
#include "platform/qt/qt_window.h"
#include "platform/qt/single_instance.h"
#include "platform/x11/x11_clipboard.h"
#include "settings/form2.h"

namespace tllink::platform::qt {
namespace {

// A private settings folder and lock for each test.
class QtTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir_.path());
  }
  QString SettingsFile() const { return dir_.path() + QStringLiteral("/tllink/tllink.ini"); }
  std::string LockPath() const {
    return (dir_.path() + QStringLiteral("/tllink.lock")).toStdString();
  }

  QTemporaryDir dir_;
};

int Pixels(int twips, double dpi) {
  return static_cast<int>(std::lround(twips * dpi / 1440.0));
}

QString ButtonCaption(QWidget& widget) {
  return dynamic_cast<WrappingButton&>(widget).Caption();
}

class QtWindows : public QtTest {};

TEST_F(QtWindows, FirstRunBuildsTheLayoutsAndSavesARuleFromTheDialog) {
  QtToolkit toolkit({.keep_main_window_reachable = false, .lock_path = LockPath()});
  Program program(toolkit);
  ASSERT_TRUE(program.Start());
  auto& main = dynamic_cast<QtWindow&>(program.form1().Window());
  const double dpi_x = QGuiApplication::primaryScreen()->logicalDotsPerInchX();
  const double dpi_y = QGuiApplication::primaryScreen()->logicalDotsPerInchY();

  // Every control where its twips put it, with its caption; the window centred and sized.
  ASSERT_TRUE(main.Form().isVisible());
  EXPECT_EQ(main.Form().windowTitle(), QStringLiteral("Tidelock 網址轉換器"));
  EXPECT_EQ(main.Form().size(), QSize(Pixels(1920, dpi_x), Pixels(1200, dpi_y)));
  const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
  EXPECT_LE((main.Form().geometry().center() - area.center()).manhattanLength(), 2);
  for (const ControlLayout& control : Form1::Layout().controls) {
    QWidget& widget = main.ControlWidget(control.id);
    const TwipsRect& r = control.rect;
    EXPECT_EQ(widget.geometry(), QRect(QPoint(Pixels(r.left, dpi_x), Pixels(r.top, dpi_y)),
                                       QPoint(Pixels(r.left + r.width, dpi_x) - 1,
                                              Pixels(r.top + r.height, dpi_y) - 1)))
        << "control " << control.id;
    EXPECT_EQ(main.GetControl(control.id).Text(), control.caption) << "control " << control.id;
  }
  QWidget& label1 = main.ControlWidget(Form1::kLabel1);
  EXPECT_TRUE(label1.font().bold());
  EXPECT_EQ(label1.font().pointSize(), 12);

  // The configure-first state, as the user sees it.
  EXPECT_TRUE(label1.isVisible());
  EXPECT_FALSE(main.ControlWidget(Form1::kCommand3).isVisible());
  EXPECT_FALSE(main.ControlWidget(Form1::kCommand4).isVisible());
  EXPECT_FALSE(program.form1().mnuShell().Enabled(Form1::kStartt));

  // The title bar's close hides the window and keeps it.
  main.Form().close();
  EXPECT_FALSE(main.Form().isVisible());
  main.SetVisible(true);

  QTest::mouseClick(&main.ControlWidget(Form1::kCommand1), Qt::LeftButton);
  Form2& form2 = program.form2();
  auto& dialog = dynamic_cast<QtWindow&>(form2.Window());
  ASSERT_TRUE(dialog.Form().isVisible());
  EXPECT_FALSE(main.Form().isVisible());
  EXPECT_EQ(dialog.Form().windowTitle(), QStringLiteral("環境設定"));
  auto& ts = dynamic_cast<QLineEdit&>(dialog.ControlWidget(Form2::kTS));
  auto& te = dynamic_cast<QLineEdit&>(dialog.ControlWidget(Form2::kTE));
  EXPECT_EQ(ts.text(), QStringLiteral("原始網址"));
  EXPECT_EQ(te.text(), QStringLiteral("取代成"));
  EXPECT_TRUE(ts.isEnabled());
  EXPECT_FALSE(dialog.ControlWidget(Form2::kCommand2).isVisible());
  EXPECT_TRUE(dialog.ControlWidget(Form2::kCommand3).isVisible());
  EXPECT_EQ(ButtonCaption(dialog.ControlWidget(Form2::kCommand3)), QStringLiteral("離開"));

  // Typing a rule and pressing Enter in a text box saves it, as the set button does.
  ts.clear();
  QTest::keyClicks(&ts, QStringLiteral("http://files.example.com/u/7/"));
  te.setText(QStringLiteral("https://鏡像.example.net/"));
  QTest::keyClick(&te, Qt::Key_Return);

  EXPECT_FALSE(dialog.Form().isVisible());
  EXPECT_FALSE(ts.isEnabled());
  EXPECT_TRUE(program.form1().Timer2().Enabled());
  QSettings stored(SettingsFile(), QSettings::IniFormat);
  EXPECT_EQ(stored.value("slink/temp1").toString(),
            QStringLiteral("http://files.example.com/u/7/"));
  EXPECT_EQ(stored.value("elink/temp2").toString(), QStringLiteral("https://鏡像.example.net/"));
  EXPECT_EQ(stored.value("sup/vl").toString(), QStringLiteral("1"));
}

TEST_F(QtWindows, TrayRightClickOpensTheMenuWhoseStopStopsTheTimer) {
  QSettings rule(SettingsFile(), QSettings::IniFormat);
  rule.setValue("slink/temp1", "http://a/");
  rule.setValue("elink/temp2", "http://b/");
  rule.setValue("sup/vl", "1");
  rule.sync();
  QtToolkit toolkit({.keep_main_window_reachable = false, .lock_path = LockPath()});
  Program program(toolkit);
  ASSERT_TRUE(program.Start());
  Form1& form1 = program.form1();
  ASSERT_TRUE(form1.Timer2().Enabled());
  EXPECT_FALSE(form1.Window().Visible());

  QSystemTrayIcon* icon = toolkit.TrayIcons().Icon(form1.Picture1().Handle(), 1);
  ASSERT_NE(icon, nullptr);
  EXPECT_EQ(icon->toolTip(), QStringLiteral("Tidelock 網址轉換器"));

  // A left click reaches the callback as the left button's message, which opens nothing.
  bool menu_opened = false;
  emit icon->activated(QSystemTrayIcon::Trigger);
  QTimer::singleShot(0, [&] { menu_opened = QApplication::activePopupWidget() != nullptr; });
  QCoreApplication::processEvents();
  QCoreApplication::processEvents();
  EXPECT_FALSE(menu_opened);

  // The right button's message: the menu opens with 啟動 disabled; Down, Enter picks 停止.
  QStringList shown;
  QTimer::singleShot(50, [&] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (menu == nullptr) return;
    for (QAction* action : menu->actions()) {
      shown << action->text() + (action->isEnabled() ? "" : " (disabled)");
    }
    QTest::keyClick(menu, Qt::Key_Down);
    QTest::keyClick(menu, Qt::Key_Return);
  });
  emit icon->activated(QSystemTrayIcon::Context);
  QTest::qWait(300);
  EXPECT_EQ(shown, QStringList({"啟動 (disabled)", "停止", "離開", "環境設定", "關於"}));
  EXPECT_FALSE(form1.Timer2().Enabled());
  EXPECT_TRUE(form1.mnuShell().Enabled(Form1::kStartt));
  EXPECT_EQ(form1.ST, 0);
}

// Whether `label` shows its whole text: Qt's measure of it fits the label and no other control
// shown in `form` lies over it.
::testing::AssertionResult ShowsWholeText(const QLabel& label, const QWidget& form) {
  const QRect box = label.contentsRect();
  const int flags = static_cast<int>(label.alignment()) | (label.wordWrap() ? Qt::TextWordWrap : 0);
  const QRect needed =
      QFontMetrics(label.font(), &label)
          .boundingRect(QRect(box.topLeft(), QSize(box.width(), 100000)), flags, label.text());
  const auto failure = [&] {
    return ::testing::AssertionFailure()
           << label.text().toStdString() << " needs " << needed.width() << "x" << needed.height()
           << " px in " << box.width() << "x" << box.height() << " px at " << label.logicalDpiX()
           << " dpi, " << label.font().toString().toStdString();
  };
  if (needed.width() > box.width() || needed.height() > box.height()) return failure();
  const QRect on_form(label.mapTo(&form, needed.topLeft()), needed.size());
  for (const QWidget* other : form.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    if (other == &label || !other->isVisible() || qobject_cast<const QLabel*>(other)) continue;
    if (other->geometry().intersects(on_form)) {
      return failure() << ", partly under a control at " << other->x() << "," << other->y();
    }
  }
  return ::testing::AssertionSuccess();
}

// Every label and button shown, in `window` as it is now.
void ExpectWholeCaptions(QtWindow& window, const WindowLayout& layout) {
  for (const ControlLayout& control : layout.controls) {
    QWidget& widget = window.ControlWidget(control.id);
    if (!widget.isVisible()) continue;
    if (control.kind == ControlKind::Label) {
      EXPECT_TRUE(ShowsWholeText(dynamic_cast<QLabel&>(widget), window.Form()));
    } else if (control.kind == ControlKind::CommandButton) {
      auto* caption = widget.findChild<QLabel*>();
      ASSERT_NE(caption, nullptr);
      EXPECT_TRUE(ShowsWholeText(*caption, widget));
    }
  }
}

// Run at 96 and at 144 dpi (tests/qt/CMakeLists.txt): the first run's windows, with the
// Windows-like Latin faces and as where none of them is installed.
class QtLayout : public QtTest {};

TEST_F(QtLayout, EveryCaptionFitsItsBox) {
  for (const QStringList& latin_faces : {WindowsLikeLatinFaces(), QStringList()}) {
    QtToolkit toolkit(
        {.keep_main_window_reachable = false, .lock_path = LockPath(), .latin_faces = latin_faces});
    Program program(toolkit);
    ASSERT_TRUE(program.Start());
    auto& main = dynamic_cast<QtWindow&>(program.form1().Window());
    ASSERT_TRUE(main.Form().isVisible());
    ExpectWholeCaptions(main, Form1::Layout());
    program.form1().Command1_Click();
    auto& dialog = dynamic_cast<QtWindow&>(program.form2().Window());
    ASSERT_TRUE(dialog.Form().isVisible());
    ExpectWholeCaptions(dialog, Form2::Layout());
  }
}

TEST_F(QtTest, SettingsFileRoundTripAndRemoval) {
  // A file QSettings would also read, beside the program's folder: a removed rule would load.
  QSettings beside(dir_.path() + QStringLiteral("/tllink.ini"), QSettings::IniFormat);
  beside.setValue("slink/temp1", "http://stale/");
  beside.sync();
  QtSettingsStore store;
  EXPECT_EQ(store.Get(u"tllink", u"slink", u"temp1"), std::nullopt);
  // Non-ASCII, a leading byte-order mark, what INI files and QSettings treat specially (a comma
  // would make a list, a leading @ a typed value), outer spaces, and empty.
  const std::u16string find = u"\uFEFFhttp://檔案.example.com/u/1/,a;#=[x] \"q\"\\ ";
  const std::u16string replacement = u"@Variant(x) ";
  store.Save(u"tllink", u"slink", u"temp1", find);
  store.Save(u"tllink", u"elink", u"temp2", replacement);
  store.Save(u"tllink", u"sup", u"vl", u"");

  QtSettingsStore fresh;
  EXPECT_EQ(fresh.Get(u"tllink", u"slink", u"temp1"), find);
  EXPECT_EQ(fresh.Get(u"tllink", u"elink", u"temp2"), replacement);
  EXPECT_EQ(fresh.Get(u"tllink", u"sup", u"vl"), u"");
  QSettings file(SettingsFile(), QSettings::IniFormat);
  EXPECT_EQ(file.childGroups(), QStringList({"elink", "slink", "sup"}));

  fresh.DeleteApp(u"tllink");
  EXPECT_FALSE(QFile::exists(SettingsFile()));
  EXPECT_EQ(store.Get(u"tllink", u"sup", u"vl"), std::nullopt);
  EXPECT_NO_THROW(store.DeleteApp(u"tllink"));
}

class QtClipboardTest : public QtTest {
 protected:
  // Another program's copy.
  static void OtherProgramCopies(QMimeData* data) {
    QGuiApplication::clipboard()->setMimeData(data, QClipboard::Clipboard);
  }
  static QMimeData* Text(const QString& text) {
    auto* data = new QMimeData;
    data->setText(text);
    return data;
  }
};

TEST_F(QtClipboardTest, TextRoundTripsExactlyAndNewerCopiesWin) {
  x11::X11Clipboard clipboard;
  OtherProgramCopies(Text(QStringLiteral("see http://a/x")));
  const std::uint32_t first = clipboard.SequenceNumber();
  Clipboard::ReadResult read = clipboard.Read(1, u"");
  ASSERT_EQ(read.status, Clipboard::ReadStatus::Ok);
  EXPECT_EQ(read.text, u"see http://a/x");
  EXPECT_EQ(read.sequence, first);

  // Unpaired surrogates and a leading byte-order mark stay as they are in the program.
  std::u16string odd = u"\uFEFFa";
  odd += char16_t{0xD800};
  odd += u"b";
  odd += char16_t{0xDC00};
  odd += u"c http://b/x";
  const auto written = clipboard.Replace(2, {read.text, {}}, read.sequence, {odd, {}});
  ASSERT_EQ(written.status, Clipboard::WriteStatus::Ok);
  EXPECT_NE(written.sequence, first);
  EXPECT_EQ(clipboard.SequenceNumber(), written.sequence);
  // The program's own text reads back as any other: the tick tells it by its content.
  read = clipboard.Read(1, u"");
  ASSERT_EQ(read.status, Clipboard::ReadStatus::Ok);
  EXPECT_EQ(read.text, odd);
  EXPECT_EQ(read.sequence, written.sequence);

  // A copy made after the read is never written over.
  OtherProgramCopies(Text(QStringLiteral("newer")));
  EXPECT_EQ(clipboard.Replace(2, {read.text, {}}, read.sequence, {u"stale", {}}).status,
            Clipboard::WriteStatus::Changed);
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("newer"));
}

TEST_F(QtClipboardTest, ContentThatIsNotPlainTextIsLeftAlone) {
  x11::X11Clipboard clipboard;
  auto* image = new QMimeData;
  image->setData("image/png", QByteArray("\x89PNG\r\n\x1a\n", 8));
  OtherProgramCopies(image);
  EXPECT_EQ(clipboard.Read(1, u"").status, Clipboard::ReadStatus::NoText);

  auto* secret = Text(QStringLiteral("http://a/secret"));
  secret->setData("x-kde-passwordManagerHint", "secret");
  OtherProgramCopies(secret);
  EXPECT_EQ(clipboard.Read(1, u"").status, Clipboard::ReadStatus::Excluded);

  auto* files = new QMimeData;
  files->setUrls({QUrl::fromLocalFile("/home/u/http:/a/report.pdf")});
  files->setText(QStringLiteral("/home/u/http:/a/report.pdf"));
  OtherProgramCopies(files);
  EXPECT_EQ(clipboard.Read(1, u"").status, Clipboard::ReadStatus::NoText);

  auto* link = new QMimeData;  // a browser's link: text and a web address
  link->setUrls({QUrl("http://a/x")});
  link->setText(QStringLiteral("http://a/x"));
  OtherProgramCopies(link);
  EXPECT_EQ(clipboard.Read(1, u"").status, Clipboard::ReadStatus::Ok);

  // What was not valid UTF-8 arrives as U+FFFD: writing it back would lose the bytes.
  OtherProgramCopies(Text(QStringLiteral("http://a/\uFFFD")));
  EXPECT_EQ(clipboard.Read(1, u"").status, Clipboard::ReadStatus::NoText);
}

TEST_F(QtTest, OneInstancePerLockAndAKilledHolderLeavesNoStaleLock) {
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    SingleInstance holder(LockPath());
    const char answer = holder.AnotherInstanceRunning() ? 'n' : 'y';
    [[maybe_unused]] const auto written = ::write(ready[1], &answer, 1);
    ::pause();
    ::_exit(0);
  }
  char answer = 0;
  ASSERT_EQ(::read(ready[0], &answer, 1), 1);
  EXPECT_EQ(answer, 'y');
  EXPECT_TRUE(SingleInstance(LockPath()).AnotherInstanceRunning());

  ::kill(child, SIGKILL);
  ::waitpid(child, nullptr, 0);
  SingleInstance next(LockPath());
  EXPECT_FALSE(next.AnotherInstanceRunning());
  EXPECT_TRUE(SingleInstance(LockPath()).AnotherInstanceRunning());
  ::close(ready[0]);
  ::close(ready[1]);
}

}  // namespace
}  // namespace tllink::platform::qt

int main(int argc, char** argv) {
  // Windows, clipboard and tray in memory: no display needed, also when tests are listed. Nor
  // the clipboard of a Wayland session the tests may run in.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  qunsetenv("WAYLAND_DISPLAY");
  qunsetenv("WAYLAND_SOCKET");
  QApplication application(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
