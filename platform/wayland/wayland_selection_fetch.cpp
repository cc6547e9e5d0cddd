#include "platform/wayland/wayland_selection_fetch.h"

#include <utility>

namespace tllink::platform::wayland {

using desktop::DecodeText;
using desktop::ListsOnlyLocalFiles;
using desktop::MarksSecret;

using ReadStatus = Clipboard::ReadStatus;

WaylandSelectionFetch::WaylandSelectionFetch(std::span<const std::string> mime_types,
                                             DataControl& control, Clock::time_point now,
                                             std::u16string rich_if_containing)
    : control_(control),
      offer_(ReadWaylandOffer(mime_types)),
      deadline_(now + kPatience),
      limit_(now + kLimit),
      rich_if_containing_(std::move(rich_if_containing)) {
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
  asked_ = mime_type;
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
  if (!finished_ && now >= Deadline()) Finish(ReadStatus::NoText);
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
      uri_list_ = std::move(bytes);
      Next();
    }
  } else if (asked_ == kHtmlType) {
    // An owner that offers a type it does not serve closes the pipe empty: nothing to keep.
    if (!bytes.empty()) rich_.push_back(RichFormat{std::string(kHtmlType), std::move(bytes)});
    Finish(ReadStatus::Ok);
  } else {
    std::optional<std::u16string> text = DecodeText(bytes, offer_.text_encoding);
    if (!text) {
      Finish(ReadStatus::NoText);
      return;
    }
    text_ = std::move(*text);
    // Only a copy that is converted needs its rich formats; the owner may make them on request.
    if (!rich_if_containing_.empty() && text_.find(rich_if_containing_) != std::u16string::npos) {
      if (!uri_list_.empty()) {
        rich_.push_back(RichFormat{std::string(kUriListType), std::move(uri_list_)});
      }
      if (offer_.html) {
        Ask(std::string(kHtmlType));
        return;
      }
    }
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
  // With the text in hand, HTML that does not come (silence, too large, a broken pipe) is left
  // out, not the copy.
  if (!finished_ && asked_ == kHtmlType) status = ReadStatus::Ok;
  status_ = status;
  finished_ = true;
  plan_.clear();
  pipe_.reset();  // whatever the owner still writes goes nowhere
}

}  // namespace tllink::platform::wayland
