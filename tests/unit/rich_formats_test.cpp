#include "app/rich_formats.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace tllink {
namespace {

constexpr std::u16string_view kFind = u"http://h/u/1/";
constexpr std::u16string_view kReplacement = u"https://mirror.example/d/1/";

// Windows' HTML Format around `html`, whose fragment lies between the two comments, with the
// header's offsets in ten digits as browsers write them.
std::string WindowsHtml(std::string_view before, std::string_view fragment,
                        std::string_view after) {
  const std::string html = "<html><body>" + std::string(before) + "<!--StartFragment-->" +
                           std::string(fragment) + "<!--EndFragment-->" + std::string(after) +
                           "</body></html>";
  const auto header = [](std::size_t start_html, std::size_t end_html, std::size_t start_fragment,
                         std::size_t end_fragment) {
    const auto ten = [](std::size_t n) {
      const std::string digits = std::to_string(n);
      return std::string(10 - digits.size(), '0') + digits;
    };
    return "Version:0.9\r\nStartHTML:" + ten(start_html) + "\r\nEndHTML:" + ten(end_html) +
           "\r\nStartFragment:" + ten(start_fragment) + "\r\nEndFragment:" + ten(end_fragment) +
           "\r\nSourceURL:http://h/u/1/page.html\r\n";
  };
  const std::size_t size = header(0, 0, 0, 0).size();
  const std::size_t fragment_at = size + html.find("<!--StartFragment-->") + 20;
  return header(size, size + html.size(), fragment_at, fragment_at + fragment.size()) + html;
}

std::size_t Offset(std::string_view data, std::string_view name) {
  const std::size_t at = data.find(std::string(name) + ":");
  return std::stoul(std::string(data.substr(at + name.size() + 1, 10)));
}

TEST(RichFormats, WindowsHtmlOffsetsPointAtTheSamePlacesAfterTheLinksGrow) {
  // Multi-byte UTF-8 on both sides of every link, one link before the fragment, two in it (one
  // in an href, with "&" escaped), one after it.
  const std::string data =
      WindowsHtml("<p>前 http://h/u/1/x 😀</p>",
                  "報告 <a href=\"http://h/u/1/a?x=1&amp;y=2\">http://h/u/1/a</a> 完",
                  "<p>後 http://h/u/1/z</p>");
  const std::optional<std::string> rewritten = RewriteWindowsHtml(data, kFind, kReplacement);
  ASSERT_TRUE(rewritten.has_value());
  const std::string& out = *rewritten;
  const std::string_view view(out);
  EXPECT_TRUE(view.substr(Offset(out, "StartHTML")).starts_with("<html>"));
  EXPECT_EQ(Offset(out, "EndHTML"), out.size());
  const std::size_t start = Offset(out, "StartFragment");
  const std::size_t end = Offset(out, "EndFragment");
  EXPECT_TRUE(view.substr(0, start).ends_with("<!--StartFragment-->"));
  EXPECT_EQ(
      view.substr(start, end - start),
      "報告 <a href=\"https://mirror.example/d/1/a?x=1&amp;y=2\">https://mirror.example/d/1/a</a> "
      "完");
  EXPECT_TRUE(
      view.substr(end).starts_with("<!--EndFragment--><p>後 https://mirror.example/d/1/z</p>"));
  EXPECT_NE(out.find("<p>前 https://mirror.example/d/1/x 😀</p>"), std::string::npos);
  EXPECT_NE(out.find("SourceURL:http://h/u/1/page.html\r\n"), std::string::npos)
      << "the header is not the copy's content";
}

TEST(RichFormats, HtmlFindsTheEscapedFormAndLeavesOutWhatItCannotRewriteExactly) {
  const std::u16string find = u"http://h/?a=1&b=";
  const std::string data = WindowsHtml("", "<a href=\"http://h/?a=1&amp;b=2\">x</a>", "");
  const std::optional<std::string> out = RewriteWindowsHtml(data, find, u"http://m/?a=1&c=");
  ASSERT_TRUE(out.has_value());
  EXPECT_NE(out->find("<a href=\"http://m/?a=1&amp;c=2\">x</a>"), std::string::npos);

  EXPECT_FALSE(RewriteWindowsHtml("<html>http://h/u/1/</html>", kFind, kReplacement))
      << "no header";
  EXPECT_FALSE(RewriteWindowsHtml(WindowsHtml("", "no link here", ""), kFind, kReplacement))
      << "a link it could not find may be there in a form it does not know";
  EXPECT_FALSE(RewriteWindowsHtml(WindowsHtml("", "http://h/u/1/", ""),
                                  std::u16string(kFind) + char16_t{0xD800}, kReplacement))
      << "an unpaired surrogate cannot be written as UTF-8";

  // text/html of Linux programs: UTF-8, or UTF-16 behind a byte-order mark.
  EXPECT_EQ(RewriteHtml("<a href=\"http://h/u/1/f\">f</a>", kFind, u"http://d/"),
            "<a href=\"http://d/f\">f</a>");
  const std::string utf16le("\xFF\xFEh\0t\0t\0p\0:\0/\0/\0h\0/\0u\0/\0\x31\0/\0f\0", 30);
  EXPECT_EQ(RewriteHtml(utf16le, kFind, u"x:"), std::string("\xFF\xFEx\0:\0f\0", 8));
}

TEST(RichFormats, RtfEscapesTheLinkAsRtfWritesItAndLeavesControlWordsAlone) {
  const std::string rtf =
      "{\\rtf1{\\field{\\*\\fldinst{HYPERLINK \"http://h/\\{1\\}/a\"}}{\\fldrslt "
      "http://h/\\{1\\}/a}}"
      "\\par}";
  const std::optional<std::string> out = RewriteRtf(rtf, u"http://h/{1}/", u"http://m\\d/");
  ASSERT_TRUE(out.has_value());
  EXPECT_EQ(
      *out,
      "{\\rtf1{\\field{\\*\\fldinst{HYPERLINK \"http://m\\\\d/a\"}}{\\fldrslt http://m\\\\d/a}}"
      "\\par}");

  EXPECT_EQ(RewriteRtf("{\\rtf1 \\par par \\\\par}", u"par", u"X"), "{\\rtf1 \\par X \\\\X}")
      << "\\par is a control word, \\\\par an escaped backslash and text";
  EXPECT_FALSE(RewriteRtf("{\\rtf1 http://h/u/1/}", kFind, u"http://鏡像/"))
      << "text beyond ASCII is written in escapes that depend on the document";
}

TEST(RichFormats, FormatsNotRewrittenAreLeftOut) {
  const std::vector<platform::RichFormat> rich{
      {std::string(kUriListMimeType), "http://h/u/1/a\r\n"},
      {std::string(kRtfFormat), "{\\rtf1 no link}"},
      {"application/x-some-document", "http://h/u/1/a"},
  };
  EXPECT_EQ(RewriteRichFormats(rich, kFind, u"http://d/"),
            (std::vector<platform::RichFormat>{{std::string(kUriListMimeType), "http://d/a\r\n"}}));
}

}  // namespace
}  // namespace tllink
