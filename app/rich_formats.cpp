#include "app/rich_formats.h"

#include <algorithm>
#include <charconv>
#include <cstddef>
#include <type_traits>
#include <utility>

namespace tllink {

namespace {

constexpr std::size_t kNone = std::string_view::npos;

// The UTF-8 of `text`; nothing when it holds an unpaired surrogate, which UTF-8 cannot carry.
std::optional<std::string> Utf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDFFF) {
      if (c > 0xDBFF || i + 1 == text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF) {
        return std::nullopt;
      }
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

// `text` as HTML writes it in text (`attribute` false) or in a quoted attribute value.
std::u16string HtmlEscaped(std::u16string_view text, bool attribute) {
  std::u16string out;
  for (const char16_t c : text) {
    if (c == u'&') {
      out += u"&amp;";
    } else if (c == u'<' && !attribute) {
      out += u"&lt;";
    } else if (c == u'>' && !attribute) {
      out += u"&gt;";
    } else if (c == u'"' && attribute) {
      out += u"&quot;";
    } else {
      out += c;
    }
  }
  return out;
}

template <typename Char>
struct Substitution {
  std::basic_string<Char> find;
  std::basic_string<Char> replacement;
};

struct Edit {
  std::size_t at;
  std::size_t removed;
  std::size_t added;
};

// `text` with every occurrence of a substitution's find text replaced by its replacement, left
// to right without overlaps, appended to `out`; where two start at the same place the longer
// wins. The edits, in order, go to `edits`. No find text may be empty.
template <typename Char>
void SubstituteAll(std::basic_string_view<Char> text,
                   const std::vector<Substitution<Char>>& substitutions, std::vector<Edit>& edits,
                   std::basic_string<Char>& out) {
  out.reserve(out.size() + text.size());
  std::vector<std::size_t> next;  // each one's next occurrence at or after `done`, if any
  for (const auto& substitution : substitutions) next.push_back(text.find(substitution.find));
  std::size_t done = 0;  // everything before it is in `out`
  for (;;) {
    std::size_t best = kNone;
    std::size_t which = 0;
    for (std::size_t i = 0; i < substitutions.size(); ++i) {
      if (next[i] != kNone && next[i] < done) next[i] = text.find(substitutions[i].find, done);
      if (next[i] == kNone) continue;
      if (next[i] < best ||
          (next[i] == best && substitutions[i].find.size() > substitutions[which].find.size())) {
        best = next[i];
        which = i;
      }
    }
    if (best == kNone) break;
    const Substitution<Char>& used = substitutions[which];
    out.append(text.substr(done, best - done));
    out.append(used.replacement);
    edits.push_back(Edit{best, used.find.size(), used.replacement.size()});
    done = best + used.find.size();
  }
  out.append(text.substr(done));
}

// ---- Percent-encoded links ----

// Bytes that links carry percent-encoded: controls, space, characters that end or quote a link in
// text, and every byte of a character beyond ASCII.
bool PercentEncodes(unsigned char byte) {
  return byte <= 0x20 || byte >= 0x7F || byte == '"' || byte == '<' || byte == '>' || byte == '`' ||
         byte == '{' || byte == '}';
}

std::u16string PercentEncoded(std::string_view utf8, bool lower_case) {
  const char* const digits = lower_case ? "0123456789abcdef" : "0123456789ABCDEF";
  std::u16string out;
  for (const char c : utf8) {
    const auto byte = static_cast<unsigned char>(c);
    if (PercentEncodes(byte)) {
      out += u'%';
      out += static_cast<char16_t>(digits[byte >> 4]);
      out += static_cast<char16_t>(digits[byte & 0xF]);
    } else {
      out += static_cast<char16_t>(byte);
    }
  }
  return out;
}

// The forms in which a link holds the find text, each with the replacement in the same form: as
// it is, and percent-encoded with upper- or lower-case digits; in HTML each of them also escaped
// as text and as an attribute value writes it. Nothing when the find text has an encoded form
// that the replacement cannot take (an unpaired surrogate has no UTF-8).
std::optional<std::vector<Substitution<char16_t>>> LinkSubstitutions(
    std::u16string_view find_text, std::u16string_view replacement, bool html) {
  std::vector<Substitution<char16_t>> links{
      {std::u16string(find_text), std::u16string(replacement)}};
  if (const std::optional<std::string> find = Utf8(find_text)) {
    const std::optional<std::string> with = Utf8(replacement);
    for (const bool lower_case : {false, true}) {
      std::u16string encoded = PercentEncoded(*find, lower_case);
      if (encoded == find_text) continue;
      if (!with) return std::nullopt;
      links.push_back({std::move(encoded), PercentEncoded(*with, lower_case)});
    }
  }
  std::vector<Substitution<char16_t>> forms;
  const auto add = [&forms](Substitution<char16_t> form) {
    const bool known = std::any_of(forms.begin(), forms.end(),
                                   [&](const auto& each) { return each.find == form.find; });
    if (!known) forms.push_back(std::move(form));
  };
  for (const auto& link : links) {
    add(link);
    if (!html) continue;
    for (const bool attribute : {false, true}) {
      add({HtmlEscaped(link.find, attribute), HtmlEscaped(link.replacement, attribute)});
    }
  }
  return forms;
}

std::optional<std::vector<Substitution<char>>> Utf8Substitutions(
    const std::vector<Substitution<char16_t>>& forms) {
  std::vector<Substitution<char>> out;
  for (const auto& form : forms) {
    std::optional<std::string> find = Utf8(form.find);
    std::optional<std::string> replacement = Utf8(form.replacement);
    if (!find || !replacement) return std::nullopt;
    out.push_back({std::move(*find), std::move(*replacement)});
  }
  return out;
}

int HexValue(char32_t c) {
  if (c >= '0' && c <= '9') return static_cast<int>(c - '0');
  if (c >= 'a' && c <= 'f') return static_cast<int>(c - 'a' + 10);
  if (c >= 'A' && c <= 'F') return static_cast<int>(c - 'A' + 10);
  return -1;
}

// The character of `text` at `at` as a link reads it, as UTF-8 into `bytes`: "%XX" is one byte,
// and in HTML "&amp;", "&lt;", "&gt;" and "&quot;" are what they escape. Returns where the next
// one starts.
template <typename Char>
std::size_t ReadLinkBytes(std::basic_string_view<Char> text, std::size_t at, bool html,
                          std::string& bytes) {
  bytes.clear();
  const char32_t c = text[at];
  if (c == '%' && text.size() - at > 2 && HexValue(text[at + 1]) >= 0 &&
      HexValue(text[at + 2]) >= 0) {
    bytes += static_cast<char>(HexValue(text[at + 1]) * 16 + HexValue(text[at + 2]));
    return at + 3;
  }
  if (c == '&' && html) {
    static constexpr std::pair<std::string_view, char> kEntities[] = {
        {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}};
    for (const auto& [entity, character] : kEntities) {
      if (text.size() - at >= entity.size() &&
          std::equal(entity.begin(), entity.end(), text.begin() + static_cast<std::ptrdiff_t>(at),
                     [](char a, Char b) { return static_cast<Char>(a) == b; })) {
        bytes += character;
        return at + entity.size();
      }
    }
  }
  if constexpr (sizeof(Char) == 1) {
    bytes += static_cast<char>(c);
    return at + 1;
  } else {
    const bool pair = c >= 0xD800 && c <= 0xDBFF && text.size() - at > 1 &&
                      text[at + 1] >= 0xDC00 && text[at + 1] <= 0xDFFF;
    // An unpaired surrogate reads as a byte that UTF-8 never holds, so that it matches nothing.
    bytes = Utf8(text.substr(at, pair ? 2 : 1)).value_or("\xFF");
    return at + (pair ? 2 : 1);
  }
}

// Whether the link `find` (UTF-8) starts at `at` in `text` as a link reads it.
template <typename Char>
bool LinkAt(std::basic_string_view<Char> text, std::size_t at, std::string_view find, bool html,
            std::string& bytes) {
  std::size_t matched = 0;
  while (matched < find.size() && at < text.size()) {
    at = ReadLinkBytes(text, at, html, bytes);
    if (find.substr(matched, bytes.size()) != bytes) return false;
    matched += bytes.size();
  }
  return matched == find.size();
}

// Whether `text` holds `find` (UTF-8) as a link reads it anywhere outside the `edits`: in a form
// the substitutions did not know (partly encoded, or encoded where encoders differ), which a
// paste target would still follow.
template <typename Char>
bool HoldsLinkOutsideEdits(std::basic_string_view<Char> text, std::string_view find, bool html,
                           const std::vector<Edit>& edits) {
  // As it is, the link was replaced wherever it was: one left must hold an escape ("%XX" or an
  // entity) and start at most this far before it, the longest an escaped byte is ("&quot;").
  const std::size_t reach = find.size() * 6;
  // Two plain searches (memchr for UTF-8), much faster than one for either character.
  std::size_t percent = text.find(Char{'%'});
  std::size_t ampersand = html ? text.find(Char{'&'}) : kNone;
  const auto next_escape = [&](std::size_t from) {
    if (percent != kNone && percent < from) percent = text.find(Char{'%'}, from);
    if (ampersand != kNone && ampersand < from) ampersand = text.find(Char{'&'}, from);
    return std::min(percent, ampersand);
  };
  std::string bytes;
  auto edit = edits.begin();
  std::size_t checked = 0;  // every start before it has been looked at, or no longer matters
  for (std::size_t escape = next_escape(0); escape != kNone; escape = next_escape(escape + 1)) {
    // One that reaches into a replaced link is no longer there whole.
    for (; edit != edits.end() && edit->at + edit->removed <= escape; ++edit) {
      checked = std::max(checked, edit->at + edit->removed);
    }
    for (std::size_t at = std::max(checked, escape > reach ? escape - reach : 0); at <= escape;
         ++at) {
      while (edit != edits.end() && edit->at + edit->removed <= at) ++edit;
      if (edit != edits.end() && edit->at <= at) {
        at = edit->at + edit->removed - 1;  // replaced
        continue;
      }
      // Most places cannot start it: a look at the first unit spares reading them.
      // (A unit of UTF-16 beyond ASCII is read to tell its first byte.)
      const char32_t first = static_cast<std::make_unsigned_t<Char>>(text[at]);
      if ((sizeof(Char) == 1 || first < 0x80) && first != '%' && first != '&' &&
          first != static_cast<unsigned char>(find.front())) {
        continue;
      }
      if (LinkAt(text, at, find, html, bytes)) return true;
    }
    checked = std::max(checked, escape + 1);
  }
  return false;
}

// Every form of the find text in `text` replaced, appended to `out`; false when there was none,
// or when the link is also there in a form the substitutions did not know.
template <typename Char>
bool RewriteLinks(std::basic_string_view<Char> text, const std::vector<Substitution<Char>>& forms,
                  std::u16string_view find_text, bool html, std::vector<Edit>& edits,
                  std::basic_string<Char>& out) {
  SubstituteAll<Char>(text, forms, edits, out);
  if (edits.empty()) return false;
  if (const std::optional<std::string> find = Utf8(find_text)) {
    if (HoldsLinkOutsideEdits(text, *find, html, edits)) return false;
  }
  return true;
}

// ---- Windows' HTML Format ----

// A byte offset in the header: where its digits are and what they say.
struct HeaderOffset {
  std::size_t digits_at = 0;
  std::size_t digits = 0;
  long long value = -1;  // -1: not given, which the format allows for the HTML's bounds
};

bool IsOffsetName(std::string_view name) {
  return name == "StartHTML" || name == "EndHTML" || name == "StartFragment" ||
         name == "EndFragment" || name == "StartSelection" || name == "EndSelection";
}

// The header's offsets, and where the header ends; nothing when the data has no usable header.
std::optional<std::vector<HeaderOffset>> ParseHeader(std::string_view data, std::size_t& end) {
  std::vector<HeaderOffset> offsets;
  long long start_html = -1;
  long long start_fragment = -1;
  std::size_t at = 0;
  // The header is "Name:value" lines; the HTML begins where StartHTML (or, without it,
  // StartFragment) says.
  while (at < data.size()) {
    const long long html = start_html >= 0 ? start_html : start_fragment;
    if (html >= 0 && at >= static_cast<std::size_t>(html)) break;
    const std::size_t line_end = data.find_first_of("\r\n", at);
    const std::size_t colon = data.find(':', at);
    if (line_end == kNone || colon == kNone || colon > line_end) break;
    const std::string_view name = data.substr(at, colon - at);
    if (IsOffsetName(name)) {
      HeaderOffset offset;
      offset.digits_at = colon + 1;
      offset.digits = line_end - offset.digits_at;
      const std::string_view digits = data.substr(offset.digits_at, offset.digits);
      const auto parsed =
          std::from_chars(digits.data(), digits.data() + digits.size(), offset.value);
      if (parsed.ec != std::errc() || parsed.ptr != digits.data() + digits.size()) {
        return std::nullopt;
      }
      if (offset.value < -1 || offset.value > static_cast<long long>(data.size())) {
        return std::nullopt;
      }
      if (name == "StartHTML") start_html = offset.value;
      if (name == "StartFragment") start_fragment = offset.value;
      offsets.push_back(offset);
    }
    at = line_end + 1;
    if (at < data.size() && data[line_end] == '\r' && data[at] == '\n') ++at;
  }
  const long long begin = start_html >= 0 ? start_html : start_fragment;
  if (begin < 0 || static_cast<std::size_t>(begin) < at) return std::nullopt;
  end = static_cast<std::size_t>(begin);
  // An offset the lines above did not read (after a line that is not "Name:value", or behind
  // other characters on its line) would not be moved.
  const std::string_view header = data.substr(0, end);
  for (const std::string_view name : {"StartHTML:", "EndHTML:", "StartFragment:", "EndFragment:",
                                      "StartSelection:", "EndSelection:"}) {
    for (std::size_t at_name = header.find(name); at_name != kNone;
         at_name = header.find(name, at_name + 1)) {
      const bool read = std::any_of(offsets.begin(), offsets.end(), [&](const HeaderOffset& each) {
        return each.digits_at == at_name + name.size();
      });
      if (!read) return std::nullopt;
    }
  }
  for (const HeaderOffset& offset : offsets) {
    if (offset.value >= 0 && static_cast<std::size_t>(offset.value) < end) return std::nullopt;
  }
  return offsets;
}

// ---- UTF-16 HTML ----

std::u16string Utf16Units(std::string_view bytes, bool big_endian) {
  std::u16string units(bytes.size() / 2, u'\0');
  for (std::size_t i = 0; i < units.size(); ++i) {
    const auto a = static_cast<unsigned char>(bytes[2 * i]);
    const auto b = static_cast<unsigned char>(bytes[2 * i + 1]);
    units[i] = static_cast<char16_t>(big_endian ? (a << 8) | b : (b << 8) | a);
  }
  return units;
}

std::string Utf16Bytes(std::u16string_view units, bool big_endian) {
  std::string bytes;
  bytes.reserve(units.size() * 2);
  for (const char16_t unit : units) {
    const auto high = static_cast<char>(unit >> 8);
    const auto low = static_cast<char>(unit & 0xFF);
    bytes += big_endian ? high : low;
    bytes += big_endian ? low : high;
  }
  return bytes;
}

}  // namespace

std::optional<std::string> RewriteWindowsHtml(std::string_view data, std::u16string_view find_text,
                                              std::u16string_view replacement) {
  if (find_text.empty()) return std::string(data);
  std::size_t body = 0;
  std::optional<std::vector<HeaderOffset>> offsets = ParseHeader(data, body);
  if (!offsets) return std::nullopt;
  const auto forms = LinkSubstitutions(find_text, replacement, true);
  std::optional<std::vector<Substitution<char>>> utf8_forms;
  if (forms) utf8_forms = Utf8Substitutions(*forms);
  if (!utf8_forms) return std::nullopt;
  std::vector<Edit> edits;
  std::string rewritten(data.substr(0, body));
  if (!RewriteLinks<char>(data.substr(body), *utf8_forms, find_text, true, edits, rewritten)) {
    return std::nullopt;
  }
  for (HeaderOffset& offset : *offsets) {
    if (offset.value < 0) continue;
    const auto old_at = static_cast<std::size_t>(offset.value);
    long long moved = offset.value;
    for (const Edit& edit : edits) {
      const std::size_t at = body + edit.at;
      if (at + edit.removed <= old_at) {
        moved += static_cast<long long>(edit.added) - static_cast<long long>(edit.removed);
      } else if (at < old_at) {
        return std::nullopt;  // a link across a bound of the fragment: no exact place for it
      }
    }
    // Written in the digits the header has, so that the header keeps its length.
    std::string digits = std::to_string(moved);
    if (digits.size() > offset.digits) return std::nullopt;
    digits.insert(0, offset.digits - digits.size(), '0');
    rewritten.replace(offset.digits_at, offset.digits, digits);
  }
  return rewritten;
}

std::optional<std::string> RewriteHtml(std::string_view data, std::u16string_view find_text,
                                       std::u16string_view replacement) {
  if (find_text.empty()) return std::string(data);
  const auto forms = LinkSubstitutions(find_text, replacement, true);
  if (!forms) return std::nullopt;
  std::vector<Edit> edits;
  const bool little = data.starts_with("\xFF\xFE");
  if (little || data.starts_with("\xFE\xFF")) {
    if (data.size() % 2 != 0) return std::nullopt;
    const std::u16string units = Utf16Units(data.substr(2), !little);  // the mark stays
    std::u16string rewritten;
    if (!RewriteLinks<char16_t>(units, *forms, find_text, true, edits, rewritten)) {
      return std::nullopt;
    }
    std::string bytes(data.substr(0, 2));
    bytes += Utf16Bytes(rewritten, !little);
    return bytes;
  }
  const std::optional<std::vector<Substitution<char>>> utf8_forms = Utf8Substitutions(*forms);
  std::string rewritten;
  if (!utf8_forms || !RewriteLinks<char>(data, *utf8_forms, find_text, true, edits, rewritten)) {
    return std::nullopt;
  }
  return rewritten;
}

std::optional<std::string> RewriteUriList(std::string_view data, std::u16string_view find_text,
                                          std::u16string_view replacement) {
  if (find_text.empty()) return std::string(data);
  const auto forms = LinkSubstitutions(find_text, replacement, false);
  std::optional<std::vector<Substitution<char>>> utf8_forms;
  if (forms) utf8_forms = Utf8Substitutions(*forms);
  if (!utf8_forms) return std::nullopt;
  std::vector<Edit> edits;
  std::string rewritten;
  if (!RewriteLinks<char>(data, *utf8_forms, find_text, false, edits, rewritten)) {
    return std::nullopt;
  }
  return rewritten;
}

std::vector<platform::RichFormat> RewriteRichFormats(const std::vector<platform::RichFormat>& rich,
                                                     std::u16string_view find_text,
                                                     std::u16string_view replacement) {
  using Rewrite =
      std::optional<std::string> (*)(std::string_view, std::u16string_view, std::u16string_view);
  const auto rewrite_of = [](std::string_view name) -> Rewrite {
    if (name == kWindowsHtmlFormat) return &RewriteWindowsHtml;
    if (name == kRtfFormat) return &RewriteRtf;
    if (name == kHtmlMimeType) return &RewriteHtml;
    if (name == kUriListMimeType) return &RewriteUriList;
    return nullptr;
  };
  if (find_text.empty()) return rich;  // nothing to convert: the copy as it was
  std::vector<platform::RichFormat> rewritten;
  for (const platform::RichFormat& format : rich) {
    const Rewrite rewrite = rewrite_of(format.name);
    if (rewrite == nullptr) continue;
    if (std::optional<std::string> bytes = rewrite(format.bytes, find_text, replacement)) {
      rewritten.push_back(platform::RichFormat{format.name, std::move(*bytes)});
    }
  }
  return rewritten;
}

}  // namespace tllink
