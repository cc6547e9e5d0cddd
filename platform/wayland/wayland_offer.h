#pragma once

#include <span>
#include <string>
#include <string_view>

#include "platform/desktop/clipboard_content.h"

namespace tllink::platform::wayland {

using desktop::TextEncoding;

// The MIME types of the clipboard's content on Wayland, as far as the program cares.

inline constexpr std::string_view kPasswordHintType = "x-kde-passwordManagerHint";
inline constexpr std::string_view kUriListType = "text/uri-list";
inline constexpr std::string_view kHtmlType = "text/html";

struct WaylandOffer {
  bool password_hint = false;
  bool gnome_copied_files = false;
  bool uri_list = false;
  bool html = false;
  bool own_mark = false;  // offered by this program (or copied from it with all its types)
  std::string text_type;  // the best text type offered; empty: no text
  TextEncoding text_encoding = TextEncoding::kUtf8;
};
WaylandOffer ReadWaylandOffer(std::span<const std::string> mime_types);

// What the program's own content is offered as: its text as UTF-8 under the text types that
// Wayland programs and XWayland's bridge ask for, and a mark that tells it from other
// programs' content.
std::span<const std::string> OwnMimeTypes();
bool IsOwnTextType(std::string_view mime_type);

}  // namespace tllink::platform::wayland
