#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/clipboard.h"

namespace tllink {

// The rich formats a conversion rewrites, by the names the platforms give them.
inline constexpr std::string_view kWindowsHtmlFormat = "HTML Format";
inline constexpr std::string_view kRtfFormat = "Rich Text Format";
inline constexpr std::string_view kHtmlMimeType = "text/html";
inline constexpr std::string_view kUriListMimeType = "text/uri-list";

// A copy's rich formats, rewritten as its text is: every occurrence of the find text replaced,
// in the form each format writes it (an href escapes "&" as "&amp;" and percent-encodes spaces
// and text beyond ASCII, RTF escapes "\", "{" and "}"). A format that cannot be rewritten
// exactly, or in which the find text was not found in a form it knows (it may carry the link in
// another), is left out: a rich paste never gets the old link. An empty find text converts
// nothing: every rewrite then returns the formats as they are.
std::vector<platform::RichFormat> RewriteRichFormats(const std::vector<platform::RichFormat>& rich,
                                                     std::u16string_view find_text,
                                                     std::u16string_view replacement);

// The single formats; nothing when the format is left out, the data as it is for an empty find
// text.
// Windows' "HTML Format": UTF-8 HTML behind a header of byte offsets, which are moved to point
// at the same places.
std::optional<std::string> RewriteWindowsHtml(std::string_view data, std::u16string_view find_text,
                                              std::u16string_view replacement);
// RTF, read token by token: the find text is matched in the document's text however RTF writes
// it (as it is, "\'hh", "\uN"), never in control words, their parameters or binary data. Text
// beyond ASCII is written with escapes whose form depends on the document, so a rule with such
// text leaves RTF out, and so does an occurrence that RTF splits (by formatting, a group).
std::optional<std::string> RewriteRtf(std::string_view data, std::u16string_view find_text,
                                      std::u16string_view replacement);
// text/html: UTF-8, or UTF-16 behind a byte-order mark.
std::optional<std::string> RewriteHtml(std::string_view data, std::u16string_view find_text,
                                       std::u16string_view replacement);
// text/uri-list: UTF-8 lines of links, percent-encoded or not.
std::optional<std::string> RewriteUriList(std::string_view data, std::u16string_view find_text,
                                          std::u16string_view replacement);

}  // namespace tllink
