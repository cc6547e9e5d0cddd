#pragma once

#include <functional>
#include <vector>

#include "platform/window.h"

namespace tllink::platform {

// The arithmetic every toolkit lays a WindowLayout out with, so that a window looks and walks
// the same on each.

// A length in twips as pixels at `dpi` dots per inch, rounded to the nearest pixel (halves away
// from zero, as the Windows API rounds).
int TwipsToPixels(int twips, double dpi);

struct PixelRect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

// Where `rect` lies at the given DPI. Edges rather than sizes are converted, so controls that
// meet in twips meet in pixels.
PixelRect ToPixels(const TwipsRect& rect, double dpi_x, double dpi_y);

// The controls in the order they are created, which is the order Tab walks: by tab index, ties
// in the layout's order.
std::vector<const ControlLayout*> CreationOrder(const WindowLayout& layout);

// Labels are drawn on the window's surface in the layouts' design: a control that overlaps one
// lies on top of it. True for the kinds that go below every other control.
constexpr bool LiesBelowOtherControls(ControlKind kind) {
  return kind == ControlKind::Label;
}

// The part of `label`, a control of `layout`, where its left-aligned text can show: up to the
// first control lying on top of it that begins within it. Controls that cover its start are
// shown only while the label is hidden, so they leave it whole.
TwipsRect TextArea(const WindowLayout& layout, const ControlLayout& label);

// What a caption needs at one size of its font, in pixels: its extent when set in a box of the
// width given (wrapped at that width, or on one line), and the font's line spacing.
struct CaptionExtent {
  int width = 0;
  int height = 0;
  int line_spacing = 0;
};

// The size a caption is shown at, and whether it wraps.
struct CaptionFit {
  double points = 0;
  bool wrap = false;
};

// The smallest size a caption is shown at: below it no longer readable.
inline constexpr double kSmallestCaptionPoints = 5.0;

// The largest size, from `points` down in half-point steps, at which the whole caption fits a
// box of `box_width` x `box_height` pixels: on one line, or on several where `may_wrap` and
// the box has room for two lines at that size. `measure(points, wrap)` measures it as the
// toolkit will draw it. The text is never cut, so where nothing fits the smallest size, which
// shows the most, is chosen.
CaptionFit FitCaption(double points, int box_width, int box_height, bool may_wrap,
                      const std::function<CaptionExtent(double points, bool wrap)>& measure);

}  // namespace tllink::platform
