#pragma once

#include <wayland-client-core.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/desktop/unique_fd.h"

namespace tllink::platform::wayland {

using desktop::UniqueFd;

// A seat's clipboard (the selection, not the primary selection) through the compositor's
// data-control protocol, which lets a program without a focused window, or any window, watch,
// read and set it: the standard ext protocol where the compositor offers it, else the wlroots
// one. Used by the one thread that dispatches the display's events.
class DataControl {
 public:
  using SourceId = std::uint64_t;

  // What the compositor tells, while the display's events are dispatched.
  class Events {
   public:
    // The selection changed: the MIME types its content is offered as, or nothing when the
    // selection is empty.
    virtual void Selection(std::optional<std::vector<std::string>> mime_types) = 0;
    // Another program pastes: the content of `source` is wanted as `mime_type`, written into
    // `fd`, which is then closed.
    virtual void Send(SourceId source, const std::string& mime_type, UniqueFd fd) = 0;
    // `source` is no longer the selection, or never became it; it is gone after this.
    virtual void Cancelled(SourceId source) = 0;
    // The seat went away: nothing more can be watched, read or set.
    virtual void Finished() = 0;

   protected:
    ~Events() = default;
  };

  virtual ~DataControl() = default;

  // Asks the selection's owner to write its content as `mime_type` into `fd`. The request
  // carries a copy of `fd`: the caller closes its own. False when the selection is empty.
  virtual bool Receive(const std::string& mime_type, int fd) = 0;
  // A new source of this program, offering `mime_types`, becomes the selection.
  virtual SourceId SetSelection(std::span<const std::string> mime_types) = 0;
};

// Binds the first seat and the data-control manager that `display` offers, and the seat's data
// device, with round trips to the compositor (the current selection is reported during them);
// nothing when the compositor offers no data control or no seat. `events` must outlive the
// result, and `display` too.
std::unique_ptr<DataControl> BindDataControl(wl_display* display, DataControl::Events& events);

}  // namespace tllink::platform::wayland
