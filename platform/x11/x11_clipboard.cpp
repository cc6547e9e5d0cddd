#include "platform/x11/x11_clipboard.h"

#include <qpa/qplatformnativeinterface.h>
#include <xcb/xcb.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QScreen>
#include <QUrl>
#include <algorithm>
#include <string>
#include <utility>

#include "platform/desktop/qt_text.h"
#include "platform/x11/x11_display_name.h"
#include "platform/x11/x11_handles.h"

namespace tllink::platform::x11 {

using desktop::FromQString;
using desktop::ToQString;

namespace {

QClipboard& SystemClipboard() {
  return *QGuiApplication::clipboard();
}

xcb_connection_t* X11Connection() {
  const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  return x11 != nullptr ? x11->connection() : nullptr;
}

// Whether an X11 window was made by this program's (Qt's) connection.
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

// The window that owns the X11 CLIPBOARD selection; nothing off X11. A question to the X
// server, never to the owner. Change notifications reach the program only through its event
// loop, so within one tick the owner is what shows that someone else copied meanwhile.
std::optional<std::uint32_t> SelectionOwner() {
  xcb_connection_t* connection = X11Connection();
  if (connection == nullptr) return std::nullopt;
  static xcb_atom_t clipboard_atom = XCB_ATOM_NONE;
  if (clipboard_atom == XCB_ATOM_NONE) {
    const char name[] = "CLIPBOARD";
    const XcbPointer<xcb_intern_atom_reply_t> atom(xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, sizeof(name) - 1, name), nullptr));
    if (atom == nullptr) return std::nullopt;
    clipboard_atom = atom->atom;
  }
  const XcbPointer<xcb_get_selection_owner_reply_t> reply(xcb_get_selection_owner_reply(
      connection, xcb_get_selection_owner(connection, clipboard_atom), nullptr));
  if (reply == nullptr) return std::nullopt;
  return reply->owner;
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

// The text of `data`, or why there is none to rewrite, with its rich formats when the text
// contains `rich_if_containing`. `decoded`: the text came from another program as UTF-8, so that
// U+FFFD stands for bytes that were not valid UTF-8.
Clipboard::ReadResult TextOf(const QMimeData& data, bool decoded, std::uint32_t sequence,
                             std::u16string_view rich_if_containing) {
  Clipboard::ReadResult result;
  result.sequence = sequence;
  if (MarkedSecret(data)) {
    result.status = Clipboard::ReadStatus::Excluded;
    return result;
  }
  // Text that comes only from a list of links (hasText() counts those) is no text to rewrite.
  if (!data.hasFormat(QStringLiteral("text/plain")) || OfferedAsFiles(data)) {
    result.status = Clipboard::ReadStatus::NoText;
    return result;
  }
  const QString text = data.text();
  // Writing such a text back would lose the bytes that were not UTF-8.
  if (decoded && text.contains(QChar::ReplacementCharacter)) {
    result.status = Clipboard::ReadStatus::NoText;
    return result;
  }
  result.status = Clipboard::ReadStatus::Ok;
  result.text = FromQString(text);
  if (!rich_if_containing.empty() && result.text.find(rich_if_containing) != std::u16string::npos) {
    for (const char* name : {"text/uri-list", "text/html"}) {
      const QString format = QString::fromLatin1(name);
      if (!data.hasFormat(format)) continue;
      const QByteArray bytes = data.data(format);
      result.rich.push_back(RichFormat{name, std::string(bytes.constData(), bytes.size())});
    }
  }
  return result;
}

Clipboard::ReadResult Result(Clipboard::ReadStatus status, std::uint32_t sequence) {
  Clipboard::ReadResult result;
  result.status = status;
  result.sequence = sequence;
  return result;
}

}  // namespace

X11Clipboard::X11Clipboard() {
  QObject::connect(&SystemClipboard(), &QClipboard::changed, &context_, [this](QClipboard::Mode m) {
    if (m == QClipboard::Clipboard) ++changes_;
  });
  if (X11Connection() == nullptr) return;
  const std::string display = QtX11DisplayName();
  reader_ =
      X11SelectionReader::Start(display.empty() ? nullptr : display.c_str(),
                                [this](SelectionAnswer answer) { Answered(std::move(answer)); });
  if (reader_ == nullptr) {
    qWarning("tllink: no second connection to the X server; the clipboard is read through Qt");
  }
}

Clipboard::ReadResult X11Clipboard::Read(RequestId request,
                                         std::u16string_view rich_if_containing) {
  ReadResult result = ReadNow(request, rich_if_containing);
  result.request = request;
  result.asked_with = rich_if_containing;
  return result;
}

Clipboard::ReadResult X11Clipboard::ReadNow(RequestId request,
                                            std::u16string_view rich_if_containing) {
  // Whatever was under way is about older content or an older rule.
  fetching_.reset();
  if (reader_ == nullptr) return ReadThroughQt(rich_if_containing);
  const std::optional<std::uint32_t> owner = SelectionOwner();
  if (!owner) return Result(ReadStatus::Failed, changes_);
  if (*owner == XCB_WINDOW_NONE) return Result(ReadStatus::NoText, changes_);
  if (WindowOfThisProgram(X11Connection(), *owner)) {
    return ReadOwnContent(*owner, rich_if_containing);
  }
  fetching_ = Fetching{request, changes_, std::u16string(rich_if_containing)};
  reader_->Fetch(request, fetching_->asked_with);
  return Result(ReadStatus::Pending, changes_);
}

Clipboard::ReadResult X11Clipboard::ReadOwnContent(std::uint32_t owner,
                                                   std::u16string_view rich_if_containing) {
  const QMimeData* data = SystemClipboard().mimeData(QClipboard::Clipboard);
  if (data == nullptr) return Result(ReadStatus::NoText, changes_);
  // Qt asks the server for the owner again: should another program have copied since, this
  // is Qt's stand-in for that program's content, and reading it would wait for that program.
  if (data->inherits("QInternalMimeData")) return Result(ReadStatus::Busy, changes_);
  ReadResult result = TextOf(*data, false, changes_, rich_if_containing);
  if (result.status == ReadStatus::Ok) {
    read_sequence_ = changes_;
    read_owner_ = owner;
    read_owner_changes_.reset();
  }
  return result;
}

// Off X11 (Qt's offscreen platform, Wayland), or on an X server the reader could not reach.
Clipboard::ReadResult X11Clipboard::ReadThroughQt(std::u16string_view rich_if_containing) {
  const std::uint32_t before = changes_;
  const std::optional<std::uint32_t> owner_before = SelectionOwner();
  const QMimeData* data = SystemClipboard().mimeData(QClipboard::Clipboard);
  if (data == nullptr) return Result(ReadStatus::NoText, before);
  // The program's own text was never decoded from bytes: a U+FFFD in it is the text's own.
  const bool own = owner_before ? WindowOfThisProgram(X11Connection(), *owner_before)
                                : (ours_ != nullptr && data == ours_.data());
  ReadResult result = TextOf(*data, !own, before, rich_if_containing);
  if (result.status != ReadStatus::Ok) return result;
  // Someone copied while this was read: which content the text is of is not known.
  if (changes_ != before || SelectionOwner() != owner_before) {
    return Result(ReadStatus::Busy, before);
  }
  read_sequence_ = changes_;
  read_owner_ = owner_before.value_or(0);
  read_owner_changes_.reset();
  return result;
}

void X11Clipboard::Answered(SelectionAnswer answer) {
  if (!fetching_ || answer.request != fetching_->request) return;  // asked again since
  const Fetching fetched = std::move(*fetching_);
  fetching_.reset();
  ReadResult result = Result(answer.status, fetched.sequence);
  result.request = fetched.request;
  result.asked_with = fetched.asked_with;
  if (result.status == ReadStatus::Ok) {
    result.text = std::move(answer.text);
    result.rich = std::move(answer.rich);
    read_sequence_ = fetched.sequence;
    read_owner_ = answer.owner;
    read_owner_changes_ = answer.owner_changes;
  }
  delivered_.Add(std::move(result));
  if (on_delivered_) on_delivered_();
}

std::optional<Clipboard::Delivered> X11Clipboard::TakeDelivered() {
  return delivered_.Take();
}

// On X11 a failed take leaves the other program's content where it was: nothing to put back.
Clipboard::WriteResult X11Clipboard::Replace(RequestId request, ContentView /*current*/,
                                             std::uint32_t expected_sequence,
                                             ContentView replacement) {
  WriteResult result;
  result.request = request;
  if (changes_ != expected_sequence) {
    result.status = WriteStatus::Changed;
    return result;
  }
  const std::optional<std::uint32_t> owner = SelectionOwner();
  if (owner && read_sequence_ == expected_sequence) {
    // A program copies again with the same window: the reader's thread hears of it before
    // Qt's change notification reaches the event loop.
    const bool copied_since =
        *owner != read_owner_ ||
        (read_owner_changes_ && reader_ && reader_->OwnerChanges() != *read_owner_changes_);
    if (copied_since) {
      result.status = WriteStatus::Changed;
      return result;
    }
  }
  return Put(request, owner.has_value(), replacement);
}

Clipboard::WriteResult X11Clipboard::TakeBack(RequestId request, ContentView /*conversion*/,
                                              std::uint32_t conversion_sequence,
                                              ContentView original) {
  WriteResult result;
  result.request = request;
  result.status = WriteStatus::Changed;
  if (changes_ != conversion_sequence) return result;
  // Qt's change count may not have heard yet of another program's copy; the X server knows
  // who owns the selection now, and it must still be this program.
  const std::optional<std::uint32_t> owner = SelectionOwner();
  if (owner ? !WindowOfThisProgram(X11Connection(), *owner)
            : (ours_ == nullptr || SystemClipboard().mimeData(QClipboard::Clipboard) != ours_)) {
    return result;
  }
  return Put(request, owner.has_value(), original);
}

Clipboard::WriteResult X11Clipboard::Put(RequestId request, bool on_x11, ContentView content) {
  WriteResult result;
  result.request = request;
  if (on_x11) BringQtUpToTheServersTime();
  auto owned = std::make_unique<QMimeData>();
  owned->setText(ToQString(content.text));
  for (const RichFormat& format : content.rich) {
    owned->setData(QString::fromStdString(format.name),
                   QByteArray(format.bytes.data(), static_cast<qsizetype>(format.bytes.size())));
  }
  QMimeData* data = owned.release();  // the clipboard takes it over
  SystemClipboard().setMimeData(data, QClipboard::Clipboard);
  ours_ = data;
  // On X11 taking the selection can still be refused; then the other program's content stays.
  if (on_x11) {
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

bool X11Clipboard::SeesOtherProgramsCopies() const {
  return X11Connection() != nullptr || qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

std::unique_ptr<ClipboardWatch> X11Clipboard::Watch(ClipboardEvents events,
                                                    std::function<bool()> ending) {
  return std::make_unique<X11ClipboardWatch>(*this, std::move(events), std::move(ending));
}

X11ClipboardWatch::X11ClipboardWatch(X11Clipboard& clipboard, ClipboardEvents events,
                                     std::function<bool()> ending)
    : clipboard_(clipboard) {
  QObject::connect(&SystemClipboard(), &QClipboard::changed, &context_,
                   [on_change = std::move(events.on_change), ending](QClipboard::Mode mode) {
                     if (mode == QClipboard::Clipboard && !ending() && on_change) on_change();
                   });
  clipboard_.OnDelivered([on_delivered = std::move(events.on_delivered), ending] {
    if (!ending() && on_delivered) on_delivered();
  });
}

X11ClipboardWatch::~X11ClipboardWatch() {
  clipboard_.OnDelivered(nullptr);
}

}  // namespace tllink::platform::x11
