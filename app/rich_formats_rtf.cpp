// RTF rewritten from its tokens: the find text is looked for in the document's text, never in
// the control words, parameters and data around it.
#include <algorithm>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/rich_formats.h"

namespace tllink {

namespace {

constexpr std::size_t kNone = std::string_view::npos;

bool IsLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

int HexValue(char c) {
  if (IsDigit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

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

// Groups whose content is data (pictures, embedded objects, themes), written as hex digits that
// a find text could match by chance.
bool IsDataDestination(std::string_view word) {
  return word == "pict" || word == "objdata" || word == "themedata" ||
         word == "colorschememapping" || word == "datastore" || word == "blipuid" ||
         word == "passwordhash";
}

// One pass over the RTF: the document's text is fed character by character to a search for the
// find text (Knuth-Morris-Pratt, so that nothing but the last characters is kept), and every
// occurrence is replaced in the bytes that write it.
class RtfRewrite {
 public:
  RtfRewrite(std::string_view rtf, std::string find, std::string replacement)
      : rtf_(rtf), find_(std::move(find)), with_(std::move(replacement)), recent_(find_.size()) {
    fallback_.resize(find_.size(), 0);
    for (std::size_t i = 1, k = 0; i < find_.size(); ++i) {
      while (k > 0 && find_[i] != find_[k]) k = fallback_[k - 1];
      if (find_[i] == find_[k]) ++k;
      fallback_[i] = k;
    }
  }

  std::optional<std::string> Run() {
    out_.reserve(rtf_.size());
    std::size_t at = 0;
    while (at < rtf_.size() && !failed_) at = Token(at);
    EndFallback(rtf_.size());
    if (failed_ || occurrences_ == 0) return std::nullopt;
    out_.append(rtf_.substr(copied_));
    return std::move(out_);
  }

 private:
  // A character of the document's text as the search keeps it.
  struct TextChar {
    std::size_t begin = 0;         // its first byte in the RTF
    bool split_before = false;     // formatting, a group or data between it and the one before
    bool after_high_byte = false;  // may be the second byte of a two-byte character
    bool after_open_word = false;  // right after a control word that ended without its space
  };
  struct Group {
    std::size_t fallback_chars = 1;  // \ucN: characters after \uN for readers without Unicode
    bool data = false;
  };
  struct Unicode {  // a \uN whose fallback characters are being skipped
    unsigned value = 0;
    std::size_t begin = 0;
    bool after_open_word = false;
  };

  // Reads the token at `at` and returns where the next one starts.
  std::size_t Token(std::size_t at) {
    const char c = rtf_[at];
    if (c == '{' || c == '}') {
      EndFallback(at);
      if (c == '{') {
        groups_.push_back(groups_.back());
      } else if (groups_.size() > 1) {
        groups_.pop_back();
      }
      split_ = true;
      return at + 1;
    }
    if (c == '\r' || c == '\n') return at + 1;  // RTF ignores line ends
    if (c != '\\') {
      Text(static_cast<unsigned char>(c), at, at + 1);
      return at + 1;
    }
    if (at + 1 == rtf_.size()) return Fail();
    const char d = rtf_[at + 1];
    if (IsLetter(d)) return ControlWord(at);
    if (d == '\'') {
      if (rtf_.size() - at < 4 || HexValue(rtf_[at + 2]) < 0 || HexValue(rtf_[at + 3]) < 0) {
        return Fail();
      }
      Text(static_cast<unsigned>(HexValue(rtf_[at + 2]) * 16 + HexValue(rtf_[at + 3])), at, at + 4);
      return at + 4;
    }
    if (d == '\\' || d == '{' || d == '}') {
      Text(static_cast<unsigned char>(d), at, at + 2);
      return at + 2;
    }
    NotText(at + 2);  // another control symbol: "\~", "\-", "\*", ...
    return at + 2;
  }

  std::size_t ControlWord(std::size_t at) {
    std::size_t end = at + 1;
    while (end < rtf_.size() && IsLetter(rtf_[end])) ++end;
    const std::string_view word = rtf_.substr(at + 1, end - at - 1);
    const bool negative = end + 1 < rtf_.size() && rtf_[end] == '-' && IsDigit(rtf_[end + 1]);
    if (negative) ++end;
    const bool has_parameter = end < rtf_.size() && IsDigit(rtf_[end]);
    long long parameter = 0;
    for (; end < rtf_.size() && IsDigit(rtf_[end]); ++end) {
      parameter = std::min(parameter * 10 + (rtf_[end] - '0'), 1'000'000'000'000LL);
    }
    if (negative) parameter = -parameter;
    bool open = true;  // a space after it is part of it; anything else is not
    if (end < rtf_.size() && rtf_[end] == ' ') {
      ++end;
      open = false;
    }
    if (word == "bin") {  // that many bytes of data follow
      if (parameter < 0 || static_cast<unsigned long long>(parameter) > rtf_.size() - end) {
        return Fail();
      }
      end += static_cast<std::size_t>(parameter);
      open = open && parameter == 0;  // "\bin" with no data still ends where it ends
    }
    const bool after_open_word = at == open_word_end_;
    open_word_end_ = open ? end : kNone;
    if (skipping_ > 0 || groups_.back().data) {
      NotText(end);
      return end;
    }
    if (word == "u" && has_parameter) {
      unicode_ = Unicode{static_cast<unsigned>(((parameter % 65536) + 65536) % 65536), at,
                         after_open_word};
      skipping_ = groups_.back().fallback_chars;
      if (skipping_ == 0) EmitUnicode(end);
      return end;
    }
    if (word == "uc" && has_parameter && parameter >= 0) {
      groups_.back().fallback_chars = static_cast<std::size_t>(parameter);
    }
    if (IsDataDestination(word)) groups_.back().data = true;
    split_ = true;
    return end;
  }

  // A character of text (a byte in the document's code page) written by [begin, end).
  void Text(unsigned value, std::size_t begin, std::size_t end) {
    if (skipping_ > 0) {
      if (--skipping_ == 0) EmitUnicode(end);
    } else if (groups_.back().data) {
      split_ = true;
    } else {
      // "-" right after a control word is text only while no digit follows it.
      if (value == '-' && end - begin == 1 && begin == open_word_end_) dash_after_word_ = begin;
      Emit(value, begin, end, begin == open_word_end_);
      last_high_ = value >= 0x80;
    }
  }

  // A token that is not text, ending at `end`.
  void NotText(std::size_t end) {
    if (skipping_ > 0) {
      if (--skipping_ == 0) EmitUnicode(end);
    } else {
      split_ = true;
    }
  }

  void EndFallback(std::size_t end) {
    if (skipping_ > 0) {
      skipping_ = 0;
      EmitUnicode(end);
    }
  }

  void EmitUnicode(std::size_t end) {
    Emit(unicode_.value, unicode_.begin, end, unicode_.after_open_word);
    last_high_ = false;  // a character of its own, never half of one
  }

  void Emit(unsigned value, std::size_t begin, std::size_t end, bool after_open_word) {
    TextChar& text = recent_[emitted_ % recent_.size()];
    text = TextChar{begin, split_, last_high_ && !split_, after_open_word};
    if (split_) last_split_ = emitted_;
    split_ = false;
    ++emitted_;
    while (matched_ > 0 && static_cast<unsigned char>(find_[matched_]) != value) {
      matched_ = fallback_[matched_ - 1];
    }
    if (static_cast<unsigned char>(find_[matched_]) == value) ++matched_;
    if (matched_ == find_.size()) {
      matched_ = 0;
      Replace(end);
    }
  }

  // The occurrence made of the last characters, ending at `end`.
  void Replace(std::size_t end) {
    const std::size_t first_index = emitted_ - find_.size();
    const TextChar& first = recent_[first_index % recent_.size()];
    // Split by formatting or a group: no exact place for the replacement. After a byte beyond
    // ASCII, the first character may belong to it in a code page of two-byte characters.
    if ((last_split_ != kNone && last_split_ > first_index) ||
        (first.after_high_byte && static_cast<unsigned char>(find_[0]) >= 0x40)) {
      failed_ = true;
      return;
    }
    // The control word before it ended where the link began, or before a "-" there: a space
    // keeps the replacement (or what follows an empty one) out of it.
    if (dash_after_word_ != kNone && dash_after_word_ + 1 == first.begin &&
        dash_after_word_ >= copied_) {
      out_.append(rtf_.substr(copied_, dash_after_word_ - copied_));
      out_ += ' ';
      copied_ = dash_after_word_;
    }
    out_.append(rtf_.substr(copied_, first.begin - copied_));
    if (first.after_open_word) out_ += ' ';
    out_.append(with_);
    copied_ = end;
    ++occurrences_;
  }

  std::size_t Fail() {
    failed_ = true;
    return rtf_.size();
  }

  std::string_view rtf_;
  std::string find_;
  std::string with_;
  std::vector<std::size_t> fallback_;  // the search's table: longest proper border of each prefix
  std::vector<TextChar> recent_;       // the last characters, as many as the find text has
  std::vector<Group> groups_{Group{}};
  Unicode unicode_;
  std::size_t skipping_ = 0;  // fallback characters of unicode_ still to skip
  std::size_t matched_ = 0;
  std::size_t emitted_ = 0;
  std::size_t last_split_ = kNone;  // the last character with split_before
  std::size_t open_word_end_ = kNone;
  std::size_t dash_after_word_ = kNone;
  bool split_ = false;
  bool last_high_ = false;
  bool failed_ = false;
  std::string out_;
  std::size_t copied_ = 0;  // the RTF before it is in out_
  std::size_t occurrences_ = 0;
};

}  // namespace

std::optional<std::string> RewriteRtf(std::string_view data, std::u16string_view find_text,
                                      std::u16string_view replacement) {
  if (find_text.empty()) return std::string(data);
  std::optional<std::string> find = RtfEscaped(find_text);
  std::optional<std::string> with = RtfEscaped(replacement);
  if (!find || !with) return std::nullopt;
  // The search compares characters, not how RTF writes them.
  std::string characters;
  for (const char16_t c : find_text) characters += static_cast<char>(c);
  return RtfRewrite(data, std::move(characters), std::move(*with)).Run();
}

}  // namespace tllink
