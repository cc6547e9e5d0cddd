#pragma once

#include <cstdint>
#include <string>

#include "platform/types.h"

namespace tllink::platform {

enum class NotifyMessage : std::uint32_t { Add = 0, Modify = 1, Delete = 2 };

// The notification-area record, field for field. Text fields already fit their field
// (tip 128, info 256, info title 64 UTF-16 units including the terminating NUL).
struct NotifyIconData {
  WindowHandle hWnd = 0;
  std::uint32_t uID = 0;
  std::uint32_t uFlags = 0;
  std::uint32_t uCallbackMessage = 0;
  IconHandle hIcon = 0;
  std::u16string szTip;
  std::u16string szInfo;
  std::uint32_t uTimeout = 0;
  std::u16string szInfoTitle;
  std::uint32_t dwInfoFlags = 0;
  friend bool operator==(const NotifyIconData&, const NotifyIconData&) = default;
};

inline constexpr std::uint32_t kNifMessage = 0x1;
inline constexpr std::uint32_t kNifIcon = 0x2;
inline constexpr std::uint32_t kNifTip = 0x4;
inline constexpr std::uint32_t kNifInfo = 0x10;
inline constexpr std::uint32_t kNiifInfo = 0x1;
inline constexpr std::size_t kTipChars = 128;
inline constexpr std::size_t kInfoChars = 256;
inline constexpr std::size_t kInfoTitleChars = 64;

class NotifyArea {
 public:
  virtual ~NotifyArea() = default;
  // The shell's answer; callers decide whether it matters.
  virtual bool ShellNotifyIcon(NotifyMessage message, const NotifyIconData& data) = 0;
};

}  // namespace tllink::platform
