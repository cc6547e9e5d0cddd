#include "platform/qt/wayland_selection_fetch.h"

#include <utility>

namespace tllink::platform::qt {

using ReadStatus = Clipboard::ReadStatus;

WaylandSelectionFetch::WaylandSelectionFetch(std::span<const std::string> mime_types,
                                             DataControl& control, Clock::time_point now)
    : control_(control), offer_(ReadWaylandOffer(mime_types)), deadline_(now + kPatience) {
  // Files offered as their paths too, or nothing that is text: nothing to ask the owner.
  if (offer_.gnome_copied_files || offer_.text_type.empty()) {
    Finish(ReadStatus::NoText);
    return;
  }
  if (offer_.password_hint) plan_.emplace_back(kPasswordHintType);
  if (offer_.uri_list) plan_.emplace_back(kUriListType);
  plan_.push_back(offer_.text_type);
  Next();
}

void WaylandSelectionFetch::Ask(const std::string& mime_type) {
  auto pipe = IncomingPipe::Open();
  if (!pipe) {
    Finish(ReadStatus::Failed);
    return;
  }
  // The request carries a copy of the write end; the owner's is the only one left after this.
  if (!control_.Receive(mime_type, pipe->second.Get())) {
    Finish(ReadStatus::NoText);
    return;
  }
  asked_ = mime_type;
  pipe_.emplace(std::move(pipe->first));
}

void WaylandSelectionFetch::Readable(Clock::time_point now) {
  if (finished_ || !pipe_) return;
  deadline_ = now + kPatience;
  switch (pipe_->Read()) {
    case IncomingPipe::State::kOpen:
      return;
    case IncomingPipe::State::kEnded:
      Received(pipe_->TakeBytes());
      return;
    case IncomingPipe::State::kTooLarge:
      Finish(ReadStatus::NoText);
      return;
    case IncomingPipe::State::kFailed:
      Finish(ReadStatus::Failed);
      return;
  }
}

void WaylandSelectionFetch::CheckDeadline(Clock::time_point now) {
  // An owner that never writes: its content is given up, as one without text.
  if (!finished_ && now >= deadline_) Finish(ReadStatus::NoText);
}

void WaylandSelectionFetch::Received(std::string bytes) {
  pipe_.reset();
  if (asked_ == kPasswordHintType) {
    if (MarksSecret(bytes)) {
      Finish(ReadStatus::Excluded);
    } else {
      Next();
    }
  } else if (asked_ == kUriListType) {
    if (ListsOnlyLocalFiles(bytes)) {
      Finish(ReadStatus::NoText);
    } else {
      Next();
    }
  } else {
    std::optional<std::u16string> text = DecodeText(bytes, offer_.text_encoding);
    if (!text) {
      Finish(ReadStatus::NoText);
      return;
    }
    text_ = std::move(*text);
    Finish(ReadStatus::Ok);
  }
}

void WaylandSelectionFetch::Next() {
  if (plan_.empty()) {
    Finish(ReadStatus::NoText);
    return;
  }
  const std::string next = std::move(plan_.front());
  plan_.pop_front();
  Ask(next);
}

void WaylandSelectionFetch::Finish(ReadStatus status) {
  status_ = status;
  finished_ = true;
  plan_.clear();
  pipe_.reset();  // whatever the owner still writes goes nowhere
}

}  // namespace tllink::platform::qt
