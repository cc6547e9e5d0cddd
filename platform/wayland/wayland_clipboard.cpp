#include "platform/wayland/wayland_clipboard.h"

#include <string>
#include <utility>
#include <vector>

namespace tllink::platform::wayland {

namespace {

// Ends the clipboard's notices with the watch.
class WaylandClipboardWatch final : public ClipboardWatch {
 public:
  explicit WaylandClipboardWatch(std::function<void()> on_end) : on_end_(std::move(on_end)) {}
  ~WaylandClipboardWatch() override { on_end_(); }
  WaylandClipboardWatch(const WaylandClipboardWatch&) = delete;
  WaylandClipboardWatch& operator=(const WaylandClipboardWatch&) = delete;
  // Each selection event moves the sequence number and is told on the GUI thread.
  bool TellsEveryChange() const override { return true; }

 private:
  std::function<void()> on_end_;
};

Clipboard::ReadResult Pending(std::uint32_t sequence) {
  Clipboard::ReadResult result;
  result.status = Clipboard::ReadStatus::Pending;
  result.sequence = sequence;
  return result;
}

}  // namespace

std::unique_ptr<WaylandClipboard> WaylandClipboard::Open() {
  auto clipboard = std::make_unique<WaylandClipboard>(Passkey{});
  WaylandClipboard* self = clipboard.get();
  clipboard->thread_ = WaylandSelectionThread::Start({
      .on_change = [self] { self->Changed(); },
      .on_read = [self](WaylandReadAnswer answer) { self->Answered(std::move(answer)); },
      .on_write = [self](WaylandWriteAnswer answer) { self->Answered(answer); },
  });
  if (clipboard->thread_ == nullptr) return nullptr;
  return clipboard;
}

Clipboard::ReadResult WaylandClipboard::ReadText(std::u16string_view rich_if_containing) {
  const std::uint32_t now = thread_->Sequence();
  if (read_) {
    WaylandReadAnswer answer = std::move(*read_);
    read_.reset();
    // An answer about content that has gone is of no use: the current content is read instead.
    if (answer.sequence == now) {
      ReadResult result;
      result.status = answer.status;
      result.text = std::move(answer.text);
      result.rich = std::move(answer.rich);
      result.sequence = answer.sequence;
      return result;
    }
  }
  // Asked already: the answer runs the tick.
  if (reading_ && reading_->sequence == now) return Pending(now);
  reading_ = Reading{++last_request_, now};
  thread_->Read(reading_->request, std::u16string(rich_if_containing));
  return Pending(now);
}

Clipboard::WriteResult WaylandClipboard::ReplaceContent(ContentView /*current*/,
                                                        std::uint32_t expected_sequence,
                                                        ContentView replacement) {
  // On Wayland a write that does not take leaves the other program's content where it was:
  // nothing to put back.
  if (written_ && written_->expected_sequence == expected_sequence) {
    const WriteResult result = written_->result;
    written_.reset();
    return result;
  }
  WriteResult result;
  if (writing_ && writing_->expected_sequence == expected_sequence) {
    result.status = WriteStatus::Pending;
    return result;
  }
  if (thread_->Sequence() != expected_sequence) {
    result.status = WriteStatus::Changed;
    return result;
  }
  written_.reset();
  writing_ = Writing{++last_request_, expected_sequence};
  thread_->Write(writing_->request, expected_sequence, std::u16string(replacement.text),
                 std::vector<RichFormat>(replacement.rich.begin(), replacement.rich.end()));
  result.status = WriteStatus::Pending;
  return result;
}

std::unique_ptr<ClipboardWatch> WaylandClipboard::Watch(ClipboardEvents events,
                                                        std::function<bool()> ending) {
  events_ = std::move(events);
  ending_ = std::move(ending);
  return std::make_unique<WaylandClipboardWatch>([this] {
    events_ = {};
    ending_ = nullptr;
  });
}

void WaylandClipboard::Changed() {
  if (events_.on_change && !ending_()) events_.on_change();
}

void WaylandClipboard::Answered(WaylandReadAnswer answer) {
  if (!reading_ || answer.request != reading_->request) return;  // asked again since
  reading_.reset();
  read_ = std::move(answer);
  if (events_.on_delivered && !ending_()) events_.on_delivered();
}

void WaylandClipboard::Answered(WaylandWriteAnswer answer) {
  if (!writing_ || answer.request != writing_->request) return;
  WriteResult result;
  result.status = answer.status;
  result.sequence = answer.sequence;
  written_ = Written{writing_->expected_sequence, result};
  writing_.reset();
  if (events_.on_delivered && !ending_()) events_.on_delivered();
}

}  // namespace tllink::platform::wayland
