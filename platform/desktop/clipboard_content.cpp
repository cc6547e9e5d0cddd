#include "platform/desktop/clipboard_content.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringDecoder>
#include <QUrl>

#include "platform/desktop/qt_text.h"

namespace tllink::platform::desktop {

bool MarksSecret(std::string_view password_hint) {
  return password_hint == "secret";
}

bool ListsOnlyLocalFiles(std::string_view uri_list) {
  bool any = false;
  const QByteArray list(uri_list.data(), static_cast<qsizetype>(uri_list.size()));
  for (const QByteArray& line : list.split('\n')) {
    const QByteArray entry = line.trimmed();
    if (entry.isEmpty() || entry.startsWith('#')) continue;  // comments are allowed (RFC 2483)
    if (!QUrl::fromEncoded(entry).isLocalFile()) return false;
    any = true;
  }
  return any;
}

std::optional<std::u16string> DecodeText(std::string_view bytes, TextEncoding encoding) {
  // C programs often send the terminating NUL along; it is no part of the text.
  if (!bytes.empty() && bytes.back() == '\0') bytes.remove_suffix(1);
  const QByteArrayView view(bytes.data(), static_cast<qsizetype>(bytes.size()));
  if (encoding == TextEncoding::kLatin1) return FromQString(QString::fromLatin1(view));
  // A leading byte-order mark is part of the text, as on Windows; stateless, so that a
  // sequence cut short at the end is an error rather than left waiting for more bytes.
  QStringDecoder decoder(QStringDecoder::Utf8,
                         QStringDecoder::Flag::ConvertInitialBom | QStringDecoder::Flag::Stateless);
  const QString text = decoder.decode(view);
  if (decoder.hasError()) return std::nullopt;
  return FromQString(text);
}

}  // namespace tllink::platform::desktop
