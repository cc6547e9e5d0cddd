#include "platform/x11/x11_clipboard_formats.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>

#include "platform/x11/x11_handles.h"

namespace tllink::platform::x11 {

std::optional<ClipboardAtoms> ClipboardAtoms::Intern(xcb_connection_t* connection) {
  ClipboardAtoms atoms;
  const std::array<std::pair<const char*, xcb_atom_t*>, 12> names{{
      {"CLIPBOARD", &atoms.clipboard},
      {"TARGETS", &atoms.targets},
      {"INCR", &atoms.incr},
      {"UTF8_STRING", &atoms.utf8_string},
      {"text/plain;charset=utf-8", &atoms.text_plain_utf8},
      {"text/plain", &atoms.text_plain},
      {"x-kde-passwordManagerHint", &atoms.password_hint},
      {"x-special/gnome-copied-files", &atoms.gnome_copied_files},
      {"text/uri-list", &atoms.uri_list},
      {"text/html", &atoms.html},
      {"TLLINK_SELECTION", &atoms.transfer_property},
      {"TLLINK_TIME", &atoms.time_property},
  }};
  // All requests first, then the replies: one wait for the lot.
  std::array<xcb_intern_atom_cookie_t, names.size()> cookies{};
  for (std::size_t i = 0; i < names.size(); ++i) {
    const char* name = names[i].first;
    cookies[i] =
        xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name);
  }
  bool complete = true;
  for (std::size_t i = 0; i < names.size(); ++i) {
    const XcbPointer<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(connection, cookies[i], nullptr));
    if (reply == nullptr) {
      complete = false;
      continue;  // the other replies are still taken, so that none is left behind
    }
    *names[i].second = reply->atom;
  }
  if (!complete) return std::nullopt;
  return atoms;
}

ClipboardOffer ReadOffer(std::span<const xcb_atom_t> targets, const ClipboardAtoms& atoms) {
  ClipboardOffer offer;
  const auto offered = [&](xcb_atom_t atom) {
    return std::find(targets.begin(), targets.end(), atom) != targets.end();
  };
  offer.password_hint = offered(atoms.password_hint);
  offer.gnome_copied_files = offered(atoms.gnome_copied_files);
  offer.uri_list = offered(atoms.uri_list);
  offer.html = offered(atoms.html);
  // UTF-8 first; STRING is Latin-1 by definition (ICCCM); text/plain without a charset is
  // UTF-8 on every Linux desktop.
  for (const xcb_atom_t text : {atoms.utf8_string, atoms.text_plain_utf8, atoms.text_plain}) {
    if (offered(text)) {
      offer.text_target = text;
      return offer;
    }
  }
  if (offered(XCB_ATOM_STRING)) {
    offer.text_target = XCB_ATOM_STRING;
    offer.text_encoding = TextEncoding::kLatin1;
  }
  return offer;
}

}  // namespace tllink::platform::x11
