#include "app/rich_formats.h"

#include <algorithm>
#include <charconv>
#include <cstddef>
#include <functional>

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
// to right without overlaps; where two start at the same place the longer wins. `accept` may
// refuse an occurrence at a place. The edits, in order, go to `edits`.
template <typename Char>
std::basic_string<Char> SubstituteAll(std::basic_string_view<Char> text,
                                      const std::vector<Substitution<Char>>& substitutions,
                                      const std::function<bool(std::size_t)>& accept,
                                      std::vector<Edit>& edits) {
  std::basic_string<Char> out;
  out.reserve(text.size());
  std::vector<std::size_t> next;  // each one's next occurrence at or after `search`, if any
  for (const auto& substitution : substitutions) next.push_back(text.find(substitution.find));
  std::size_t done = 0;    // everything before it is in `out`
  std::size_t search = 0;  // where the next occurrence may start
  for (;;) {
    std::size_t best = kNone;
    std::size_t which = 0;
    for (std::size_t i = 0; i < substitutions.size(); ++i) {
      if (next[i] != kNone && next[i] < search) next[i] = text.find(substitutions[i].find, search);
      if (next[i] == kNone) continue;
      if (next[i] < best ||
          (next[i] == best && substitutions[i].find.size() > substitutions[which].find.size())) {
        best = next[i];
        which = i;
      }
    }
    if (best == kNone) break;
    if (accept && !accept(best)) {
      next[which] = text.find(substitutions[which].find, best + 1);
      continue;
    }
    const Substitution<Char>& used = substitutions[which];
    out.append(text.substr(done, best - done));
    out.append(used.replacement);
    edits.push_back(Edit{best, used.find.size(), used.replacement.size()});
    done = search = best + used.find.size();
  }
  out.append(text.substr(done));
  return out;
}

// The forms in which HTML writes the find text, each with the replacement in the same form.
std::vector<Substitution<char16_t>> HtmlSubstitutions(std::u16string_view find_text,
                                                      std::u16string_view replacement) {
  std::vector<Substitution<char16_t>> forms{
      {std::u16string(find_text), std::u16string(replacement)}};
  for (const bool attribute : {false, true}) {
    Substitution<char16_t> escaped{HtmlEscaped(find_text, attribute),
                                   HtmlEscaped(replacement, attribute)};
    const bool known = std::any_of(forms.begin(), forms.end(),
                                   [&](const auto& form) { return form.find == escaped.find; });
    if (!known) forms.push_back(std::move(escaped));
  }
  return forms;
}

std::optional<std::vector<Substitution<char>>> Utf8Substitutions(
    const std::vector<Substitution<char16_t>>& forms) {
  std::vector<Substitution<char>> out;
  for (const auto& form : forms) {
    std::optional<std::string> find = Utf8(form.find);
    std::optional<std::string> replacement = Utf8(form.replacement);
    if (!find || !replacement || find->empty()) return std::nullopt;
    out.push_back({std::move(*find), std::move(*replacement)});
  }
  return out;
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
  for (const HeaderOffset& offset : offsets) {
    if (offset.value >= 0 && static_cast<std::size_t>(offset.value) < end) return std::nullopt;
  }
  return offsets;
}

// ---- RTF ----

// `text` as RTF writes it, or nothing for text beyond printable ASCII.
std::optional<std::string> RtfEscaped(std::u16string_view text) {
  std::string out;
  for (const char16_t c : text) {
    if (c < 0x20 || c > 0x7E) return std::nullopt;
    if (c == u'\\' || c == u'{' || c == u'}') out += '\\';
    out += static_cast<char>(c);
  }
  return out;
}

bool IsAsciiLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Whether text at `at` is part of a control word ("\par", "\fldinst") rather than document text.
bool InControlWord(std::string_view rtf, std::size_t at) {
  std::size_t letters = at;
  while (letters > 0 && IsAsciiLetter(rtf[letters - 1])) --letters;
  if (letters == 0 || rtf[letters - 1] != '\\') return false;
  // "\\" is an escaped backslash, after which letters are text.
  std::size_t backslashes = 0;
  for (std::size_t i = letters; i > 0 && rtf[i - 1] == '\\'; --i) ++backslashes;
  return backslashes % 2 == 1;
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
  std::size_t body = 0;
  std::optional<std::vector<HeaderOffset>> offsets = ParseHeader(data, body);
  std::optional<std::vector<Substitution<char>>> forms =
      Utf8Substitutions(HtmlSubstitutions(find_text, replacement));
  if (!offsets || !forms) return std::nullopt;
  std::vector<Edit> edits;
  std::string rewritten = std::string(data.substr(0, body)) +
                          SubstituteAll<char>(data.substr(body), *forms, nullptr, edits);
  if (edits.empty()) return std::nullopt;
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

std::optional<std::string> RewriteRtf(std::string_view data, std::u16string_view find_text,
                                      std::u16string_view replacement) {
  std::optional<std::string> find = RtfEscaped(find_text);
  std::optional<std::string> with = RtfEscaped(replacement);
  if (!find || !with || find->empty()) return std::nullopt;
  std::vector<Edit> edits;
  std::string rewritten = SubstituteAll<char>(
      data, {{std::move(*find), std::move(*with)}},
      [data](std::size_t at) { return !InControlWord(data, at); }, edits);
  if (edits.empty()) return std::nullopt;
  return rewritten;
}

std::optional<std::string> RewriteHtml(std::string_view data, std::u16string_view find_text,
                                       std::u16string_view replacement) {
  const std::vector<Substitution<char16_t>> forms = HtmlSubstitutions(find_text, replacement);
  std::vector<Edit> edits;
  const bool little = data.starts_with("\xFF\xFE");
  if (little || data.starts_with("\xFE\xFF")) {
    if (data.size() % 2 != 0) return std::nullopt;
    const std::u16string units = Utf16Units(data, !little);
    std::u16string rewritten = SubstituteAll<char16_t>(units, forms, nullptr, edits);
    if (edits.empty()) return std::nullopt;
    return Utf16Bytes(rewritten, !little);
  }
  std::optional<std::vector<Substitution<char>>> utf8_forms = Utf8Substitutions(forms);
  if (!utf8_forms) return std::nullopt;
  std::string rewritten = SubstituteAll<char>(data, *utf8_forms, nullptr, edits);
  if (edits.empty()) return std::nullopt;
  return rewritten;
}

std::optional<std::string> RewriteUriList(std::string_view data, std::u16string_view find_text,
                                          std::u16string_view replacement) {
  std::optional<std::vector<Substitution<char>>> forms =
      Utf8Substitutions({{std::u16string(find_text), std::u16string(replacement)}});
  if (!forms) return std::nullopt;
  std::vector<Edit> edits;
  std::string rewritten = SubstituteAll<char>(data, *forms, nullptr, edits);
  if (edits.empty()) return std::nullopt;
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
