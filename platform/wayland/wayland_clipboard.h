#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "platform/delivered_results.h"
#include "platform/desktop/desktop_clipboard.h"
#include "platform/wayland/wayland_selection_thread.h"

namespace tllink::platform::wayland {

using desktop::DesktopClipboard;

// The clipboard of a Wayland session whose compositor offers data control. Reads and writes
// go to a WaylandSelectionThread and are Pending until it answers.
class WaylandClipboard final : public DesktopClipboard {
  struct Passkey {
    explicit Passkey() = default;
  };

 public:
  // Nothing outside a Wayland session or where the compositor offers no data control.
  static std::unique_ptr<WaylandClipboard> Open();

  explicit WaylandClipboard(Passkey) {}
  WaylandClipboard(const WaylandClipboard&) = delete;
  WaylandClipboard& operator=(const WaylandClipboard&) = delete;

  std::uint32_t SequenceNumber() override { return thread_->Sequence(); }
  ReadResult Read(RequestId request, std::u16string_view rich_if_containing) override;
  WriteResult Replace(RequestId request, ContentView current, std::uint32_t expected_sequence,
                      ContentView replacement) override;
  WriteResult TakeBack(RequestId request, ContentView conversion, std::uint32_t conversion_sequence,
                       ContentView original) override;
  std::optional<Delivered> TakeDelivered() override;
  std::unique_ptr<ClipboardWatch> Watch(ClipboardEvents events,
                                        std::function<bool()> ending) override;

 private:
  WriteResult StartWrite(RequestId request, std::uint32_t expected_sequence, ContentView content,
                         bool only_over_own);
  void Changed();
  void Answered(WaylandReadAnswer answer);
  void Answered(WaylandWriteAnswer answer);

  ClipboardEvents events_;
  std::function<bool()> ending_;
  RequestId reading_ = 0;  // the read whose answer is wanted, if any
  RequestId writing_ = 0;
  DeliveredResults delivered_;
  std::unique_ptr<WaylandSelectionThread> thread_;  // last: its handlers go before the rest
};

}  // namespace tllink::platform::wayland
