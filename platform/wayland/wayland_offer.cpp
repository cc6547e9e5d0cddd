#include "platform/wayland/wayland_offer.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace tllink::platform::wayland {

namespace {

constexpr std::string_view kOwnMark = "application/x-tllink-rewritten";

// Text types come with their charset in either case ("text/plain;charset=UTF-8" too).
bool SameType(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

}  // namespace

WaylandOffer ReadWaylandOffer(std::span<const std::string> mime_types) {
  WaylandOffer offer;
  const auto listed = [&](std::string_view type) {
    return std::find(mime_types.begin(), mime_types.end(), type) != mime_types.end();
  };
  const auto offered = [&](std::string_view type) -> const std::string* {
    const auto found =
        std::find_if(mime_types.begin(), mime_types.end(),
                     [type](const std::string& each) { return SameType(each, type); });
    return found == mime_types.end() ? nullptr : &*found;
  };
  offer.password_hint = listed(kPasswordHintType);
  offer.gnome_copied_files = listed("x-special/gnome-copied-files");
  offer.uri_list = listed(kUriListType);
  offer.html = listed(kHtmlType);
  offer.own_mark = listed(kOwnMark);
  // UTF-8 first (XWayland names X11's UTF8_STRING "text/plain;charset=utf-8"); text/plain
  // without a charset is UTF-8 on every Linux desktop; STRING is Latin-1 by definition (ICCCM).
  for (const std::string_view text : {"text/plain;charset=utf-8", "UTF8_STRING", "text/plain"}) {
    if (const std::string* type = offered(text)) {
      offer.text_type = *type;  // asked for as the owner spells it
      return offer;
    }
  }
  if (const std::string* type = offered("STRING")) {
    offer.text_type = *type;
    offer.text_encoding = TextEncoding::kLatin1;
  }
  return offer;
}

std::span<const std::string> OwnMimeTypes() {
  static const std::array<std::string, 4> types{"text/plain;charset=utf-8", "text/plain",
                                                "UTF8_STRING", std::string(kOwnMark)};
  return types;
}

bool IsOwnTextType(std::string_view mime_type) {
  const std::span<const std::string> types = OwnMimeTypes();
  return std::any_of(types.begin(), types.end(), [mime_type](const std::string& type) {
    return type != kOwnMark && type == mime_type;
  });
}

}  // namespace tllink::platform::wayland
