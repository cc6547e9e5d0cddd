#include "tray/module1.h"

#include <limits>

#include "platform/failure.h"
#include "tray/notify_text.h"

namespace tllink {

namespace {

std::u16string DecimalKey(std::int32_t id) {
  std::u16string key;
  for (char c : std::to_string(id)) key.push_back(static_cast<char16_t>(c));
  return key;
}

constexpr std::uint32_t kAddFlags = platform::kNifMessage | platform::kNifIcon | platform::kNifTip;

}  // namespace

std::int32_t Module1::AddTrayIcon(platform::WindowHandle window, std::uint32_t callback_message,
                                  platform::IconHandle icon, std::u16string_view tooltip) {
  if (iconCounter == std::numeric_limits<std::int32_t>::max()) {
    throw platform::Failure(u"系統匣圖示編號已用盡");
  }
  ++iconCounter;

  platform::NotifyIconData data;
  data.hWnd = window;
  data.uID = static_cast<std::uint32_t>(iconCounter);
  data.uFlags = kAddFlags;
  data.uCallbackMessage = callback_message;
  data.hIcon = icon;
  data.szTip = FitNotifyField(tooltip, platform::kTipChars);

  if (!iconWindows) iconWindows.emplace();
  iconWindows->emplace(DecimalKey(iconCounter), window);
  added_[iconCounter] = data;

  notify_area_.ShellNotifyIcon(platform::NotifyMessage::Add, data);
  return iconCounter;
}

void Module1::RemoveTrayIcon(std::int32_t id) {
  const auto key = DecimalKey(id);
  if (!iconWindows || !iconWindows->contains(key)) {
    throw platform::Failure(u"找不到要移除的系統匣圖示 " + key);
  }
  platform::NotifyIconData data;
  data.hWnd = iconWindows->at(key);
  data.uID = static_cast<std::uint32_t>(id);
  data.uFlags = kAddFlags;
  added_.erase(id);
  notify_area_.ShellNotifyIcon(platform::NotifyMessage::Delete, data);
}

void Module1::ShowTrayBalloon(platform::WindowHandle window, std::int32_t id,
                              std::uint32_t info_flags, std::u16string_view title,
                              std::u16string_view text) {
  platform::NotifyIconData data;
  data.hWnd = window;
  data.uID = static_cast<std::uint32_t>(id);
  data.uFlags = platform::kNifInfo;
  data.dwInfoFlags = info_flags;
  data.szInfoTitle = FitNotifyField(title, platform::kInfoTitleChars);
  data.szInfo = FitNotifyField(text, platform::kInfoChars);
  notify_area_.ShellNotifyIcon(platform::NotifyMessage::Modify, data);
}

void Module1::RestoreTrayIcons() {
  for (const auto& [id, data] : added_) {
    notify_area_.ShellNotifyIcon(platform::NotifyMessage::Add, data);
  }
}

}  // namespace tllink
