#include "tray/notify_text.h"

namespace tllink {

namespace {
bool IsHighSurrogate(char16_t unit) {
  return unit >= 0xD800 && unit <= 0xDBFF;
}
bool IsLowSurrogate(char16_t unit) {
  return unit >= 0xDC00 && unit <= 0xDFFF;
}
}  // namespace

std::u16string FitNotifyField(std::u16string_view text, std::size_t field_units) {
  if (field_units == 0) return {};
  const std::size_t room = field_units - 1;
  if (text.size() <= room) return std::u16string(text);
  std::size_t cut = room;
  if (cut > 0 && IsHighSurrogate(text[cut - 1]) && IsLowSurrogate(text[cut])) --cut;
  return std::u16string(text.substr(0, cut));
}

}  // namespace tllink
