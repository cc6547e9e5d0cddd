#pragma once

#include <QObject>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "platform/clipboard.h"
#include "platform/desktop/unique_fd.h"
#include "platform/wayland/wayland_data_control.h"
#include "platform/wayland/wayland_display.h"
#include "platform/wayland/wayland_pipe.h"
#include "platform/wayland/wayland_selection_fetch.h"

namespace tllink::platform::wayland {

using desktop::UniqueFd;

struct WaylandReadAnswer {
  std::uint64_t request = 0;  // the Read() it answers
  Clipboard::ReadStatus status = Clipboard::ReadStatus::Failed;
  std::u16string text;
  std::uint32_t sequence = 0;    // of the content that was read
  std::vector<RichFormat> rich;  // when the text contains what the read asked for
  std::u16string asked_with;     // what the read asked for
};

struct WaylandWriteRequest {
  std::uint64_t request = 0;
  std::uint32_t expected_sequence = 0;
  bool only_over_own = false;  // only while this program's own source is the selection
  std::u16string text;
  std::vector<RichFormat> rich;
};

struct WaylandWriteAnswer {
  std::uint64_t request = 0;  // the Write() it answers
  Clipboard::WriteStatus status = Clipboard::WriteStatus::Failed;
  std::uint32_t sequence = 0;  // Ok: of the selection the write made
};

// The clipboard of a Wayland session, watched, read and set through the compositor's data
// control on a connection and a thread of their own: it works whichever Qt platform the windows
// use, and an owner slow to hand over its content never holds up the GUI thread. The thread
// sleeps until the compositor, a pipe or the GUI thread has something for it. Handlers run on
// the thread that started it, through its event loop.
class WaylandSelectionThread final : private DataControl::Events {
  struct Passkey {
    explicit Passkey() = default;
  };

 public:
  using Clock = std::chrono::steady_clock;

  struct Handlers {
    std::function<void()> on_change;  // the selection changed, whoever changed it
    std::function<void(WaylandReadAnswer)> on_read;
    std::function<void(WaylandWriteAnswer)> on_write;
  };

  // Connects to the session's compositor and starts the thread; nothing outside a Wayland
  // session or where the compositor offers no data control.
  static std::unique_ptr<WaylandSelectionThread> Start(Handlers handlers);

  WaylandSelectionThread(Passkey, WaylandDisplay display, UniqueFd wake, Handlers handlers);
  ~WaylandSelectionThread();
  WaylandSelectionThread(const WaylandSelectionThread&) = delete;
  WaylandSelectionThread& operator=(const WaylandSelectionThread&) = delete;

  // Moves at every change of the selection (any thread).
  std::uint32_t Sequence() const { return sequence_.load(); }
  // Reads the current content, with its rich formats when its text contains
  // `rich_if_containing`. Its answer comes unless the selection changes first (the change is
  // told instead) or another Read() comes.
  void Read(std::uint64_t request, std::u16string rich_if_containing);
  // Makes the request's text and rich formats the selection, unless the selection has moved on
  // from its expected sequence (or, when asked, is no longer this program's own).
  void Write(WaylandWriteRequest request);

 private:
  struct ReadRequest {
    std::uint64_t request = 0;
    std::u16string rich_if_containing;
  };
  using WriteRequest = WaylandWriteRequest;
  // What this program put on the clipboard: its text served as UTF-8 and its rich formats as
  // given, read back as they were given.
  struct OwnContent {
    std::string utf8;
    std::u16string text;
    std::vector<RichFormat> rich;
    // The bytes served to a program that pastes it as `mime_type`; nothing for a type never
    // offered, or the mark.
    const std::string* ServedAs(std::string_view mime_type) const;
  };
  struct Current {
    std::uint32_t sequence = 0;
    std::optional<std::vector<std::string>> mime_types;  // nothing: the selection is empty
    bool ours = false;
  };
  struct Fetching {
    Fetching(ReadRequest read, const Current& current, DataControl& control, Clock::time_point now)
        : request(read.request),
          sequence(current.sequence),
          asked_with(read.rich_if_containing),
          fetch(*current.mime_types, control, now, std::move(read.rich_if_containing)) {}
    std::uint64_t request;
    std::uint32_t sequence;
    std::u16string asked_with;
    WaylandSelectionFetch fetch;
  };
  struct Writing {
    std::uint64_t request = 0;
    DataControl::SourceId source = 0;
  };
  struct Sending {
    OutgoingPipe pipe;
    Clock::time_point deadline;
  };

  // DataControl::Events: on the thread, or in Start() before it runs.
  void Selection(std::optional<std::vector<std::string>> mime_types) override;
  void Send(DataControl::SourceId source, const std::string& mime_type, UniqueFd fd) override;
  void Cancelled(DataControl::SourceId source) override;
  void Finished() override;

  void Run();
  void StartRead(ReadRequest request, Clock::time_point now);
  void StartWrite(WriteRequest request);
  void AnswerFetchIfFinished();
  // Runs `step`; should it throw (out of memory on a huge copy), the requests under way fail
  // and the thread goes on.
  template <typename Step>
  void Guarded(Step step);
  void FailRequests();
  void Lost();  // the compositor or the seat has gone
  void Answer(WaylandReadAnswer answer);
  void Answer(WaylandWriteAnswer answer);
  void Wake();

  QObject gui_context_;  // handlers are queued to its thread; those not run yet go with it
  Handlers handlers_;
  WaylandDisplay display_;
  std::unique_ptr<DataControl> control_;  // after display_: gone before it
  UniqueFd wake_;                         // an eventfd: a request from the GUI thread, or the end
  std::atomic<std::uint32_t> sequence_{0};

  // The thread's own.
  Current current_;
  bool lost_ = false;
  std::optional<Fetching> fetching_;
  std::optional<Writing> writing_;
  std::map<DataControl::SourceId, std::shared_ptr<const OwnContent>> sources_;
  std::optional<DataControl::SourceId> live_source_;  // the latest, until cancelled
  std::vector<Sending> sending_;

  std::mutex mutex_;
  std::optional<ReadRequest> wanted_read_;    // guarded by mutex_
  std::optional<WriteRequest> wanted_write_;  // guarded by mutex_
  bool stopping_ = false;                     // guarded by mutex_

  std::thread thread_;  // last: everything above exists while it runs
};

}  // namespace tllink::platform::wayland
