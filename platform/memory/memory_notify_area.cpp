#include "platform/memory/memory_notify_area.h"

namespace tllink::platform::memory {

bool MemoryNotifyArea::ShellNotifyIcon(NotifyMessage message, const NotifyIconData& data) {
  calls_.push_back(Call{message, data});
  const auto key = std::make_pair(data.hWnd, data.uID);
  switch (message) {
    case NotifyMessage::Add:
      if (icons_.contains(key)) return false;
      icons_[key] = data;
      break;
    case NotifyMessage::Modify:
      if (!icons_.contains(key)) return false;
      break;
    case NotifyMessage::Delete:
      if (icons_.erase(key) == 0) return false;
      break;
  }
  return result_;
}

std::vector<std::u16string> MemoryNotifyArea::Balloons() const {
  std::vector<std::u16string> texts;
  for (const Call& call : calls_) {
    if (call.message == NotifyMessage::Modify && (call.data.uFlags & kNifInfo) != 0) {
      texts.push_back(call.data.szInfo);
    }
  }
  return texts;
}

}  // namespace tllink::platform::memory
