// The rewriting seen from a real X11 client: xclip copies, the program rewrites, xclip pastes.

#include "tests/e2e/fixture.h"

#include <cstdio>

namespace tllink::e2e {
namespace {

// Windows' HTML Format of `fragment` in a page, with the header's offsets in ten digits.
std::string WindowsHtml(const std::string& fragment) {
  const std::string html =
      "<html><body><!--StartFragment-->" + fragment + "<!--EndFragment--></body></html>";
  const auto header = [](std::size_t html_at, std::size_t html_end, std::size_t fragment_at,
                         std::size_t fragment_end) {
    char text[160];
    std::snprintf(text, sizeof(text),
                  "Version:0.9\r\nStartHTML:%010zu\r\nEndHTML:%010zu\r\nStartFragment:%010zu\r\n"
                  "EndFragment:%010zu\r\n",
                  html_at, html_end, fragment_at, fragment_end);
    return std::string(text);
  };
  const std::size_t size = header(0, 0, 0, 0).size();
  const std::size_t fragment_at = size + html.find("<!--StartFragment-->") + 20;
  return header(size, size + html.size(), fragment_at, fragment_at + fragment.size()) + html;
}

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

TEST_F(Clipboard, RichCopyIsRewrittenABalloonClickPutsItBackAndACopyAnewIsRewritten) {
  StoreRule(kFind, kReplacement);
  Program& program = Start();
  ASSERT_TRUE(WaitUntil([&] { return program.MainWindow() != nullptr; }, 5s));
  const HWND picture = FindChildOfClass(program.MainWindow(), L"TllinkPictureBox", L"");
  ASSERT_NE(picture, nullptr);

  // A link as a browser and a word processor copy it: in the text, in an href (with "&"
  // escaped) and in a field of RTF.
  const auto copy = [](std::wstring_view prefix) {
    const std::string link = Utf8(Link(prefix, L"a.zip?x=1"));
    return std::tuple{
        Link(prefix, L"a.zip?x=1&y=2") + L" 報告",
        WindowsHtml("<a href=\"" + link + "&amp;y=2\">報告 😀</a> " + link),
        "{\\rtf1\\ansi{\\field{\\*\\fldinst{HYPERLINK \"" + link + "\"}}{\\fldrslt \\'b3\\'f8}}}"};
  };
  const auto [text, html, rtf] = copy(kFind);
  const auto [new_text, new_html, new_rtf] = copy(kReplacement);
  ClipboardUser user;
  ASSERT_TRUE(user.CopyWith(text, {{L"HTML Format", html}, {L"Rich Text Format", rtf}}));
  EXPECT_TRUE(WaitUntil([&] { return user.Text() == new_text; }, 3s)) << "the text";
  EXPECT_EQ(user.Bytes(L"HTML Format"), new_html);
  EXPECT_EQ(user.Bytes(L"Rich Text Format"), new_rtf);

  // The shell tells of a click on the balloon, as it tells of clicks on the icon.
  ASSERT_TRUE(PostMessageW(picture, WM_MOUSEMOVE, 0, MAKELPARAM(0x405, 0)));
  EXPECT_TRUE(WaitUntil([&] { return user.Text() == text; }, 3s)) << "the text is not back";
  EXPECT_EQ(user.Bytes(L"HTML Format"), html);
  EXPECT_EQ(user.Bytes(L"Rich Text Format"), rtf);
  EXPECT_TRUE(HoldsFor([&] { return user.Text() == text; }, 1s)) << "converted again";

  // What was put back stays; the same link copied anew, after another copy, is converted.
  ASSERT_TRUE(user.Copy(L"no link"));
  ASSERT_TRUE(user.CopyWith(text, {{L"HTML Format", html}, {L"Rich Text Format", rtf}}));
  EXPECT_TRUE(WaitUntil([&] { return user.Text() == new_text; }, 3s)) << "the link copied anew";
}

}  // namespace
}  // namespace tllink::e2e
