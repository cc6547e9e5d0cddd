#include "platform/desktop/clipboard_content.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringDecoder>
#include <QUrl>

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
  // Decoded straight into the result: a copy of a copy of a text of many megabytes is memory
  // the program holds at its peak.
  if (encoding == TextEncoding::kLatin1) return std::u16string(bytes.begin(), bytes.end());
  const QByteArrayView view(bytes.data(), static_cast<qsizetype>(bytes.size()));
  // A leading byte-order mark is part of the text, as on Windows; stateless, so that a
  // sequence cut short at the end is an error rather than left waiting for more bytes.
  QStringDecoder decoder(QStringDecoder::Utf8,
                         QStringDecoder::Flag::ConvertInitialBom | QStringDecoder::Flag::Stateless);
  std::u16string text(static_cast<std::size_t>(decoder.requiredSpace(view.size())), u'\0');
  const QChar* end = decoder.appendToBuffer(reinterpret_cast<QChar*>(text.data()), view);
  if (decoder.hasError()) return std::nullopt;
  text.resize(static_cast<std::size_t>(end - reinterpret_cast<const QChar*>(text.data())));
  // Text beyond ASCII decodes to fewer units than it has bytes.
  if (text.capacity() > text.size() + text.size() / 4) text.shrink_to_fit();
  return text;
}

}  // namespace tllink::platform::desktop
