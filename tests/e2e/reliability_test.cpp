// A user's bad day: bursts of copies, many starts at once and a damaged store. Nothing the user
// copied may be lost or wrongly rewritten.

#include <algorithm>
#include <random>

#include "tests/e2e/fixture.h"

namespace tllink::e2e {
namespace {

class Reliability : public E2eTest {
 protected:
  // Ends the program through its exit button, which works while the window is hidden too.
  static testing::AssertionResult ExitThroughButton(const Program& program) {
    Click(FindChild(program.MainWindow(), L"離開"));  // no answer: it ends inside the click
    return EndsWithoutTrayIcon(program);
  }

  static std::string PngImage() {
    const std::string image = WorkDir() + "/image.png";
    const UnixResult made = RunUnix("convert -size 16x12 gradient:red-blue " + ShellQuote(image));
    EXPECT_TRUE(made.finished && made.exit_code == 0) << made.err;
    return image;
  }

  static std::string FileBytes(const std::string& unix_path) {
    return RunUnix("cat " + ShellQuote(unix_path)).out;
  }
};

TEST_F(Reliability, BurstsOfCopiesEndWithTheLastCopyOrItsRewrite) {
  StoreRule(kFind, kReplacement);
  Start();
  const std::string image = PngImage();
  const std::string png = FileBytes(image);
  ASSERT_GT(png.size(), 8u);

  constexpr int kBursts = 20;
  constexpr int kCopiesPerBurst = 100;  // 2,000 copies in all
  std::mt19937 random(20261207);
  for (int burst = 0; burst < kBursts; ++burst) {
    SCOPED_TRACE("burst " + std::to_string(burst));
    std::string script;
    std::optional<std::string> last_text;  // nothing: the last copy was the image
    std::string expected;
    for (int copy = 0; copy < kCopiesPerBurst; ++copy) {
      // Every kind ends some bursts: link, plain text, image.
      const bool last = copy + 1 == kCopiesPerBurst;
      // Wine's X11 bridge cannot order a Windows write and an X11 copy a few milliseconds
      // apart (the write takes the selection from the copy, whatever the program checks
      // first): the last copy of a burst follows the others as a user's would, not 5 ms later.
      if (last) script += "sleep 0.15\n";
      const int kind = last ? burst % 3 : static_cast<int>(random() % 3);
      const std::string tag = std::to_string(burst) + "-" + std::to_string(copy);
      if (kind == 2) {
        script += "xclip -selection clipboard -t image/png -i " + ShellQuote(image);
        last_text.reset();
      } else {
        const std::string link = kind == 0 ? Utf8(Link(kFind, Wide(tag) + L".zip")) : "";
        last_text = "第 " + tag + " 份 " + (kind == 0 ? link : "plain text");
        expected = kind == 0 ? "第 " + tag + " 份 " + Utf8(Link(kReplacement, Wide(tag) + L".zip"))
                             : *last_text;
        script += "printf '%s' " + ShellQuote(*last_text) + " | xclip -selection clipboard -i";
      }
      script += " >/dev/null 2>&1 || exit 1\n";
    }
    const UnixResult copied = RunUnix(script, 60s);
    ASSERT_TRUE(copied.finished && copied.exit_code == 0) << "xclip failed: " << copied.err;

    std::optional<std::string> pasted;
    const std::string target = last_text ? "UTF8_STRING" : "image/png";
    const std::string& wanted = last_text ? expected : png;
    const auto settled = [&] {
      pasted = Paste(target);
      return pasted == wanted;
    };
    ASSERT_TRUE(WaitUntil(settled, 3s, 30ms) && HoldsFor(settled, 300ms, 100ms))
        << "expected " << (last_text ? expected : "the image") << ", the clipboard holds "
        << (last_text ? pasted.value_or("(no text)")
                      : std::to_string(pasted ? pasted->size() : 0) + " bytes of image/png");
    if (!last_text) {
      const UnixResult targets = RunUnix("timeout 1 xclip -selection clipboard -t TARGETS -o");
      EXPECT_EQ(targets.out.find("UTF8_STRING"), std::string::npos)
          << "text was added to the image: " << targets.out;
    }
  }
}

TEST_F(Reliability, TenLaunchesAtOnceLeaveOneInstanceWithOneIcon) {
  StoreRule(kFind, kReplacement);
  std::vector<Program*> launched;
  for (int i = 0; i < 10; ++i) launched.push_back(&Launch());

  // Every launch but one tells the user and waits for the message box to be dismissed.
  const auto boxes = [&] {
    std::vector<HWND> shown;
    for (Program* program : launched) {
      if (const HWND box = program->MessageBoxWindow(); Shown(box)) shown.push_back(box);
    }
    return shown;
  };
  ASSERT_TRUE(WaitUntil([&] { return boxes().size() == 9; }, 30s))
      << boxes().size() << " message boxes, expected 9";
  EXPECT_TRUE(TrayIconCountBecomes(1, 10s));
  Program* survivor = nullptr;
  for (Program* program : launched) {
    if (!Shown(program->MessageBoxWindow())) survivor = program;
  }
  ASSERT_NE(survivor, nullptr);

  for (const HWND box : boxes()) {
    EXPECT_EQ(WindowText(GetDlgItem(box, 0xFFFF)), L"程式以正在運行中囉~");
    Click(GetDlgItem(box, IDOK));
  }
  for (Program* program : launched) {
    if (program != survivor) {
      EXPECT_TRUE(Ends(*program));
    }
  }
  EXPECT_TRUE(survivor->Running());
  EXPECT_TRUE(HoldsFor([] { return TrayIconCount() == 1; }, 1s)) << TrayIconCount();
  EXPECT_TRUE(CopyIsRewrittenTo(Link(kFind, L"one.zip"), Link(kReplacement, L"one.zip")));
}

// Stores edited by hand or by other programs: each row starts the program, which must show the
// state its load rules give and then either rewrite the copy exactly or leave it alone.
TEST_F(Reliability, DamagedStoredSettingsNeverCrashOrMisrewrite) {
  enum class Window { Hidden, ConfigureFirst, DesignTime };
  struct Row {
    const char* name;
    std::function<void()> store;
    Window window;
    std::wstring copied;
    std::wstring expected;
  };
  const std::wstring link = L"a " + Link(kFind, L"f.zip") + L" 末";
  const std::wstring link_rewritten = L"a " + Link(kReplacement, L"f.zip") + L" 末";
  const std::wstring huge_find = std::wstring(kFind) + std::wstring((1u << 20), L'長');
  const std::wstring lone_find = L"http://files.example.com/u/\xD800/";
  const std::wstring with_nul = std::wstring(kFind) + L'\0' + L"junk";
  const std::wstring replacement_with_nul = std::wstring(kReplacement) + L'\0' + L"junk";
  const DWORD one = 1;
  const std::vector<Row> rows = {
      {"a flag of another type reads as missing",
       [&] {
         WriteSetting(L"slink", L"temp1", kFind);
         WriteSetting(L"elink", L"temp2", kReplacement);
         WriteRawSetting(L"sup", L"vl", REG_DWORD, &one, sizeof(one));
       },
       Window::ConfigureFirst, link, link},
      {"a 1 MiB find text", [&] { StoreRule(huge_find, kReplacement); }, Window::Hidden,
       L"x " + huge_find + L"y", L"x " + std::wstring(kReplacement) + L"y"},
      {"a value ends at its first NUL",
       [&] {
         WriteRawSetting(L"slink", L"temp1", REG_SZ, with_nul.c_str(),
                         static_cast<DWORD>((with_nul.size() + 1) * sizeof(wchar_t)));
         WriteRawSetting(L"elink", L"temp2", REG_SZ, replacement_with_nul.c_str(),
                         static_cast<DWORD>((replacement_with_nul.size() + 1) * sizeof(wchar_t)));
         WriteSetting(L"sup", L"vl", L"1");
       },
       Window::Hidden, link, link_rewritten},
      {"an unpaired surrogate in the find text", [&] { StoreRule(lone_find, kReplacement); },
       Window::Hidden, L"\xDC00 " + lone_find + L"f \xD800",
       L"\xDC00 " + std::wstring(kReplacement) + L"f \xD800"},
      {"flag 2 leaves the design-time window",
       [&] {
         StoreRule(kFind, kReplacement);
         WriteSetting(L"sup", L"vl", L"2");
       },
       Window::DesignTime, link, link},
      {"a missing section reads as empty",
       [&] {
         WriteSetting(L"slink", L"temp1", kFind);
         WriteSetting(L"sup", L"vl", L"1");
       },
       Window::Hidden, link, L"a f.zip 末"},
  };

  ClipboardUser other;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    DeleteSettings();
    row.store();
    Program& program = Start();
    const HWND main = program.MainWindow();
    ASSERT_NE(main, nullptr);
    if (row.window == Window::Hidden) {
      EXPECT_TRUE(StaysHidden(main, 300ms));
    } else {
      EXPECT_TRUE(MainWindowShown(program));
      EXPECT_TRUE(Shown(FindChild(main, L"請設定環境")));
      const bool design_time = row.window == Window::DesignTime;
      EXPECT_EQ(Shown(FindChild(main, L"啟動")), design_time);
      EXPECT_EQ(Shown(FindChild(main, L"停止")), design_time);
    }

    ASSERT_TRUE(other.Copy(row.copied));
    const auto holds_expected = [&] { return other.Text() == row.expected; };
    EXPECT_TRUE(WaitUntil(holds_expected, 3s) && HoldsFor(holds_expected, 500ms))
        << "the clipboard holds " << other.Text().value_or(L"(no text)").size() << " units";
    EXPECT_TRUE(program.Running());
    EXPECT_TRUE(ExitThroughButton(program));
  }
}

}  // namespace
}  // namespace tllink::e2e
