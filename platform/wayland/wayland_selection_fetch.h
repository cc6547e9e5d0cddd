#pragma once

#include <algorithm>
#include <chrono>
#include <deque>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/clipboard.h"
#include "platform/wayland/wayland_data_control.h"
#include "platform/wayland/wayland_offer.h"
#include "platform/wayland/wayland_pipe.h"

namespace tllink::platform::wayland {

// One read of another program's clipboard content on Wayland: what the program must know
// first (password-manager mark, files), then the text, then the rich formats a conversion
// rewrites, each asked of the owner through a pipe of its own. Whatever the owner writes after
// the fetch is dropped goes into a closed pipe.
class WaylandSelectionFetch {
 public:
  using Clock = std::chrono::steady_clock;
  // How long an owner may go without writing anything before the fetch gives up on it.
  static constexpr std::chrono::seconds kPatience{5};
  // How long a whole fetch may take, however steadily the owner drips its content: an owner
  // must not keep a fetch, and the ticks waiting for it, alive for ever.
  static constexpr std::chrono::seconds kLimit{30};

  // Starts reading the current selection, whose content is offered as `mime_types`. The
  // content's text/html and text/uri-list are kept too when its text contains
  // `rich_if_containing`.
  WaylandSelectionFetch(std::span<const std::string> mime_types, DataControl& control,
                        Clock::time_point now, std::u16string rich_if_containing);

  // The pipe to wait on until the fetch has finished.
  int Fd() const { return pipe_ ? pipe_->Fd() : -1; }
  // The pipe has something (or its end).
  void Readable(Clock::time_point now);
  void CheckDeadline(Clock::time_point now);

  bool Finished() const { return finished_; }
  Clock::time_point Deadline() const { return std::min(deadline_, limit_); }
  Clipboard::ReadStatus Status() const { return status_; }
  std::u16string TakeText() { return std::move(text_); }
  std::vector<RichFormat> TakeRich() { return std::move(rich_); }

 private:
  void Ask(const std::string& mime_type);
  void Received(std::string bytes);
  void Next();
  void Finish(Clipboard::ReadStatus status);

  DataControl& control_;
  WaylandOffer offer_;
  std::deque<std::string> plan_;
  std::string asked_;
  std::optional<IncomingPipe> pipe_;
  Clock::time_point deadline_;
  Clock::time_point limit_;
  bool finished_ = false;
  Clipboard::ReadStatus status_ = Clipboard::ReadStatus::Failed;
  std::u16string text_;
  std::u16string rich_if_containing_;
  std::string uri_list_;  // kept for the rich formats, should the text call for them
  std::vector<RichFormat> rich_;
};

}  // namespace tllink::platform::wayland
