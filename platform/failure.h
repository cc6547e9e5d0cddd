#pragma once

#include <stdexcept>
#include <string>
#include <utility>

namespace tllink::platform {

// A platform call that did not do what was asked. `what_failed` is shown to the user as is,
// so it is written in the interface's language (for example u"無法建立視窗").
class Failure : public std::runtime_error {
 public:
  explicit Failure(std::u16string what_failed)
      : std::runtime_error("platform call failed"), what_failed_(std::move(what_failed)) {}

  const std::u16string& what_failed() const noexcept { return what_failed_; }

 private:
  std::u16string what_failed_;
};

}  // namespace tllink::platform
