#include "platform/qt/qt_clipboard.h"

#include <qpa/qplatformnativeinterface.h>
#include <xcb/xcb.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QScreen>
#include <QUrl>
#include <algorithm>
#include <memory>
#include <optional>

#include "platform/qt/qt_text.h"

namespace tllink::platform::qt {

namespace {

QClipboard& SystemClipboard() {
  return *QGuiApplication::clipboard();
}

xcb_connection_t* X11Connection() {
  const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  return x11 != nullptr ? x11->connection() : nullptr;
}

// Whether an X11 window was made by this program's connection.
bool WindowOfThisProgram(xcb_connection_t* connection, std::uint32_t window) {
  const xcb_setup_t* setup = xcb_get_setup(connection);
  return setup != nullptr && window != XCB_WINDOW_NONE &&
         (window & ~setup->resource_id_mask) == setup->resource_id_base;
}

// Qt stamps a selection it takes with the time of the last X event it handled. Content read
// before the change notification of its owner arrived is newer than that, and the X server
// then silently refuses the program as the new owner. The X11 platform plugin offers the
// server's time and a way to set its own; without them Qt's behaviour stays as it is.
void BringQtUpToTheServersTime() {
  QPlatformNativeInterface* native = QGuiApplication::platformNativeInterface();
  QScreen* screen = QGuiApplication::primaryScreen();
  if (native == nullptr || screen == nullptr) return;
  using SetAppTime = void (*)(QScreen*, xcb_timestamp_t);
  // The plugin hands out a generic function pointer; go through the generic type.
  const auto set_app_time = reinterpret_cast<SetAppTime>(
      reinterpret_cast<void (*)()>(native->nativeResourceFunctionForScreen("setapptime")));
  if (set_app_time == nullptr) return;
  const auto now = static_cast<xcb_timestamp_t>(
      reinterpret_cast<quintptr>(native->nativeResourceForScreen("gettimestamp", screen)));
  if (now != XCB_CURRENT_TIME) set_app_time(screen, now);
}

// The window that owns the X11 CLIPBOARD selection; nothing off X11. Change notifications
// reach the program only through its event loop, so within one tick the owner is what shows
// that someone else copied in the meantime.
std::optional<std::uint32_t> SelectionOwner() {
  xcb_connection_t* connection = X11Connection();
  if (connection == nullptr) return std::nullopt;
  static xcb_atom_t clipboard_atom = XCB_ATOM_NONE;
  if (clipboard_atom == XCB_ATOM_NONE) {
    const char name[] = "CLIPBOARD";
    xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, sizeof(name) - 1, name), nullptr);
    if (atom == nullptr) return std::nullopt;
    clipboard_atom = atom->atom;
    free(atom);
  }
  xcb_get_selection_owner_reply_t* reply = xcb_get_selection_owner_reply(
      connection, xcb_get_selection_owner(connection, clipboard_atom), nullptr);
  if (reply == nullptr) return std::nullopt;
  const std::uint32_t owner = reply->owner;
  free(reply);
  return owner;
}

// Files copied in a file manager, offered as their paths or links too: rewriting that text
// would take the files off the clipboard.
bool OfferedAsFiles(const QMimeData& data) {
  if (data.hasFormat(QStringLiteral("x-special/gnome-copied-files"))) return true;
  if (!data.hasUrls()) return false;
  const QList<QUrl> urls = data.urls();
  return !urls.isEmpty() &&
         std::all_of(urls.begin(), urls.end(), [](const QUrl& url) { return url.isLocalFile(); });
}

// The convention of password managers on Linux desktops for content monitors must leave alone.
bool MarkedSecret(const QMimeData& data) {
  const QString hint = QStringLiteral("x-kde-passwordManagerHint");
  return data.hasFormat(hint) && data.data(hint) == "secret";
}

}  // namespace

QtClipboard::QtClipboard() {
  QObject::connect(&SystemClipboard(), &QClipboard::changed, &context_, [this](QClipboard::Mode m) {
    if (m == QClipboard::Clipboard) ++changes_;
  });
}

bool QtClipboard::HasText() {
  const QMimeData* data = SystemClipboard().mimeData(QClipboard::Clipboard);
  return data != nullptr && data->hasText();
}

Clipboard::ReadResult QtClipboard::ReadText() {
  ReadResult result;
  QClipboard& clipboard = SystemClipboard();
  const std::uint32_t before = changes_;
  const std::optional<std::uint32_t> owner_before = SelectionOwner();
  result.sequence = before;

  const QMimeData* data = clipboard.mimeData(QClipboard::Clipboard);
  if (data == nullptr) {
    result.status = ReadStatus::NoText;
    return result;
  }
  // On X11 the selection's owner says it; Qt's own flag stays set when taking it failed.
  const bool ours = owner_before ? WindowOfThisProgram(X11Connection(), *owner_before)
                                 : (ours_ != nullptr && data == ours_.data());
  if (MarkedSecret(*data)) {
    result.status = ReadStatus::Excluded;
    return result;
  }
  // Text that comes only from a list of links (hasText() counts those) is no text to rewrite.
  if (!data->hasFormat(QStringLiteral("text/plain")) || OfferedAsFiles(*data)) {
    result.status = ReadStatus::NoText;
    return result;
  }
  QString text = data->text();
  // Another program's text arrives as UTF-8; bytes that were not valid UTF-8 have become
  // U+FFFD, and writing that back would lose them.
  if (!ours && text.contains(QChar::ReplacementCharacter)) {
    result.status = ReadStatus::NoText;
    return result;
  }
  // Someone copied while this was read: which content the text is of is not known.
  if (changes_ != before || SelectionOwner() != owner_before) {
    result.status = ReadStatus::Busy;
    return result;
  }
  result.status = ReadStatus::Ok;
  result.text = FromQString(text);
  result.owned_by_us = ours;
  read_sequence_ = changes_;
  read_owner_ = owner_before.value_or(0);
  return result;
}

// On X11 a failed take leaves the other program's content where it was: nothing to put back.
Clipboard::WriteResult QtClipboard::ReplaceText(std::u16string_view /*current*/,
                                                std::uint32_t expected_sequence,
                                                std::u16string_view text) {
  WriteResult result;
  if (changes_ != expected_sequence) {
    result.status = WriteStatus::Changed;
    return result;
  }
  const std::optional<std::uint32_t> owner = SelectionOwner();
  if (owner && read_sequence_ == expected_sequence && *owner != read_owner_) {
    result.status = WriteStatus::Changed;
    return result;
  }
  if (owner) BringQtUpToTheServersTime();
  auto owned = std::make_unique<QMimeData>();
  owned->setText(ToQString(text));
  QMimeData* replacement = owned.release();  // the clipboard takes it over
  SystemClipboard().setMimeData(replacement, QClipboard::Clipboard);
  ours_ = replacement;
  // On X11 taking the selection can still be refused; then the other program's content stays.
  if (owner) {
    const std::optional<std::uint32_t> new_owner = SelectionOwner();
    if (!new_owner || !WindowOfThisProgram(X11Connection(), *new_owner)) {
      result.status = WriteStatus::Failed;
      return result;
    }
  }
  result.status = WriteStatus::Ok;
  result.sequence = changes_;
  return result;
}

QtClipboardWatch::QtClipboardWatch(std::function<void()> on_change, std::function<bool()> ending) {
  QObject::connect(
      &SystemClipboard(), &QClipboard::changed, &context_,
      [on_change = std::move(on_change), ending = std::move(ending)](QClipboard::Mode mode) {
        if (mode == QClipboard::Clipboard && !ending()) on_change();
      });
}

}  // namespace tllink::platform::qt
