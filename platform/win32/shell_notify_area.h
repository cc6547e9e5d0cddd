#pragma once

#include "platform/notify_area.h"

namespace tllink::platform::win32 {

// Shell_NotifyIconW with the record whose last field is guidItem.
class ShellNotifyArea final : public NotifyArea {
 public:
  bool ShellNotifyIcon(NotifyMessage message, const NotifyIconData& data) override;
};

}  // namespace tllink::platform::win32
