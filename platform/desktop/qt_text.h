#pragma once

#include <QString>
#include <QStringView>
#include <string>
#include <string_view>

namespace tllink::platform::desktop {

// UTF-16 code units copied as they are: no byte-order mark is taken away, no surrogate checked.
inline QString ToQString(std::u16string_view text) {
  return QStringView(text.data(), static_cast<qsizetype>(text.size())).toString();
}

inline std::u16string FromQString(const QString& text) {
  return text.toStdU16String();
}

}  // namespace tllink::platform::desktop
