// The rewriting seen from a real X11 client: xclip copies, the program rewrites, xclip pastes.

#include "tests/e2e/fixture.h"

namespace tllink::e2e {
namespace {

class Clipboard : public E2eTest {
 protected:
  void StartWithRule(std::wstring_view find, std::wstring_view replacement) {
    StoreRule(find, replacement);
    Start();
  }
};

TEST_F(Clipboard, CopiedLinkIsRewritten) {
  StartWithRule(kFind, kReplacement);

  EXPECT_TRUE(CopyIsRewrittenTo(Link(kFind, L"report.pdf"), Link(kReplacement, L"report.pdf")));
  // Every occurrence, in one copy.
  EXPECT_TRUE(
      CopyIsRewrittenTo(Link(kFind, L"a.zip") + L" and " + Link(kFind, L"b.zip"),
                        Link(kReplacement, L"a.zip") + L" and " + Link(kReplacement, L"b.zip")));
}

TEST_F(Clipboard, TextWithoutFindTextStaysByteIdentical) {
  StartWithRule(kFind, kReplacement);

  // Another user id, and the find text in other letter case.
  EXPECT_TRUE(
      CopyStaysUnchanged(L"http://files.example.com/u/87654321/report.pdf "
                         L"HTTP://FILES.EXAMPLE.COM/U/12345678/report.pdf"));
  // The program was polling all along.
  EXPECT_TRUE(CopyIsRewrittenTo(Link(kFind, L"x"), Link(kReplacement, L"x")));
}

TEST_F(Clipboard, ImageStaysByteIdenticalForTwoSeconds) {
  StartWithRule(kFind, kReplacement);
  const std::string image = WorkDir() + "/image.png";
  const UnixResult made = RunUnix("convert -size 16x12 gradient:red-blue " + ShellQuote(image));
  ASSERT_TRUE(made.finished && made.exit_code == 0) << made.err;
  const UnixResult read = RunUnix("cat " + ShellQuote(image));
  ASSERT_GT(read.out.size(), 8u);
  const std::string png = read.out;

  // A link copied first, so a program that rewrites stale text would write it over the image.
  ASSERT_TRUE(CopyIsRewrittenTo(Link(kFind, L"before"), Link(kReplacement, L"before")));
  ASSERT_TRUE(CopyFromFile(image, "image/png"));
  std::optional<std::string> pasted;
  EXPECT_TRUE(HoldsFor(
      [&] {
        pasted = Paste("image/png");
        return pasted == png;
      },
      2s, 100ms))
      << "the image changed: " << (pasted ? pasted->size() : 0) << " bytes of image/png";
  const UnixResult targets = RunUnix("timeout 1 xclip -selection clipboard -t TARGETS -o");
  EXPECT_EQ(targets.out.find("UTF8_STRING"), std::string::npos)
      << "text was added to the image: " << targets.out;
}

TEST_F(Clipboard, NonAsciiTextIsRewrittenWithoutLoss) {
  const std::wstring find = L"http://files.example.com/u/使用者/";
  const std::wstring replacement = L"https://鏡像.example.net/下載/";
  StartWithRule(find, replacement);

  // CJK, an emoji outside the BMP, and accented Latin around the link.
  const std::wstring before = L"報告 📄 café ";
  const std::wstring after = L" 完成 ✓ 🎉";
  EXPECT_TRUE(CopyIsRewrittenTo(before + find + L"季報.pdf" + after,
                                before + replacement + L"季報.pdf" + after));
}

TEST_F(Clipboard, ReplacementContainingFindTextIsAppliedOnce) {
  const std::wstring replacement = std::wstring(kFind) + L"mirror/";
  StartWithRule(kFind, replacement);

  const std::wstring expected = Link(replacement, L"a.zip");
  ASSERT_TRUE(CopyIsRewrittenTo(Link(kFind, L"a.zip"), expected));
  const std::string expected_bytes = Utf8(expected);
  std::optional<std::string> pasted;
  EXPECT_TRUE(HoldsFor(
      [&] {
        pasted = Paste();
        return pasted == expected_bytes;
      },
      1200ms, 100ms))
      << "rewritten again: " << pasted.value_or("(no text)");
}

}  // namespace
}  // namespace tllink::e2e
