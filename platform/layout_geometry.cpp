#include "platform/layout_geometry.h"

#include <algorithm>
#include <cmath>

namespace tllink::platform {

namespace {
constexpr double kTwipsPerInch = 1440.0;
}

int TwipsToPixels(int twips, double dpi) {
  return static_cast<int>(std::lround(twips * dpi / kTwipsPerInch));
}

PixelRect ToPixels(const TwipsRect& rect, double dpi_x, double dpi_y) {
  const int left = TwipsToPixels(rect.left, dpi_x);
  const int top = TwipsToPixels(rect.top, dpi_y);
  const int right = TwipsToPixels(rect.left + rect.width, dpi_x);
  const int bottom = TwipsToPixels(rect.top + rect.height, dpi_y);
  return PixelRect{left, top, right - left, bottom - top};
}

std::vector<const ControlLayout*> CreationOrder(const WindowLayout& layout) {
  std::vector<const ControlLayout*> ordered;
  ordered.reserve(layout.controls.size());
  for (const ControlLayout& control : layout.controls) ordered.push_back(&control);
  std::stable_sort(
      ordered.begin(), ordered.end(),
      [](const ControlLayout* a, const ControlLayout* b) { return a->tab_index < b->tab_index; });
  return ordered;
}

TwipsRect TextArea(const WindowLayout& layout, const ControlLayout& label) {
  TwipsRect area = label.rect;
  const int right = label.rect.left + label.rect.width;
  const int bottom = label.rect.top + label.rect.height;
  for (const ControlLayout& other : layout.controls) {
    if (&other == &label || LiesBelowOtherControls(other.kind)) continue;
    const TwipsRect& r = other.rect;
    const bool rows_meet = r.top < bottom && r.top + r.height > label.rect.top;
    if (rows_meet && r.left > label.rect.left && r.left < right) {
      area.width = std::min(area.width, r.left - label.rect.left);
    }
  }
  return area;
}

CaptionFit FitCaption(double points, int box_width, int box_height, bool may_wrap,
                      const std::function<CaptionExtent(double points, bool wrap)>& measure) {
  constexpr double kStep = 0.5;
  CaptionFit fit{points, may_wrap};
  // Counted in steps, so that the sizes tried are exact halves however many steps are taken.
  for (int step = 0; points - step * kStep >= kSmallestCaptionPoints; ++step) {
    fit.points = points - step * kStep;
    // A second line only where the box has room for it.
    const CaptionExtent as_allowed = measure(fit.points, may_wrap);
    const bool wrap = may_wrap && box_height >= 2 * as_allowed.line_spacing;
    const CaptionExtent needed = wrap == may_wrap ? as_allowed : measure(fit.points, false);
    if (needed.width <= box_width && needed.height <= box_height) {
      fit.wrap = wrap;
      return fit;
    }
  }
  fit.wrap = may_wrap;
  return fit;
}

}  // namespace tllink::platform
