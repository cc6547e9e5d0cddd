#pragma once

#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "platform/clipboard.h"
#include "platform/x11/x11_clipboard_formats.h"
#include "platform/x11/x11_handles.h"

namespace tllink::platform::x11 {

// One read of another program's CLIPBOARD content (ICCCM), driven by the events of a
// connection that nothing else reads: who owns it, a server timestamp, TARGETS, then what the
// program must know (password-manager mark, files) and the text, large ones in INCR chunks.
// It has a window of its own for the answers, gone with it, so that an owner answering after
// the fetch was dropped can never write into a later one.
class SelectionFetch {
 public:
  using Clock = std::chrono::steady_clock;
  // How long an owner may go without answering before the fetch gives up on it.
  static constexpr std::chrono::seconds kPatience{5};
  // How long a whole fetch may take, however steadily the owner drips its content: an owner
  // must not keep a fetch, and the ticks waiting for it, alive for ever.
  static constexpr std::chrono::seconds kLimit{30};
  // Beyond this a text is no clipboard text the program could rewrite in reasonable memory.
  static constexpr std::size_t kMaxBytes = std::size_t{256} << 20;

  struct Connection {
    xcb_connection_t* connection;
    xcb_window_t root;
    const ClipboardAtoms* atoms;
  };

  // Asks the X server (not the owner) who owns the clipboard, and starts. The content's
  // text/html and text/uri-list are kept too when its text contains `rich_if_containing`.
  SelectionFetch(Connection x, Clock::time_point now, std::u16string rich_if_containing);

  // Every event of the connection but XFixes selection events goes here.
  void Handle(const xcb_generic_event_t& event, Clock::time_point now);
  // An XFixes change of the clipboard's owner; `event_sequence` is the event's full sequence.
  void OwnerChanged(std::uint32_t event_sequence);
  void CheckDeadline(Clock::time_point now);

  bool Finished() const { return step_ == Step::kDone; }
  Clock::time_point Deadline() const { return std::min(deadline_, limit_); }
  Clipboard::ReadStatus Status() const { return status_; }
  std::u16string TakeText() { return std::move(text_); }
  std::vector<RichFormat> TakeRich() { return std::move(rich_); }
  xcb_window_t Owner() const { return owner_; }

 private:
  enum class Step { kTime, kAnswer, kIncr, kDone };
  enum class Ask { kTargets, kPasswordHint, kUriList, kText, kHtml };

  void Convert(Ask ask);
  void Received();  // the property holds the whole answer to the current ask
  void Refused();   // the owner has no such format
  void Next();      // asks the next question, or finishes without text
  void ReadChunk();
  void Finish(Clipboard::ReadStatus status);
  xcb_atom_t TargetOf(Ask ask) const;

  Connection x_;
  XcbWindow requestor_;
  xcb_window_t owner_ = XCB_WINDOW_NONE;
  std::uint32_t owner_request_ = 0;  // sequence of the owner query: later changes are news
  xcb_timestamp_t time_ = XCB_CURRENT_TIME;
  Step step_ = Step::kTime;
  Ask ask_ = Ask::kTargets;
  std::deque<Ask> plan_;
  ClipboardOffer offer_;
  std::string data_;
  std::uint8_t format_ = 0;  // of data_: 8 for text, 32 for atoms
  Clock::time_point deadline_;
  Clock::time_point limit_;
  Clipboard::ReadStatus status_ = Clipboard::ReadStatus::Failed;
  std::u16string text_;
  std::u16string rich_if_containing_;
  std::string uri_list_;  // kept for the rich formats, should the text call for them
  std::vector<RichFormat> rich_;
};

}  // namespace tllink::platform::x11
