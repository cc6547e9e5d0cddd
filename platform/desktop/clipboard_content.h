#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tllink::platform::desktop {

// What the program must know of another program's clipboard content, whichever way it came
// (X11 selection, Wayland offer): the same bytes mean the same thing on both.

enum class TextEncoding { kUtf8, kLatin1 };

// The password managers' mark for content that clipboard monitors must leave alone.
bool MarksSecret(std::string_view password_hint);
// A text/uri-list of local files only: files copied in a file manager.
bool ListsOnlyLocalFiles(std::string_view uri_list);
// The text exactly as the owner meant it; nothing when bytes are not valid in the encoding
// (rewriting such a text would lose them).
std::optional<std::u16string> DecodeText(std::string_view bytes, TextEncoding encoding);

}  // namespace tllink::platform::desktop
