#pragma once

#include <xcb/xcb.h>

#include <optional>
#include <span>

#include "platform/desktop/clipboard_content.h"

namespace tllink::platform::x11 {

using desktop::TextEncoding;

// The X11 atoms the clipboard reader speaks in, interned once per connection.
struct ClipboardAtoms {
  xcb_atom_t clipboard = XCB_ATOM_NONE;
  xcb_atom_t targets = XCB_ATOM_NONE;
  xcb_atom_t incr = XCB_ATOM_NONE;
  xcb_atom_t utf8_string = XCB_ATOM_NONE;
  xcb_atom_t text_plain_utf8 = XCB_ATOM_NONE;
  xcb_atom_t text_plain = XCB_ATOM_NONE;
  xcb_atom_t password_hint = XCB_ATOM_NONE;
  xcb_atom_t gnome_copied_files = XCB_ATOM_NONE;
  xcb_atom_t uri_list = XCB_ATOM_NONE;
  xcb_atom_t html = XCB_ATOM_NONE;
  xcb_atom_t transfer_property = XCB_ATOM_NONE;  // where owners put what the reader asked for
  xcb_atom_t time_property = XCB_ATOM_NONE;      // touched to learn the server's time

  // Round trips to the X server only; nothing when one fails.
  static std::optional<ClipboardAtoms> Intern(xcb_connection_t* connection);
};

// What the owner's TARGETS say, as far as the program cares.
struct ClipboardOffer {
  bool password_hint = false;
  bool gnome_copied_files = false;
  bool uri_list = false;
  bool html = false;
  xcb_atom_t text_target = XCB_ATOM_NONE;  // the best text format offered; none: no text
  TextEncoding text_encoding = TextEncoding::kUtf8;
};
ClipboardOffer ReadOffer(std::span<const xcb_atom_t> targets, const ClipboardAtoms& atoms);

}  // namespace tllink::platform::x11
