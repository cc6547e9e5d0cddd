// RTF: read by a decoder of the target's own, the rewritten document's text is the plain
// replace-all of the original's, and everything that is not text (control words with their
// parameters, control symbols, groups, \bin data, pictures) is there unchanged and in the same
// places between the characters.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "app/rich_formats.h"
#include "fuzz/fuzz_input.h"

namespace {

using namespace tllink::fuzz;

constexpr char32_t kNotText = 0xFFFFFFFF;  // one for each token that is not text

struct Document {
  bool readable = true;
  std::u32string text;                // its characters, with kNotText between them
  std::vector<std::string> not_text;  // those tokens: "\word-12", "\~", "{", data
};

bool Letter(char c) {
  return (c | 0x20) >= 'a' && (c | 0x20) <= 'z';
}
bool Digit(char c) {
  return c >= '0' && c <= '9';
}
bool Hex(char c) {
  return Digit(c) || ((c | 0x20) >= 'a' && (c | 0x20) <= 'f');
}

Document Decode(std::string_view rtf) {
  Document doc;
  struct Group {
    long long skip = 1;  // \ucN
    bool data = false;
  };
  std::vector<Group> groups{{}};
  long long skipping = 0;
  for (std::size_t at = 0; at < rtf.size();) {
    const char c = rtf[at];
    std::string token;  // a control word without the space that ends it
    const auto not_text = [&](std::size_t end) {
      doc.text += kNotText;
      doc.not_text.push_back(token.empty() ? std::string(rtf.substr(at, end - at)) : token);
      at = end;
    };
    if (c == '\r' || c == '\n') {
      ++at;
      continue;
    }
    if (c == '{' || c == '}') {
      skipping = 0;
      if (c == '{') groups.push_back(groups.back());
      if (c == '}' && groups.size() > 1) groups.pop_back();
      not_text(at + 1);
      continue;
    }
    std::size_t end = at + 1;
    char32_t character = kNotText;
    bool unicode = false;
    if (c != '\\') {
      character = static_cast<unsigned char>(c);
    } else if (end == rtf.size()) {
      doc.readable = false;
      return doc;
    } else if (rtf[end] == '\'') {
      if (end + 2 >= rtf.size() || !Hex(rtf[end + 1]) || !Hex(rtf[end + 2])) {
        doc.readable = false;
        return doc;
      }
      character =
          static_cast<char32_t>(std::stoi(std::string(rtf.substr(end + 1, 2)), nullptr, 16));
      end += 3;
    } else if (rtf[end] == '\\' || rtf[end] == '{' || rtf[end] == '}') {
      character = static_cast<unsigned char>(rtf[end++]);
    } else if (!Letter(rtf[end])) {
      token = rtf.substr(at, 2);
      end = at + 2;
    } else {
      while (end < rtf.size() && Letter(rtf[end])) ++end;
      const std::string word(rtf.substr(at + 1, end - at - 1));
      const std::size_t number = end;
      if (end + 1 < rtf.size() && rtf[end] == '-' && Digit(rtf[end + 1])) ++end;
      while (end < rtf.size() && Digit(rtf[end])) ++end;
      const std::string parameter(rtf.substr(number, end - number));
      token = "\\" + word + parameter;
      if (end < rtf.size() && rtf[end] == ' ') ++end;
      long long value = 0;
      for (const char d : parameter) {
        if (Digit(d)) value = std::min(value * 10 + (d - '0'), 1'000'000'000'000LL);
      }
      if (parameter.starts_with('-')) value = -value;
      if (word == "bin") {
        if (value < 0 || static_cast<unsigned long long>(value) > rtf.size() - end) {
          doc.readable = false;
          return doc;
        }
        token += "=" + std::string(rtf.substr(end, static_cast<std::size_t>(value)));
        end += static_cast<std::size_t>(value);
      }
      if (skipping == 0 && !groups.back().data) {
        if (word == "u" && !parameter.empty()) {
          unicode = true;
          const long long unit = ((value % 65536) + 65536) % 65536;
          character =
              unit < 0x80 ? static_cast<char32_t>(unit) : 0x20000 + static_cast<char32_t>(unit);
        }
        if (word == "uc" && !parameter.empty() && value >= 0) groups.back().skip = value;
        if (word == "pict" || word == "objdata" || word == "themedata" ||
            word == "colorschememapping" || word == "datastore" || word == "blipuid" ||
            word == "passwordhash") {
          groups.back().data = true;
        }
      }
    }
    if (skipping > 0) {  // a fallback character of \uN: readers with Unicode skip it
      --skipping;
      at = end;
      continue;
    }
    if (unicode) {
      doc.text += character;
      skipping = groups.back().skip;
      at = end;
      continue;
    }
    if (character == kNotText || groups.back().data) {
      not_text(end);
      continue;
    }
    doc.text += character < 0x80 ? character : 0x10000 + character;
    at = end;
  }
  return doc;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  const std::optional<Input> input = Split(bytes, size);
  if (!input) return -1;
  const std::optional<std::string> result =
      tllink::RewriteRtf(input->data, input->find, input->replacement);
  if (input->find.empty()) {
    FUZZ_CHECK(result == input->data);
    return 0;
  }
  bool ascii = true;
  std::u32string find;
  std::u32string replacement;
  std::size_t escaped = 0;  // the replacement's length as RTF writes it
  for (const char16_t c : input->find) {
    ascii = ascii && c >= 0x20 && c <= 0x7E;
    find += c;
  }
  for (const char16_t c : input->replacement) {
    ascii = ascii && c >= 0x20 && c <= 0x7E;
    replacement += c;
    escaped += c == u'\\' || c == u'{' || c == u'}' ? 2 : 1;
  }
  const Document before = Decode(input->data);
  if (!ascii || !before.readable) {
    FUZZ_CHECK(!result);
    return 0;
  }
  std::size_t found = 0;
  for (std::size_t at = before.text.find(find); at != std::u32string::npos;
       at = before.text.find(find, at + find.size())) {
    ++found;
  }
  if (!result) {
    // Plain text with the link in it is always rewritten.
    const bool plain = input->data.find_first_of("\\{}") == std::string_view::npos &&
                       std::all_of(input->data.begin(), input->data.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    FUZZ_CHECK(!plain || found == 0);
    return 0;
  }
  const Document after = Decode(*result);
  FUZZ_CHECK(after.readable);
  FUZZ_CHECK(after.text == PlainReplaceAll(before.text, find, replacement));
  FUZZ_CHECK(after.not_text == before.not_text);
  FUZZ_CHECK(result->size() <= input->data.size() + found * (escaped + 1));
  return 0;
}
