#pragma once

#include <QMimeData>
#include <QObject>
#include <QPointer>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "platform/clipboard.h"
#include "platform/delivered_results.h"
#include "platform/desktop/desktop_clipboard.h"
#include "platform/x11/x11_selection_reader.h"

namespace tllink::platform::x11 {

using desktop::DesktopClipboard;

// The desktop's clipboard (not the primary selection): text, with text/html and text/uri-list
// beside it. On X11 another program's content is read by an X11SelectionReader off the GUI
// thread, and this program's own content from QClipboard, which has it at hand; off X11
// QClipboard reads everything.
class X11Clipboard final : public DesktopClipboard {
 public:
  X11Clipboard();

  // Counts the clipboard's change notifications; QClipboard has no number of its own.
  std::uint32_t SequenceNumber() override { return changes_; }
  ReadResult Read(RequestId request, std::u16string_view rich_if_containing) override;
  WriteResult Replace(RequestId request, ContentView current, std::uint32_t expected_sequence,
                      ContentView replacement) override;
  WriteResult TakeBack(RequestId request, ContentView conversion, std::uint32_t conversion_sequence,
                       ContentView original) override;
  std::optional<Delivered> TakeDelivered() override;
  std::unique_ptr<ClipboardWatch> Watch(ClipboardEvents events,
                                        std::function<bool()> ending) override;
  // Off X11 in a Wayland session, Qt reads the clipboard only for a focused window of its own.
  bool SeesOtherProgramsCopies() const override;

  // Runs on the GUI thread once a Pending read has its result (empty: nothing runs).
  void OnDelivered(std::function<void()> handler) { on_delivered_ = std::move(handler); }

 private:
  struct Fetching {
    RequestId request = 0;
    std::uint32_t sequence = 0;  // of the content the fetch is about
    std::u16string asked_with;
  };

  ReadResult ReadNow(RequestId request, std::u16string_view rich_if_containing);
  ReadResult ReadThroughQt(std::u16string_view rich_if_containing);
  ReadResult ReadOwnContent(std::uint32_t owner, std::u16string_view rich_if_containing);
  void Answered(SelectionAnswer answer);
  WriteResult Put(RequestId request, bool on_x11, ContentView content);

  QObject context_;  // ends the change connection with this object
  std::uint32_t changes_ = 1;
  QPointer<QMimeData> ours_;  // what this program put there, while the clipboard keeps it
  std::function<void()> on_delivered_;
  // The content last read, which a write must still find there: its change count, its X11
  // owner and, for another program's content, the owner changes the reader had seen then.
  std::uint32_t read_sequence_ = 0;
  std::uint32_t read_owner_ = 0;
  std::optional<std::uint64_t> read_owner_changes_;
  std::optional<Fetching> fetching_;
  DeliveredResults delivered_;
  std::unique_ptr<X11SelectionReader> reader_;  // last: its thread ends before the rest goes
};

// The clipboard's change signal (not the selection's) and its deliveries, while this lives.
class X11ClipboardWatch final : public ClipboardWatch {
 public:
  X11ClipboardWatch(X11Clipboard& clipboard, ClipboardEvents events, std::function<bool()> ending);
  ~X11ClipboardWatch() override;
  X11ClipboardWatch(const X11ClipboardWatch&) = delete;
  X11ClipboardWatch& operator=(const X11ClipboardWatch&) = delete;

  // The sequence number counts the very signal that calls on_change.
  bool TellsEveryChange() const override { return true; }

 private:
  X11Clipboard& clipboard_;
  QObject context_;  // ends the connection with this object
};

}  // namespace tllink::platform::x11
