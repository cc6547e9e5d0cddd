// The reference for the rewrite of links in HTML and text/uri-list, written apart from the
// program's: the forms a link takes, a plain substitution of them, and whether a rewritten text
// still holds the old link as a link reads it.
#pragma once

#include <algorithm>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "fuzz/fuzz_input.h"

namespace tllink::fuzz {

// UTF-8 of `text`; nothing when it holds an unpaired surrogate.
inline std::optional<std::string> StrictUtf8(std::u16string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDFFF) {
      if (c >= 0xDC00 || i + 1 == text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF) {
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

// What the program percent-encodes in a link (its README says so): controls, space, DEL, bytes
// beyond ASCII, and " < > ` { }.
inline std::u16string Percent(std::string_view utf8, bool lower) {
  std::u16string out;
  for (const char c : utf8) {
    const auto b = static_cast<unsigned char>(c);
    if (b <= 0x20 || b >= 0x7F ||
        std::u16string_view(u"\"<>`{}").find(b) != std::u16string_view::npos) {
      const char* hex = lower ? "0123456789abcdef" : "0123456789ABCDEF";
      out += {u'%', static_cast<char16_t>(hex[b / 16]), static_cast<char16_t>(hex[b % 16])};
    } else {
      out += static_cast<char16_t>(b);
    }
  }
  return out;
}

inline std::u16string Escape(std::u16string_view text, bool attribute) {
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

struct Form {
  std::u16string find;
  std::u16string replacement;
};

// Every form of the find text with the replacement in the same form; nothing when the find text
// has an encoded form the replacement cannot take.
inline std::optional<std::vector<Form>> LinkForms(std::u16string_view find,
                                                  std::u16string_view replacement, bool html) {
  std::vector<Form> links{{std::u16string(find), std::u16string(replacement)}};
  const std::optional<std::string> find8 = StrictUtf8(find);
  const std::optional<std::string> replacement8 = StrictUtf8(replacement);
  for (const bool lower : {false, true}) {
    if (!find8 || Percent(*find8, lower) == find) continue;
    if (!replacement8) return std::nullopt;
    links.push_back({Percent(*find8, lower), Percent(*replacement8, lower)});
  }
  std::vector<Form> forms;
  for (const Form& link : links) {
    std::vector<Form> each{link};
    if (html) {
      each.push_back({Escape(link.find, false), Escape(link.replacement, false)});
      each.push_back({Escape(link.find, true), Escape(link.replacement, true)});
    }
    for (Form& form : each) {
      bool known = false;
      for (const Form& kept : forms) known = known || kept.find == form.find;
      if (!known) forms.push_back(std::move(form));
    }
  }
  return forms;
}

struct Edit {
  std::size_t at;  // in the data
  std::size_t removed;
  std::size_t written;  // where its replacement begins in the result
  std::size_t added;
};

template <typename Char>
struct Substituted {
  std::basic_string<Char> text;
  std::vector<Edit> edits;
};

// `text` in the data's units: UTF-16 as it is, or UTF-8 (which the caller made sure it has).
template <typename Char>
std::basic_string<Char> Units(std::u16string_view text) {
  if constexpr (sizeof(Char) == 1) {
    return StrictUtf8(text).value_or(std::string());
  } else {
    return std::u16string(text);
  }
}

// The forms replaced the plainest way: at each place the longest form that starts there.
template <typename Char>
Substituted<Char> Substitute(std::basic_string_view<Char> text, const std::vector<Form>& forms) {
  std::vector<std::pair<std::basic_string<Char>, std::basic_string<Char>>> units;
  for (const Form& form : forms)
    units.emplace_back(Units<Char>(form.find), Units<Char>(form.replacement));
  Substituted<Char> out;
  for (std::size_t at = 0; at < text.size();) {
    const std::pair<std::basic_string<Char>, std::basic_string<Char>>* best = nullptr;
    for (const auto& form : units) {
      if (text.substr(at, form.first.size()) == form.first &&
          (!best || form.first.size() > best->first.size())) {
        best = &form;
      }
    }
    if (!best) {
      out.text += text[at++];
      continue;
    }
    out.edits.push_back({at, best->first.size(), out.text.size(), best->second.size()});
    out.text += best->second;
    at += best->first.size();
  }
  return out;
}

// The bytes a link reads in `text` (percent-escapes decoded; in HTML also &amp; &lt; &gt;
// &quot;), each with the range of `text` whose character it came from.
struct LinkByte {
  unsigned char byte;
  std::size_t begin;
  std::size_t end;
};

template <typename Char>
std::vector<LinkByte> LinkBytes(std::basic_string_view<Char> text, bool html) {
  const auto hex = [](char32_t c) -> int {
    if (c >= '0' && c <= '9') return static_cast<int>(c - '0');
    if ((c | 0x20) >= 'a' && (c | 0x20) <= 'f') return static_cast<int>((c | 0x20) - 'a' + 10);
    return -1;
  };
  std::vector<LinkByte> out;
  for (std::size_t at = 0; at < text.size();) {
    const char32_t c = static_cast<std::make_unsigned_t<Char>>(text[at]);
    if (c == '%' && at + 2 < text.size() && hex(text[at + 1]) >= 0 && hex(text[at + 2]) >= 0) {
      out.push_back(
          {static_cast<unsigned char>(hex(text[at + 1]) * 16 + hex(text[at + 2])), at, at + 3});
      at += 3;
      continue;
    }
    bool entity = false;
    for (const auto& [name, value] : {std::pair{u"&amp;", '&'}, std::pair{u"&lt;", '<'},
                                      std::pair{u"&gt;", '>'}, std::pair{u"&quot;", '"'}}) {
      const std::u16string_view n(name);
      if (html && !entity && text.substr(at, n.size()) == Units<Char>(n)) {
        out.push_back({static_cast<unsigned char>(value), at, at + n.size()});
        at += n.size();
        entity = true;
      }
    }
    if (entity) continue;
    if constexpr (sizeof(Char) == 1) {
      out.push_back({static_cast<unsigned char>(c), at, at + 1});
      ++at;
    } else {
      const std::size_t units = c >= 0xD800 && c <= 0xDBFF && at + 1 < text.size() &&
                                        text[at + 1] >= 0xDC00 && text[at + 1] <= 0xDFFF
                                    ? 2
                                    : 1;
      const std::u16string unit(text.substr(at, units).begin(), text.substr(at, units).end());
      for (const char b : StrictUtf8(unit).value_or("\xFF")) {
        out.push_back({static_cast<unsigned char>(b), at, at + units});
      }
      at += units;
    }
  }
  return out;
}

// Whether `result` (the data with `edits` made) reads the link `find` (UTF-8) anywhere that no
// edit touches: the old link, kept.
template <typename Char>
bool HoldsOldLink(std::basic_string_view<Char> result, const std::vector<Edit>& edits,
                  std::string_view find, bool html) {
  const std::vector<LinkByte> bytes = LinkBytes(result, html);
  for (std::size_t i = 0; i + find.size() <= bytes.size(); ++i) {
    if (i > 0 && bytes[i - 1].begin == bytes[i].begin) continue;  // inside a character
    bool same = true;
    for (std::size_t k = 0; same && k < find.size(); ++k) {
      same = bytes[i + k].byte == static_cast<unsigned char>(find[k]);
    }
    const std::size_t last = i + find.size() - 1;
    if (!same || (last + 1 < bytes.size() && bytes[last + 1].begin == bytes[last].begin)) continue;
    const std::size_t begin = bytes[i].begin;
    const std::size_t end = bytes[last].end;
    bool touched = false;
    for (const Edit& edit : edits) {
      const std::size_t from = edit.written;
      const std::size_t to = edit.written + edit.added;
      touched = touched || (from < end && to > begin) || (from == to && begin < from && from < end);
    }
    if (!touched) return true;
  }
  return false;
}

// A rewrite of the links in `data` held to the reference: the empty find text converts nothing; a
// result is the reference's exactly (the bytes between occurrences unchanged, each replacement in
// the form of what it replaced), holds the old link nowhere and grows by no more than the
// replacements. With `check_kept`, a rewrite that could be exact (a form found, and no '%' or '&'
// that could hide another) must not be left out. Returns the reference.
template <typename Char>
Substituted<Char> CheckLinkRewrite(std::basic_string_view<Char> data,
                                   const std::optional<std::basic_string<Char>>& result,
                                   std::u16string_view find, std::u16string_view replacement,
                                   bool html, bool check_kept) {
  if (find.empty()) {
    FUZZ_CHECK(result && *result == data);
    return {std::basic_string<Char>(data), {}};
  }
  std::optional<std::vector<Form>> forms = LinkForms(find, replacement, html);
  const std::optional<std::string> find8 = StrictUtf8(find);
  if (sizeof(Char) == 1 && (!find8 || !StrictUtf8(replacement))) forms.reset();
  if (!forms) {
    FUZZ_CHECK(!result);
    return {};
  }
  Substituted<Char> reference = Substitute<Char>(data, *forms);
  if (result) {
    FUZZ_CHECK(!reference.edits.empty());
    FUZZ_CHECK(*result == reference.text);
    std::size_t longest = 0;
    for (const Form& form : *forms)
      longest = std::max(longest, Units<Char>(form.replacement).size());
    FUZZ_CHECK(result->size() <= data.size() + reference.edits.size() * longest);
    if (find8) FUZZ_CHECK(!HoldsOldLink<Char>(*result, reference.edits, *find8, html));
  } else if (check_kept && !reference.edits.empty()) {
    const bool hiding =
        data.find(Char{'%'}) != data.npos || (html && data.find(Char{'&'}) != data.npos);
    FUZZ_CHECK(hiding);
  }
  return reference;
}

}  // namespace tllink::fuzz
