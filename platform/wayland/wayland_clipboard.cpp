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

Clipboard::ReadResult WaylandClipboard::Read(RequestId request,
                                             std::u16string_view rich_if_containing) {
  // A newer request supersedes the one under way: the thread drops that fetch.
  reading_ = request;
  thread_->Read(request, std::u16string(rich_if_containing));
  ReadResult result;
  result.request = request;
  result.status = ReadStatus::Pending;
  result.sequence = thread_->Sequence();
  result.asked_with = rich_if_containing;
  return result;
}

Clipboard::WriteResult WaylandClipboard::Replace(RequestId request, ContentView /*current*/,
                                                 std::uint32_t expected_sequence,
                                                 ContentView replacement) {
  // On Wayland a write that does not take leaves the other program's content where it was:
  // nothing to put back.
  return StartWrite(request, expected_sequence, replacement, false);
}

Clipboard::WriteResult WaylandClipboard::TakeBack(RequestId request, ContentView /*conversion*/,
                                                  std::uint32_t conversion_sequence,
                                                  ContentView original) {
  // Only while this program's source is still the selection: the thread checks.
  return StartWrite(request, conversion_sequence, original, true);
}

Clipboard::WriteResult WaylandClipboard::StartWrite(RequestId request,
                                                    std::uint32_t expected_sequence,
                                                    ContentView content, bool only_over_own) {
  WriteResult result;
  result.request = request;
  if (thread_->Sequence() != expected_sequence) {
    result.status = WriteStatus::Changed;
    return result;
  }
  writing_ = request;
  thread_->Write(
      WaylandWriteRequest{request, expected_sequence, only_over_own, std::u16string(content.text),
                          std::vector<RichFormat>(content.rich.begin(), content.rich.end())});
  result.status = WriteStatus::Pending;
  return result;
}

std::optional<Clipboard::Delivered> WaylandClipboard::TakeDelivered() {
  return delivered_.Take();
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
  if (answer.request != reading_) return;  // asked again since
  reading_ = 0;
  delivered_.Add(ReadResult{answer.request, answer.status, std::move(answer.text),
                            std::move(answer.rich), answer.sequence, std::move(answer.asked_with)});
  if (events_.on_delivered && !ending_()) events_.on_delivered();
}

void WaylandClipboard::Answered(WaylandWriteAnswer answer) {
  if (answer.request != writing_) return;
  writing_ = 0;
  delivered_.Add(WriteResult{answer.request, answer.status, answer.sequence});
  if (events_.on_delivered && !ending_()) events_.on_delivered();
}

}  // namespace tllink::platform::wayland
