// HTML: Windows' "HTML Format" and text/html in UTF-8 and in UTF-16 behind either byte-order mark.
// The first byte of the data chooses (its value minus '0', modulo 5): 0 the data as the HTML of
// an "HTML Format" whose header the target writes (the fragment between <!--StartFragment--> and
// <!--EndFragment--> where both are there, else all of it), 1 the data as a whole "HTML Format",
// header included, 2 text/html in UTF-8, 3 and 4 the data (UTF-8) as text/html in UTF-16LE and
// UTF-16BE.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "app/rich_formats.h"
#include "fuzz/fuzz_input.h"
#include "fuzz/link_oracle.h"

namespace {

using namespace tllink::fuzz;

constexpr std::string_view kOffsetNames[] = {
    "StartHTML:", "EndHTML:", "StartFragment:", "EndFragment:"};

constexpr std::size_t kHeaderLength =
    std::string_view(
        "Version:0.9\r\nStartHTML:0000000000\r\nEndHTML:0000000000\r\n"
        "StartFragment:0000000000\r\nEndFragment:0000000000\r\n")
        .size();

std::string Ten(std::size_t value) {
  const std::string digits = std::to_string(value);
  return std::string(10 - std::min<std::size_t>(10, digits.size()), '0') + digits;
}

// An "HTML Format" with a header the target writes: its offsets must move with the edits.
void CheckWindowsHtml(std::string_view html, const Input& input) {
  std::size_t fragment = 0;
  std::size_t fragment_end = html.size();
  const std::size_t start_mark = html.find("<!--StartFragment-->");
  const std::size_t end_mark =
      start_mark == html.npos ? html.npos : html.find("<!--EndFragment-->", start_mark);
  if (end_mark != html.npos) {
    fragment = start_mark + 20;
    fragment_end = end_mark;
  }
  const auto header = [](std::size_t size, std::size_t fragment, std::size_t fragment_end) {
    const std::size_t length = kHeaderLength;
    return "Version:0.9\r\nStartHTML:" + Ten(length) + "\r\nEndHTML:" + Ten(length + size) +
           "\r\nStartFragment:" + Ten(length + fragment) +
           "\r\nEndFragment:" + Ten(length + fragment_end) + "\r\n";
  };
  const std::string head = header(html.size(), fragment, fragment_end);
  FUZZ_CHECK(head.size() == kHeaderLength);
  const std::string data = head + std::string(html);
  const std::optional<std::string> result =
      tllink::RewriteWindowsHtml(data, input.find, input.replacement);
  if (input.find.empty()) {
    FUZZ_CHECK(result == data);
    return;
  }
  std::optional<std::string> body;
  if (result) {
    FUZZ_CHECK(result->size() >= head.size());
    body = result->substr(head.size());
  }
  const Substituted<char> reference =
      CheckLinkRewrite<char>(html, body, input.find, input.replacement, true, false);
  // Where each offset of the header goes; nothing when an edit crosses it.
  const auto moved = [&](std::size_t old) -> std::optional<std::size_t> {
    std::size_t at = old;
    for (const Edit& edit : reference.edits) {
      if (edit.at + edit.removed <= old) {
        at = at + edit.added - edit.removed;
      } else if (edit.at < old) {
        return std::nullopt;
      }
    }
    return at;
  };
  const std::optional<std::size_t> fragment_at = moved(fragment);
  const std::optional<std::size_t> fragment_end_at = moved(fragment_end);
  if (!result) {
    // Left out only for a reason: nothing found, a link across the fragment's bounds, or a '%'
    // or '&' that may hide the link in another form.
    const bool hiding = html.find_first_of("%&") != html.npos;
    FUZZ_CHECK(reference.edits.empty() || !fragment_at || !fragment_end_at || hiding ||
               !StrictUtf8(input.find) || !StrictUtf8(input.replacement));
    return;
  }
  FUZZ_CHECK(fragment_at && fragment_end_at);
  FUZZ_CHECK(*result == header(body->size(), *fragment_at, *fragment_end_at) + *body);
}

// A whole "HTML Format" from the fuzzer. Where its header is plainly well formed ("Name:digits"
// lines of known names ending in CRLF, each once, up to where StartHTML, or else StartFragment,
// says the HTML begins), a result is held to the reference: the header with its offsets moved in
// the digits it had, then the rewritten HTML.
void CheckRawWindowsHtml(std::string_view data, const Input& input) {
  const std::optional<std::string> result =
      tllink::RewriteWindowsHtml(data, input.find, input.replacement);
  if (input.find.empty()) {
    FUZZ_CHECK(result == data);
    return;
  }
  struct Offset {
    std::size_t digits_at;
    std::size_t digits;
    std::size_t value;
  };
  std::vector<std::pair<std::string, Offset>> offsets;
  const auto value_of = [&](std::string_view name) -> std::optional<std::size_t> {
    for (const auto& [each, offset] : offsets) {
      if (each == name) return offset.value;
    }
    return std::nullopt;
  };
  std::size_t at = 0;
  std::optional<std::size_t> begin;
  while (!begin || at < *begin) {
    const std::size_t line_end = data.find("\r\n", at);
    const std::size_t colon = data.find(':', at);
    if (line_end == data.npos || colon > line_end) return;
    const std::string name(data.substr(at, colon - at));
    const std::string_view value = data.substr(colon + 1, line_end - colon - 1);
    const bool offset_name = std::find(std::begin(kOffsetNames), std::end(kOffsetNames),
                                       name + ":") != std::end(kOffsetNames) ||
                             name == "StartSelection" || name == "EndSelection";
    if (!offset_name && name != "Version" && name != "SourceURL") return;
    for (const auto& [each, offset] : offsets) {
      if (each == name) return;
    }
    if (offset_name) {
      if (value.empty() || value.size() > 10 ||
          value.find_first_not_of("0123456789") != value.npos) {
        return;
      }
      offsets.push_back({name, {colon + 1, value.size(), std::stoul(std::string(value))}});
    }
    at = line_end + 2;
    begin = value_of("StartHTML") ? value_of("StartHTML") : value_of("StartFragment");
  }
  if (at != *begin || data.substr(0, at).find_first_of("<>") != data.npos) return;
  for (const auto& [name, offset] : offsets) {
    if (offset.value < *begin || offset.value > data.size()) {
      FUZZ_CHECK(!result);
      return;
    }
  }
  if (!result) return;
  const std::string_view html = data.substr(*begin);
  FUZZ_CHECK(result->size() >= *begin);
  const Substituted<char> reference = CheckLinkRewrite<char>(
      html, result->substr(*begin), input.find, input.replacement, true, false);
  std::string expected(data.substr(0, *begin));
  for (const auto& [name, offset] : offsets) {
    std::size_t moved = offset.value;
    for (const Edit& edit : reference.edits) {
      if (*begin + edit.at + edit.removed <= offset.value) {
        moved = moved + edit.added - edit.removed;
      } else {
        FUZZ_CHECK(*begin + edit.at >= offset.value);  // else no exact place: left out
      }
    }
    std::string digits = std::to_string(moved);
    FUZZ_CHECK(digits.size() <= offset.digits);
    expected.replace(offset.digits_at, offset.digits,
                     std::string(offset.digits - digits.size(), '0') + digits);
  }
  FUZZ_CHECK(*result == expected + reference.text);
}

template <typename Char>
std::string Bytes(std::u16string_view units, bool big_endian) {
  std::string out = big_endian ? "\xFE\xFF" : "\xFF\xFE";
  for (const char16_t unit : units) {
    const char high = static_cast<char>(unit >> 8);
    const char low = static_cast<char>(unit & 0xFF);
    out += big_endian ? high : low;
    out += big_endian ? low : high;
  }
  return out;
}

void CheckUtf16Html(std::string_view utf8, const Input& input, bool big_endian) {
  const std::u16string units = Utf16(utf8);
  const std::string data = Bytes<char16_t>(units, big_endian);
  const std::optional<std::string> result =
      tllink::RewriteHtml(data, input.find, input.replacement);
  std::optional<std::u16string> result_units;
  if (result) {
    FUZZ_CHECK(result->size() % 2 == 0 && result->size() >= 2);
    FUZZ_CHECK(result->substr(0, 2) == data.substr(0, 2));
    std::u16string decoded;
    for (std::size_t i = 2; i + 1 < result->size(); i += 2) {
      const auto a = static_cast<unsigned char>((*result)[i]);
      const auto b = static_cast<unsigned char>((*result)[i + 1]);
      decoded += static_cast<char16_t>(big_endian ? (a << 8) | b : (b << 8) | a);
    }
    result_units = decoded;
  }
  CheckLinkRewrite<char16_t>(units, result_units, input.find, input.replacement, true, true);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  const std::optional<Input> input = Split(bytes, size);
  if (!input || input->data.empty()) return -1;
  const std::string_view html = input->data.substr(1);
  switch (static_cast<unsigned char>(input->data[0] - '0') % 5) {
    case 0:
      CheckWindowsHtml(html, *input);
      break;
    case 1:
      CheckRawWindowsHtml(html, *input);
      break;
    case 2:
      if (html.starts_with("\xFF\xFE") || html.starts_with("\xFE\xFF")) break;  // UTF-16
      CheckLinkRewrite<char>(html, tllink::RewriteHtml(html, input->find, input->replacement),
                             input->find, input->replacement, true, true);
      break;
    case 3:
      CheckUtf16Html(html, *input, false);
      break;
    case 4:
      CheckUtf16Html(html, *input, true);
      break;
  }
  return 0;
}
