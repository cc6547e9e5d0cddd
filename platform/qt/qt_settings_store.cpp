#include "platform/qt/qt_settings_store.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <memory>

#include "platform/desktop/qt_text.h"
#include "platform/failure.h"

namespace tllink::platform::qt {

using desktop::FromQString;
using desktop::ToQString;

namespace {

constexpr char kOrganization[] = "tllink";

std::unique_ptr<QSettings> Open(std::u16string_view app) {
  auto settings = std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                              QString::fromLatin1(kOrganization), ToQString(app));
  // The one file only: QSettings would also read ~/.config/tllink.ini and /etc/xdg, where a
  // rule the user removed could still be found.
  settings->setFallbacksEnabled(false);
  return settings;
}

QString KeyPath(std::u16string_view section, std::u16string_view key) {
  return ToQString(section) + u'/' + ToQString(key);
}

}  // namespace

std::optional<std::u16string> QtSettingsStore::Get(std::u16string_view app,
                                                   std::u16string_view section,
                                                   std::u16string_view key) {
  const auto settings = Open(app);
  if (settings->status() != QSettings::NoError) throw Failure(u"無法讀取設定");
  const QVariant value = settings->value(KeyPath(section, key));
  // A list or other value this program never writes is not a setting of it.
  if (!value.isValid() || value.typeId() != QMetaType::QString) return std::nullopt;
  return FromQString(value.toString());
}

void QtSettingsStore::Save(std::u16string_view app, std::u16string_view section,
                           std::u16string_view key, std::u16string_view value) {
  const auto settings = Open(app);
  settings->setValue(KeyPath(section, key), ToQString(value));
  settings->sync();
  if (settings->status() != QSettings::NoError) throw Failure(u"無法儲存設定");
}

void QtSettingsStore::Delete(std::u16string_view app, std::u16string_view section,
                             std::u16string_view key) {
  const auto settings = Open(app);
  settings->remove(KeyPath(section, key));
  settings->sync();
  if (settings->status() != QSettings::NoError) throw Failure(u"無法儲存設定");
}

void QtSettingsStore::DeleteApp(std::u16string_view app) {
  const auto settings = Open(app);
  const QString path = settings->fileName();
  settings->clear();
  settings->sync();
  if (QFile::exists(path) && !QFile::remove(path)) throw Failure(u"無法移除設定");
  // The program's folder goes too once nothing else is in it.
  QDir().rmdir(QFileInfo(path).absolutePath());
}

}  // namespace tllink::platform::qt
