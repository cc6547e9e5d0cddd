#pragma once

#include <string_view>

namespace tllink {

// Title of message boxes and balloons.
inline constexpr std::u16string_view kAppTitle = u"TideLock 網址轉換器";

}  // namespace tllink
