// What every fuzz target shares: how its input is split, and how a violated property is reported.
//
// An input is three parts: the find text up to the first "\n", the replacement up to the second,
// and the rest, the data the target rewrites. The texts are UTF-8; a byte that is not part of
// valid UTF-8 becomes the unpaired surrogate 0xDC00 + byte, so that those are fuzzed too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

namespace tllink::fuzz {

// A violated property: libFuzzer reports the abort with the input that made it.
[[noreturn]] inline void Violated(const char* property, const char* file, int line) {
  std::fprintf(stderr, "%s:%d: property violated: %s\n", file, line, property);
  std::abort();
}

#define FUZZ_CHECK(property) \
  ((property) ? static_cast<void>(0) : ::tllink::fuzz::Violated(#property, __FILE__, __LINE__))

inline std::u16string Utf16(std::string_view utf8) {
  std::u16string out;
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(utf8[i]); };
  for (std::size_t i = 0; i < utf8.size();) {
    const unsigned char lead = byte(i);
    const std::size_t length = lead < 0x80           ? 1
                               : (lead >> 5) == 0x6  ? 2
                               : (lead >> 4) == 0xE  ? 3
                               : (lead >> 3) == 0x1E ? 4
                                                     : 0;
    char32_t c = length == 1   ? lead
                 : length == 2 ? lead & 0x1F
                 : length == 3 ? lead & 0x0F
                               : lead & 0x07;
    bool valid = length != 0 && i + length <= utf8.size();
    for (std::size_t k = 1; valid && k < length; ++k) {
      valid = (byte(i + k) >> 6) == 0x2;
      c = (c << 6) | (byte(i + k) & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not valid UTF-8 either.
    static constexpr char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    if (!valid || c < kLeast[length] || (c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) {
      out += static_cast<char16_t>(0xDC00 + lead);
      ++i;
      continue;
    }
    if (c >= 0x10000) {
      out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      out += static_cast<char16_t>(c);
    }
    i += length;
  }
  return out;
}

struct Input {
  std::u16string find;
  std::u16string replacement;
  std::string_view data;
};

inline std::optional<Input> Split(const std::uint8_t* bytes, std::size_t size) {
  const std::string_view all(reinterpret_cast<const char*>(bytes), size);
  const std::size_t first = all.find('\n');
  if (first == std::string_view::npos) return std::nullopt;
  const std::size_t second = all.find('\n', first + 1);
  if (second == std::string_view::npos) return std::nullopt;
  return Input{Utf16(all.substr(0, first)), Utf16(all.substr(first + 1, second - first - 1)),
               all.substr(second + 1)};
}

// `text` with every occurrence of `find` replaced, left to right without overlaps, the plainest
// way: the reference the rewrites are held to.
template <typename String>
String PlainReplaceAll(const String& text, const String& find, const String& replacement) {
  if (find.empty()) return text;
  String out;
  for (std::size_t at = 0; at < text.size();) {
    if (text.compare(at, find.size(), find) == 0) {
      out += replacement;
      at += find.size();
    } else {
      out += text[at++];
    }
  }
  return out;
}

}  // namespace tllink::fuzz
