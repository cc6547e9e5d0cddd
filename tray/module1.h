#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "platform/notify_area.h"

namespace tllink {

// The notification-area functions: registers icons under ids 1, 2, 3, ..., removes them and
// shows balloons on them. The shell's answers are not acted on.
class Module1 {
 public:
  explicit Module1(platform::NotifyArea& notify_area) : notify_area_(notify_area) {}

  // Throws Failure when no id is left.
  std::int32_t AddTrayIcon(platform::WindowHandle window, std::uint32_t callback_message,
                           platform::IconHandle icon, std::u16string_view tooltip);
  // Throws Failure for an id that was never issued.
  void RemoveTrayIcon(std::int32_t id);
  void ShowTrayBalloon(platform::WindowHandle window, std::int32_t id, std::uint32_t info_flags,
                       std::u16string_view title, std::u16string_view text);
  // Registers again every icon that is still in place, after the shell lost them.
  void RestoreTrayIcons();

  std::int32_t iconCounter = 0;  // the last id issued
  // Owner window of each issued id, keyed by the id in decimal; absent until the first icon.
  std::optional<std::map<std::u16string, platform::WindowHandle>> iconWindows;

 private:
  platform::NotifyArea& notify_area_;
  // What each icon still in place was added with, to add it again.
  std::map<std::int32_t, platform::NotifyIconData> added_;
};

}  // namespace tllink
