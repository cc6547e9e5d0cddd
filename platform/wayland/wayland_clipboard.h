#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

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
  ReadResult ReadText(std::u16string_view rich_if_containing) override;
  WriteResult ReplaceContent(ContentView current, std::uint32_t expected_sequence,
                             ContentView replacement) override;
  std::unique_ptr<ClipboardWatch> Watch(ClipboardEvents events,
                                        std::function<bool()> ending) override;

 private:
  struct Reading {
    std::uint64_t request = 0;
    std::uint32_t sequence = 0;  // when it was asked for
  };
  struct Writing {
    std::uint64_t request = 0;
    std::uint32_t expected_sequence = 0;
  };
  struct Written {
    std::uint32_t expected_sequence = 0;
    WriteResult result;
  };

  void Changed();
  void Answered(WaylandReadAnswer answer);
  void Answered(WaylandWriteAnswer answer);

  ClipboardEvents events_;
  std::function<bool()> ending_;
  std::uint64_t last_request_ = 0;
  std::optional<Reading> reading_;
  std::optional<WaylandReadAnswer> read_;
  std::optional<Writing> writing_;
  std::optional<Written> written_;
  std::unique_ptr<WaylandSelectionThread> thread_;  // last: its handlers go before the rest
};

}  // namespace tllink::platform::wayland
