#pragma once

#include <deque>
#include <optional>
#include <utility>

#include "platform/clipboard.h"

namespace tllink::platform {

// The results of Pending requests, kept until the GUI thread takes them, in the order they came.
class DeliveredResults {
 public:
  void Add(Clipboard::Delivered delivered) { results_.push_back(std::move(delivered)); }
  std::optional<Clipboard::Delivered> Take() {
    if (results_.empty()) return std::nullopt;
    Clipboard::Delivered delivered = std::move(results_.front());
    results_.pop_front();
    return delivered;
  }

 private:
  std::deque<Clipboard::Delivered> results_;
};

}  // namespace tllink::platform
