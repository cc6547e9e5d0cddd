// The program keeps answering its messages while the clipboard is hard to get at: held by
// another program, or holding a huge text. These cases measure reply times, so they run alone.

#include <algorithm>
#include <cstdio>

#include "tests/e2e/fixture.h"

namespace tllink::e2e {
namespace {

using Clock = std::chrono::steady_clock;
using Responsiveness = E2eTest;

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
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
    if (!rewritten_at && GetClipboardOwner() == main) rewritten_at = Clock::now();
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
