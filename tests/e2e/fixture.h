#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <string_view>

#include "tests/e2e/harness.h"

namespace tllink::e2e {

// A rule as a user would enter it: the shared-link prefix of a file host and a mirror.
inline constexpr std::wstring_view kFind = L"http://files.example.com/u/12345678/";
inline constexpr std::wstring_view kReplacement = L"https://mirror.example.net/d/12345678/";

// Each case runs in a fresh prefix on a fresh X server (run-case.sh); the fixture still starts
// from a known clipboard and store, and ends every program it started.
class E2eTest : public testing::Test {
 protected:
  void SetUp() override;

  // Starts the program and waits until its load handler has put its tray icon up.
  Program& Start();
  // Starts the program without waiting for anything (a second instance).
  Program& Launch();

  static testing::AssertionResult TrayIconCountBecomes(std::size_t count, Ms timeout = 5s);
  static testing::AssertionResult MainWindowShown(const Program& program, Ms timeout = 5s);
  static testing::AssertionResult StaysHidden(HWND window, Ms duration = 1s);
  static testing::AssertionResult Ends(const Program& program, Ms timeout = 5s);
  // The program ends and its tray icon is already gone by then. Wine removes the icons of a
  // window that is destroyed without deleting them too, but only about a second later: an
  // icon still there right after the end was left behind by the program.
  static testing::AssertionResult EndsWithoutTrayIcon(const Program& program, Ms timeout = 5s);

  // Copies `copied` with xclip and waits until xclip reads back `expected`.
  static testing::AssertionResult CopyIsRewrittenTo(std::wstring_view copied,
                                                    std::wstring_view expected, Ms timeout = 3s);
  // Copies `copied` with xclip; it must read back byte for byte unchanged for `duration`.
  static testing::AssertionResult CopyStaysUnchanged(std::wstring_view copied, Ms duration = 1s);

  // The display is at `dpi` dots per inch (the user's display scale). run-case.sh sets it
  // before Wine starts for a case named ...At<N>Dpi.
  static testing::AssertionResult ScreenIsAt(int dpi);

  // The rewriting of one stored-rule link, used to show the program is polling at all.
  static std::wstring Link(std::wstring_view prefix, std::wstring_view file);

 private:
  std::deque<Program> programs_;
};

}  // namespace tllink::e2e
