#include <gtest/gtest.h>

#include <limits>

#include "platform/failure.h"
#include "tray/notification_number.h"

namespace tllink::testing {
namespace {

using platform::ScaleMode;

TEST(NotificationNumber, PixelsAreTakenAsTheyAre) {
  EXPECT_EQ(NotificationNumber(ScaleMode::Pixels, 517, 15), 517);
  EXPECT_EQ(NotificationNumber(ScaleMode::Pixels, 517, 1), 517) << "twips per pixel is not used";
  EXPECT_EQ(NotificationNumber(ScaleMode::Pixels, 516.6, 15), 517);
}

TEST(NotificationNumber, TwipsAreDividedByTwipsPerPixel) {
  EXPECT_EQ(NotificationNumber(ScaleMode::Twips, 7755, 15), 517);
  EXPECT_EQ(NotificationNumber(ScaleMode::Twips, 7680, 15), 512);
  // 110 dpi: 13.0909... twips per pixel.
  const double twips_per_pixel = 1440.0 / 110;
  EXPECT_EQ(NotificationNumber(ScaleMode::Twips, 6768, twips_per_pixel), 517);
  EXPECT_EQ(NotificationNumber(ScaleMode::Twips, 6764, twips_per_pixel), 517);  // 516.69
  EXPECT_EQ(NotificationNumber(ScaleMode::Twips, 6775, twips_per_pixel), 518);  // 517.53
}

TEST(NotificationNumber, TiesRoundToEven) {
  EXPECT_EQ(NotificationNumber(ScaleMode::Pixels, 516.5, 15), 516);
  EXPECT_EQ(NotificationNumber(ScaleMode::Pixels, 517.5, 15), 518);
  EXPECT_EQ(NotificationNumber(ScaleMode::Twips, 516.5 * 15, 15), 516);
  EXPECT_EQ(NotificationNumber(ScaleMode::Twips, 517.5 * 15, 15), 518);
}

TEST(NotificationNumber, ResultOutsideThe32BitRangeFails) {
  EXPECT_THROW(NotificationNumber(ScaleMode::Pixels, 3e9, 15), platform::Failure);
  EXPECT_THROW(NotificationNumber(ScaleMode::Twips, -4e10, 15), platform::Failure);
  EXPECT_THROW(NotificationNumber(ScaleMode::Pixels, std::numeric_limits<double>::quiet_NaN(), 15),
               platform::Failure);
  EXPECT_EQ(NotificationNumber(ScaleMode::Pixels, -2147483648.0, 15), -2147483647L - 1);
}

}  // namespace
}  // namespace tllink::testing
