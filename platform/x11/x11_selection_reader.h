#pragma once

#include <xcb/xcb.h>

#include <QObject>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/clipboard.h"
#include "platform/x11/x11_clipboard_formats.h"
#include "platform/x11/x11_handles.h"

namespace tllink::platform::x11 {

using desktop::UniqueFd;

// What a fetch of another program's clipboard content came to.
struct SelectionAnswer {
  std::uint64_t request = 0;  // the Fetch() it answers
  Clipboard::ReadStatus status = Clipboard::ReadStatus::Failed;
  std::u16string text;
  std::vector<RichFormat> rich;
  xcb_window_t owner = XCB_WINDOW_NONE;  // the window the text came from
  std::uint64_t owner_changes = 0;       // OwnerChanges() when the text was there
};

// Reads other programs' CLIPBOARD content on a connection and a thread of its own, so that
// an owner slow to answer, or silent, never holds up the GUI thread. One fetch at a time; a
// new one drops the one under way. Answers reach the thread that made the reader through its
// event loop.
class X11SelectionReader {
  struct Passkey {
    explicit Passkey() = default;
  };

 public:
  using AnswerHandler = std::function<void(SelectionAnswer)>;

  // Connects to the X server `display` names (nullptr: $DISPLAY) and starts the thread;
  // nothing when the server cannot be reached or lacks XFixes.
  static std::unique_ptr<X11SelectionReader> Start(const char* display, AnswerHandler on_answer);

  X11SelectionReader(Passkey, XcbConnection connection, xcb_window_t root, ClipboardAtoms atoms,
                     std::uint8_t xfixes_first_event, UniqueFd wake, AnswerHandler on_answer);
  ~X11SelectionReader();
  X11SelectionReader(const X11SelectionReader&) = delete;
  X11SelectionReader& operator=(const X11SelectionReader&) = delete;

  // Reads the current content, with its rich formats when its text contains
  // `rich_if_containing`; its answer comes once there, unless another Fetch() came first.
  void Fetch(std::uint64_t request, std::u16string rich_if_containing);
  // Moves at every change of the clipboard's owner the reader has seen (any thread).
  std::uint64_t OwnerChanges() const { return owner_changes_.load(); }

 private:
  void Run();
  void Deliver(SelectionAnswer answer);

  QObject gui_context_;  // answers are queued to its thread
  AnswerHandler on_answer_;
  XcbConnection connection_;
  xcb_window_t root_;
  ClipboardAtoms atoms_;
  std::uint8_t xfixes_first_event_;
  UniqueFd wake_;  // an eventfd: a new fetch, or the end
  std::atomic<std::uint64_t> owner_changes_{0};

  std::mutex mutex_;
  struct Wanted {
    std::uint64_t request = 0;
    std::u16string rich_if_containing;
  };
  std::optional<Wanted> wanted_;  // guarded by mutex_
  bool stopping_ = false;         // guarded by mutex_

  std::thread thread_;  // last: everything above exists while it runs
};

}  // namespace tllink::platform::x11
