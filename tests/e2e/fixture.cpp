#include "tests/e2e/fixture.h"

#include <shellscalingapi.h>

namespace tllink::e2e {

namespace {

void ResetClipboard() {
  const bool opened = WaitUntil([] { return OpenClipboard(nullptr) != 0; }, 2s, 10ms);
  ASSERT_TRUE(opened) << "cannot open the clipboard to reset it";
  EmptyClipboard();
  CloseClipboard();
}

std::string Printable(const std::optional<std::string>& bytes) {
  return bytes ? "\"" + *bytes + "\"" : std::string("(no text)");
}

}  // namespace

void E2eTest::SetUp() {
  ResetClipboard();
  DeleteSettings();
}

Program& E2eTest::Launch() {
  Program& program = programs_.emplace_back();
  EXPECT_TRUE(program.Launch());
  return program;
}

Program& E2eTest::Start() {
  Program& program = Launch();
  // Idle first: a message sent while the load handler waits for the shell would be handled
  // before the rule is loaded, which no user could manage.
  EXPECT_TRUE(program.WaitForIdle(10s)) << "the program did not finish starting";
  EXPECT_TRUE(TrayIconCountBecomes(1, 10s)) << "the program did not put up its tray icon";
  return program;
}

testing::AssertionResult E2eTest::TrayIconCountBecomes(std::size_t count, Ms timeout) {
  if (WaitUntil([count] { return TrayIconCount() == count; }, timeout)) {
    return testing::AssertionSuccess();
  }
  return testing::AssertionFailure() << "tray icons: " << TrayIconCount() << ", expected " << count
                                     << " within " << timeout.count() << " ms";
}

testing::AssertionResult E2eTest::MainWindowShown(const Program& program, Ms timeout) {
  if (WaitUntil([&program] { return Shown(program.MainWindow()); }, timeout)) {
    return testing::AssertionSuccess();
  }
  return testing::AssertionFailure()
         << (program.MainWindow() ? "the main window exists but is hidden"
                                  : "the program has no main window");
}

testing::AssertionResult E2eTest::StaysHidden(HWND window, Ms duration) {
  if (!window) return testing::AssertionFailure() << "no such window";
  if (HoldsFor([window] { return !Shown(window); }, duration)) {
    return testing::AssertionSuccess();
  }
  return testing::AssertionFailure()
         << "the window \"" << Utf8(WindowText(window)) << "\" is shown";
}

testing::AssertionResult E2eTest::Ends(const Program& program, Ms timeout) {
  if (program.WaitForExit(timeout)) return testing::AssertionSuccess();
  return testing::AssertionFailure() << "the program still runs after " << timeout.count() << " ms";
}

testing::AssertionResult E2eTest::EndsWithoutTrayIcon(const Program& program, Ms timeout) {
  if (!program.WaitForExit(timeout)) {
    return testing::AssertionFailure()
           << "the program still runs after " << timeout.count() << " ms";
  }
  if (!WaitUntil([] { return TrayIconCount() == 0; }, 150ms, 10ms)) {
    return testing::AssertionFailure() << "the program ended but left its tray icon behind";
  }
  return testing::AssertionSuccess();
}

testing::AssertionResult E2eTest::CopyIsRewrittenTo(std::wstring_view copied,
                                                    std::wstring_view expected, Ms timeout) {
  const std::string expected_bytes = Utf8(expected);
  if (!CopyText(Utf8(copied))) return testing::AssertionFailure() << "xclip could not copy";
  std::optional<std::string> pasted;
  if (WaitUntil(
          [&] {
            pasted = Paste();
            return pasted == expected_bytes;
          },
          timeout, 30ms)) {
    return testing::AssertionSuccess();
  }
  return testing::AssertionFailure()
         << "copied \"" << Utf8(copied) << "\", expected \"" << expected_bytes << "\" within "
         << timeout.count() << " ms, the clipboard holds " << Printable(pasted);
}

testing::AssertionResult E2eTest::CopyStaysUnchanged(std::wstring_view copied, Ms duration) {
  const std::string copied_bytes = Utf8(copied);
  if (!CopyText(copied_bytes)) return testing::AssertionFailure() << "xclip could not copy";
  std::optional<std::string> pasted;
  if (HoldsFor(
          [&] {
            pasted = Paste();
            return pasted == copied_bytes;
          },
          duration)) {
    return testing::AssertionSuccess();
  }
  return testing::AssertionFailure()
         << "copied \"" << copied_bytes << "\", the clipboard holds " << Printable(pasted);
}

testing::AssertionResult E2eTest::ScreenIsAt(int dpi) {
  // The monitor's, which windows are laid out at; the system DPI may differ from it under Wine
  // 10 when LogPixels changed after the session began.
  UINT dpi_x = 0;
  UINT dpi_y = 0;
  const HMONITOR primary = MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
  if (FAILED(GetDpiForMonitor(primary, MDT_EFFECTIVE_DPI, &dpi_x, &dpi_y)))
    return testing::AssertionFailure() << "cannot read the display's DPI";
  if (static_cast<int>(dpi_x) != dpi)
    return testing::AssertionFailure()
           << "the display is at " << dpi_x << " dpi, not " << dpi
           << " (run-case.sh sets it for a case named ...At" << dpi << "Dpi)";
  return testing::AssertionSuccess();
}

std::wstring E2eTest::Link(std::wstring_view prefix, std::wstring_view file) {
  return std::wstring(prefix) + std::wstring(file);
}

}  // namespace tllink::e2e
