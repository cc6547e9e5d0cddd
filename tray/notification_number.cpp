#include "tray/notification_number.h"

#include <cfenv>
#include <cmath>
#include <limits>

#include "platform/failure.h"

namespace tllink {

long NotificationNumber(platform::ScaleMode scale_mode, double x, double twips_per_pixel) {
  const double value = scale_mode == platform::ScaleMode::Pixels ? x : x / twips_per_pixel;
  // nearbyint rounds ties to even in the default rounding mode, which is never changed here.
  const double rounded = std::nearbyint(value);
  if (!(rounded >= std::numeric_limits<int>::min() && rounded <= std::numeric_limits<int>::max())) {
    throw platform::Failure(u"系統匣通知的數值超出範圍");
  }
  return static_cast<long>(rounded);
}

}  // namespace tllink
