// The program keeps answering its messages while the clipboard is hard to get at: held by
// another program, or holding a huge text. These cases measure reply times, so they run alone.

#include <algorithm>
#include <cstdio>
#include <future>
#include <thread>

#include "tests/e2e/fixture.h"

namespace tllink::e2e {
namespace {

using Clock = std::chrono::steady_clock;
using Responsiveness = E2eTest;

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

// Another program that copies by delayed rendering, as office programs and browsers do for large
// copies: it offers text, makes it only when asked, and is busy for a while right after the
// copy. One thread of the driver, with its own window, as a program of its own would be.
class LateRenderingOwner {
 public:
  LateRenderingOwner(std::wstring text, Ms busy)
      : text_(std::move(text)), thread_([this, busy] { Run(busy); }) {}
  ~LateRenderingOwner() {
    PostThreadMessageW(thread_id_.get_future().get(), WM_QUIT, 0, 0);
    thread_.join();
  }
  LateRenderingOwner(const LateRenderingOwner&) = delete;
  LateRenderingOwner& operator=(const LateRenderingOwner&) = delete;

  bool Copied() { return copied_.get_future().get(); }

 private:
  void Run(Ms busy) {
    thread_id_.set_value(GetCurrentThreadId());
    static const ATOM window_class = [] {
      WNDCLASSEXW description{};
      description.cbSize = sizeof(description);
      description.lpfnWndProc = WindowProc;
      description.hInstance = GetModuleHandleW(nullptr);
      description.lpszClassName = L"tllink e2e late owner";
      return RegisterClassExW(&description);
    }();
    const platform::win32::UniqueWindow window(CreateWindowExW(0, MAKEINTATOM(window_class), L"", 0,
                                                               0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                                               GetModuleHandleW(nullptr), nullptr));
    SetWindowLongPtrW(window.get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    const bool copied = window && WaitUntil([&] { return OpenClipboard(window.get()) != 0; }, 2s) &&
                        EmptyClipboard() && (SetClipboardData(CF_UNICODETEXT, nullptr), true);
    CloseClipboard();
    copied_.set_value(copied);
    Sleep(static_cast<DWORD>(busy.count()));  // deaf to every message meanwhile
    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
  }

  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_RENDERFORMAT && wparam == CF_UNICODETEXT) {
      const auto* self =
          reinterpret_cast<LateRenderingOwner*>(GetWindowLongPtrW(window, GWLP_USERDATA));
      platform::win32::UniqueGlobal memory(
          GlobalAlloc(GMEM_MOVEABLE, (self->text_.size() + 1) * sizeof(wchar_t)));
      if (auto* units = memory ? static_cast<wchar_t*>(GlobalLock(memory.get())) : nullptr) {
        std::copy(self->text_.begin(), self->text_.end(), units);
        units[self->text_.size()] = L'\0';
        GlobalUnlock(memory.get());
        if (SetClipboardData(CF_UNICODETEXT, memory.get())) memory.release();
      }
      return 0;
    }
    return DefWindowProcW(window, message, wparam, lparam);
  }

  std::wstring text_;
  std::promise<DWORD> thread_id_;
  std::promise<bool> copied_;
  std::thread thread_;
};

TEST_F(Responsiveness, LateRenderingOwnerNeitherStallsTheTrayMenuNorLosesTheCopy) {
  // A second rewrite of the same copy would show as a second "mirror/".
  const std::wstring replacement = std::wstring(kFind) + L"mirror/";
  StoreRule(kFind, replacement);
  Program& program = Start();
  ASSERT_TRUE(WaitUntil([&] { return program.MainWindow() != nullptr; }, 5s));
  const HWND picture = FindChildOfClass(program.MainWindow(), L"TllinkPictureBox", L"");
  ASSERT_NE(picture, nullptr);

  const std::wstring copied = L"late " + Link(kFind, L"a.zip") + L" 完";
  LateRenderingOwner owner(copied, 3s);
  ASSERT_TRUE(owner.Copied());
  PumpFor(300ms);
  // The shell posts its tray callbacks: a thread that waits inside a clipboard call would still
  // answer sent messages, but not this.
  const auto clicked = Clock::now();
  ASSERT_TRUE(PostMessageW(picture, WM_MOUSEMOVE, 0, MAKELPARAM(WM_RBUTTONUP, 0)));
  HWND menu = nullptr;
  ASSERT_TRUE(WaitUntil(
      [&] {
        menu = OpenMenuWindow();
        return menu != nullptr;
      },
      5s, 5ms))
      << "no menu";
  const double menu_ms = std::chrono::duration<double, std::milli>(Clock::now() - clicked).count();
  std::printf("tray menu open while the owner was busy: %.1f ms after the click\n", menu_ms);
  EXPECT_LE(menu_ms, 500.0) << "the GUI thread waits for the clipboard's owner";
  PressKey(menu, VK_ESCAPE);
  ASSERT_TRUE(WaitUntil([] { return OpenMenuWindow() == nullptr; }, 3s)) << "the menu stays open";

  // Once the owner renders, the copy is rewritten, once.
  ClipboardUser reader;
  const std::wstring expected = L"late " + Link(replacement, L"a.zip") + L" 完";
  EXPECT_TRUE(WaitUntil([&] { return reader.Text() == expected; }, 6s))
      << "not rewritten: " << Utf8(reader.Text().value_or(L"(no text)"));
  EXPECT_TRUE(HoldsFor([&] { return reader.Text() == expected; }, 1s)) << "rewritten again";
  EXPECT_EQ(Paste(), Utf8(expected)) << "X11 clients see another text";
  EXPECT_TRUE(program.Running());
}

TEST_F(Responsiveness, ClipboardHeldByAnotherProgramNeitherStallsNorLosesTheCopy) {
  // A second rewrite of the same copy would show as a second "mirror/".
  const std::wstring replacement = std::wstring(kFind) + L"mirror/";
  StoreRule(kFind, replacement);
  Program& program = Start();
  const HWND main = program.MainWindow();
  ASSERT_NE(main, nullptr);

  ClipboardUser other;
  const std::wstring copied = L"held " + Link(kFind, L"a.zip") + L" 完";
  ASSERT_TRUE(other.CopyAndHold(copied));
  std::vector<double> replies;
  for (const auto end = Clock::now() + 2s; Clock::now() < end;) {
    const std::optional<double> reply = ReplyMs(main);
    ASSERT_TRUE(reply) << "the main window gave no answer within 5 s";
    replies.push_back(*reply);
    PumpFor(23ms);
  }
  other.Release();

  const double median = Median(replies);
  std::printf("reply while the clipboard was held: median %.2f ms, slowest %.2f ms (%zu)\n", median,
              *std::max_element(replies.begin(), replies.end()), replies.size());
  EXPECT_LE(median, 5.0) << "the GUI thread waits for the clipboard";

  const std::wstring expected = L"held " + Link(replacement, L"a.zip") + L" 完";
  EXPECT_TRUE(WaitUntil([&] { return other.Text() == expected; }, 3s))
      << "not rewritten after the release: " << Utf8(other.Text().value_or(L"(no text)"));
  EXPECT_TRUE(HoldsFor([&] { return other.Text() == expected; }, 1s)) << "rewritten again";
  EXPECT_EQ(Paste(), Utf8(expected)) << "X11 clients see another text";
}

TEST_F(Responsiveness, HugeTextIsRewrittenExactlyWhileTheWindowKeepsAnswering) {
  StoreRule(kFind, kReplacement);
  Program& program = Start();
  const HWND main = program.MainWindow();
  ASSERT_NE(main, nullptr);

  // 64 MiB of clipboard text (32 Mi UTF-16 units) in 100,000 lines, each with one link.
  constexpr std::size_t kLines = 100'000;
  constexpr std::size_t kSize = std::size_t{32} << 20;
  std::wstring text;
  std::wstring expected;
  text.reserve(kSize);
  expected.reserve(kSize + kLines * (kReplacement.size() - kFind.size()));
  for (std::size_t i = 0; i < kLines; ++i) {
    const std::wstring number = std::to_wstring(1'000'000 + i);
    const std::wstring filler(kSize / kLines - 40 - kFind.size(), L'文');
    text += number + L" " + Link(kFind, number + L".zip ") + filler + L"\r\n";
    expected += number + L" " + Link(kReplacement, number + L".zip ") + filler + L"\r\n";
  }
  const std::size_t padding = kSize - text.size();
  text.append(padding, L'尾');
  expected.append(padding, L'尾');
  ASSERT_EQ(text.size(), kSize);

  ClipboardUser other;
  ASSERT_TRUE(other.Copy(text));
  const auto copied_at = Clock::now();
  std::vector<double> replies;
  std::optional<Clock::time_point> rewritten_at;
  while (!rewritten_at || Clock::now() < *rewritten_at + 2s) {
    ASSERT_LT(Clock::now(), copied_at + 30s) << "not rewritten within 30 s";
    const std::optional<double> reply = ReplyMs(main);
    ASSERT_TRUE(reply) << "the main window gave no answer within 5 s";
    replies.push_back(*reply);
    // The program owns the clipboard once its rewrite is there.
    DWORD owner = 0;
    GetWindowThreadProcessId(GetClipboardOwner(), &owner);
    if (!rewritten_at && owner == program.Id()) rewritten_at = Clock::now();
    PumpFor(23ms);
  }
  const double slowest = *std::max_element(replies.begin(), replies.end());
  std::printf("64 MiB: rewritten after %.2f s; replies median %.2f ms, slowest %.2f ms\n",
              std::chrono::duration<double>(*rewritten_at - copied_at).count(), Median(replies),
              slowest);
  EXPECT_LE(slowest, 2000.0);
  const std::optional<std::wstring> pasted = other.Text();
  ASSERT_TRUE(pasted.has_value()) << "no text on the clipboard";
  const auto differs =
      std::mismatch(pasted->begin(), pasted->end(), expected.begin(), expected.end());
  EXPECT_TRUE(*pasted == expected)
      << "the rewritten text (" << pasted->size() << " units) differs from the expected one ("
      << expected.size() << ") at unit " << (differs.first - pasted->begin());
  EXPECT_TRUE(program.Running());
}

}  // namespace
}  // namespace tllink::e2e
