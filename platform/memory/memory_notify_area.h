#pragma once

#include <map>
#include <utility>
#include <vector>

#include "platform/notify_area.h"

namespace tllink::platform::memory {

// Records every call and keeps the icons that are in place, as a shell would.
class MemoryNotifyArea final : public NotifyArea {
 public:
  struct Call {
    NotifyMessage message;
    NotifyIconData data;
  };

  bool ShellNotifyIcon(NotifyMessage message, const NotifyIconData& data) override;

  const std::vector<Call>& Calls() const { return calls_; }
  // Texts of the balloons shown, in order.
  std::vector<std::u16string> Balloons() const;
  std::size_t IconCount() const { return icons_.size(); }
  // The shell restarted and lost every icon.
  void LoseIcons() { icons_.clear(); }
  void SetResult(bool result) { result_ = result; }

 private:
  std::vector<Call> calls_;
  std::map<std::pair<WindowHandle, std::uint32_t>, NotifyIconData> icons_;
  bool result_ = true;
};

}  // namespace tllink::platform::memory
