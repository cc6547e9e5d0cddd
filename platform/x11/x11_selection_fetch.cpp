#include "platform/x11/x11_selection_fetch.h"

#include <cstring>
#include <string_view>
#include <utility>
#include <vector>

namespace tllink::platform::x11 {

using desktop::DecodeText;
using desktop::ListsOnlyLocalFiles;
using desktop::MarksSecret;

namespace {

using ReadStatus = Clipboard::ReadStatus;

// Takes the whole property off the window (deleting it, which is what moves an INCR transfer
// on). A round trip to the X server only.
XcbPointer<xcb_get_property_reply_t> TakeProperty(xcb_connection_t* connection, xcb_window_t window,
                                                  xcb_atom_t property) {
  constexpr auto kMaxLongs = static_cast<std::uint32_t>(SelectionFetch::kMaxBytes / 4);
  return XcbPointer<xcb_get_property_reply_t>(xcb_get_property_reply(
      connection,
      xcb_get_property(connection, 1, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, kMaxLongs),
      nullptr));
}

std::string_view ValueOf(const xcb_get_property_reply_t& reply) {
  // xcb's accessor takes a non-const pointer but only reads.
  auto& mutable_reply = const_cast<xcb_get_property_reply_t&>(reply);
  return {static_cast<const char*>(xcb_get_property_value(&mutable_reply)),
          static_cast<std::size_t>(xcb_get_property_value_length(&mutable_reply))};
}

}  // namespace

SelectionFetch::SelectionFetch(Connection x, Clock::time_point now,
                               std::u16string rich_if_containing)
    : x_(x),
      deadline_(now + kPatience),
      limit_(now + kLimit),
      rich_if_containing_(std::move(rich_if_containing)) {
  xcb_connection_t* connection = x_.connection;
  const xcb_get_selection_owner_cookie_t owner =
      xcb_get_selection_owner(connection, x_.atoms->clipboard);
  owner_request_ = owner.sequence;
  // The window for the answers, and a property touched on it for a server timestamp: asked
  // after the owner, that time is no older than the owner's ownership, so the owner does not
  // refuse the request as out of date.
  const xcb_window_t window = xcb_generate_id(connection);
  const std::uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
  xcb_create_window(connection, 0, window, x_.root, 0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                    XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &events);
  requestor_ = XcbWindow(connection, window);
  xcb_change_property(connection, XCB_PROP_MODE_APPEND, window, x_.atoms->time_property,
                      XCB_ATOM_STRING, 8, 0, nullptr);
  const XcbPointer<xcb_get_selection_owner_reply_t> reply(
      xcb_get_selection_owner_reply(connection, owner, nullptr));
  if (reply == nullptr || reply->owner == XCB_WINDOW_NONE) {
    Finish(ReadStatus::NoText);
    return;
  }
  owner_ = reply->owner;
}

void SelectionFetch::Handle(const xcb_generic_event_t& event, Clock::time_point now) {
  if (Finished()) return;
  switch (event.response_type & 0x7f) {
    case XCB_PROPERTY_NOTIFY: {
      const auto& notify = reinterpret_cast<const xcb_property_notify_event_t&>(event);
      if (notify.window != requestor_.Id() || notify.state != XCB_PROPERTY_NEW_VALUE) return;
      if (step_ == Step::kTime && notify.atom == x_.atoms->time_property) {
        time_ = notify.time;
        deadline_ = now + kPatience;
        Convert(Ask::kTargets);
      } else if (step_ == Step::kIncr && notify.atom == x_.atoms->transfer_property) {
        deadline_ = now + kPatience;
        ReadChunk();
      }
      return;
    }
    case XCB_SELECTION_NOTIFY: {
      // One question at a time, on a window of this fetch alone: whatever comes is its answer.
      const auto& notify = reinterpret_cast<const xcb_selection_notify_event_t&>(event);
      if (step_ != Step::kAnswer || notify.requestor != requestor_.Id()) return;
      deadline_ = now + kPatience;
      if (notify.property == XCB_ATOM_NONE) {
        Refused();
        return;
      }
      const auto reply = TakeProperty(x_.connection, requestor_.Id(), x_.atoms->transfer_property);
      if (reply == nullptr || reply->bytes_after != 0) {
        Finish(ReadStatus::NoText);
      } else if (reply->type == XCB_ATOM_NONE) {
        Refused();
      } else if (reply->type == x_.atoms->incr) {
        step_ = Step::kIncr;  // taking the property away asked for the first chunk
      } else {
        data_.assign(ValueOf(*reply));
        format_ = reply->format;
        Received();
      }
      return;
    }
    default:
      return;
  }
}

void SelectionFetch::ReadChunk() {
  const auto reply = TakeProperty(x_.connection, requestor_.Id(), x_.atoms->transfer_property);
  if (reply == nullptr) {
    Finish(ReadStatus::NoText);
    return;
  }
  if (reply->type == XCB_ATOM_NONE) return;  // already taken: not a new chunk
  const std::string_view chunk = ValueOf(*reply);
  if (chunk.empty()) {
    Received();  // an empty chunk ends the transfer
    return;
  }
  if (reply->bytes_after != 0 || chunk.size() > kMaxBytes - data_.size()) {
    Finish(ReadStatus::NoText);
    return;
  }
  data_.append(chunk);
  format_ = reply->format;
}

void SelectionFetch::OwnerChanged(std::uint32_t event_sequence) {
  // A change the owner query already saw is no news; one after it means the content being
  // read has gone. (Sequence numbers wrap.)
  if (Finished() || static_cast<std::int32_t>(event_sequence - owner_request_) < 0) return;
  Finish(ReadStatus::Busy);
}

void SelectionFetch::CheckDeadline(Clock::time_point now) {
  if (!Finished() && now >= Deadline()) Finish(ReadStatus::NoText);
}

void SelectionFetch::Convert(Ask ask) {
  ask_ = ask;
  step_ = Step::kAnswer;
  data_.clear();
  xcb_convert_selection(x_.connection, requestor_.Id(), x_.atoms->clipboard, TargetOf(ask),
                        x_.atoms->transfer_property, time_);
}

xcb_atom_t SelectionFetch::TargetOf(Ask ask) const {
  switch (ask) {
    case Ask::kTargets:
      return x_.atoms->targets;
    case Ask::kPasswordHint:
      return x_.atoms->password_hint;
    case Ask::kUriList:
      return x_.atoms->uri_list;
    case Ask::kHtml:
      return x_.atoms->html;
    case Ask::kText:
      break;
  }
  return offer_.text_target;
}

void SelectionFetch::Received() {
  switch (ask_) {
    case Ask::kTargets: {
      if (format_ != 32) {
        Finish(ReadStatus::NoText);
        return;
      }
      std::vector<xcb_atom_t> targets(data_.size() / sizeof(xcb_atom_t));
      std::memcpy(targets.data(), data_.data(), targets.size() * sizeof(xcb_atom_t));
      offer_ = ReadOffer(targets, *x_.atoms);
      // Files offered as their paths too, or nothing that is text: nothing to ask further.
      if (offer_.gnome_copied_files || offer_.text_target == XCB_ATOM_NONE) {
        Finish(ReadStatus::NoText);
        return;
      }
      if (offer_.password_hint) plan_.push_back(Ask::kPasswordHint);
      if (offer_.uri_list) plan_.push_back(Ask::kUriList);
      plan_.push_back(Ask::kText);
      Next();
      return;
    }
    case Ask::kPasswordHint:
      if (MarksSecret(data_)) {
        Finish(ReadStatus::Excluded);
      } else {
        Next();
      }
      return;
    case Ask::kUriList:
      if (ListsOnlyLocalFiles(data_)) {
        Finish(ReadStatus::NoText);
      } else {
        uri_list_ = std::move(data_);
        Next();
      }
      return;
    case Ask::kText: {
      std::optional<std::u16string> text = DecodeText(data_, offer_.text_encoding);
      std::string().swap(data_);  // gone before the rich formats come
      if (!text) {
        Finish(ReadStatus::NoText);
        return;
      }
      text_ = std::move(*text);
      // Only a copy that is converted needs its rich formats; the owner may make them on request.
      if (!rich_if_containing_.empty() && text_.find(rich_if_containing_) != std::u16string::npos) {
        if (offer_.uri_list) rich_.push_back(RichFormat{"text/uri-list", std::move(uri_list_)});
        if (offer_.html) plan_.push_back(Ask::kHtml);
      }
      if (plan_.empty()) {
        Finish(ReadStatus::Ok);
      } else {
        Next();
      }
      return;
    }
    case Ask::kHtml:
      rich_.push_back(RichFormat{"text/html", std::move(data_)});
      Finish(ReadStatus::Ok);
      return;
  }
}

void SelectionFetch::Refused() {
  // Without the mark or the list the content is taken as it is, and without its HTML the text
  // goes alone; without text or TARGETS there is nothing to rewrite.
  if (ask_ == Ask::kPasswordHint || ask_ == Ask::kUriList) {
    Next();
  } else if (ask_ == Ask::kHtml) {
    Finish(ReadStatus::Ok);
  } else {
    Finish(ReadStatus::NoText);
  }
}

void SelectionFetch::Next() {
  if (plan_.empty()) {
    Finish(ReadStatus::NoText);
    return;
  }
  const Ask ask = plan_.front();
  plan_.pop_front();
  Convert(ask);
}

void SelectionFetch::Finish(ReadStatus status) {
  // With the text in hand, HTML that does not come is left out, not the copy.
  if (status == ReadStatus::NoText && ask_ == Ask::kHtml && step_ != Step::kDone) {
    status = ReadStatus::Ok;
  }
  status_ = status;
  step_ = Step::kDone;
  plan_.clear();
  std::string().swap(data_);
  // Whatever the owner still sends goes to a window that is no more.
  requestor_.Reset();
}

}  // namespace tllink::platform::x11
