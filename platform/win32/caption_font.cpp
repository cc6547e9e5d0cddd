#include "platform/win32/caption_font.h"

#include <cmath>
#include <cstdlib>

#include "platform/failure.h"
#include "platform/layout_geometry.h"

namespace tllink::platform::win32 {

namespace {

constexpr double kPointsPerInch = 72.0;
// Pixels at 96 dpi: the two-pixel edge of a push button and the focus frame inside it.
constexpr int kButtonInsetAt96 = 3;
constexpr int kTallest = 100000;  // px: room for any number of lines

UniqueFont FontAt(LOGFONTW font, double points, UINT dpi) {
  font.lfHeight = -static_cast<LONG>(std::lround(points * dpi / kPointsPerInch));
  font.lfWidth = 0;
  UniqueFont created(::CreateFontIndirectW(&font));
  if (!created) throw Failure(u"無法建立字型");
  return created;
}

// A device context of the control's, released on every path.
class ControlDc {
 public:
  explicit ControlDc(HWND control) : control_(control), dc_(::GetDC(control)) {
    if (dc_ == nullptr) throw Failure(u"無法建立字型");
  }
  ~ControlDc() { ::ReleaseDC(control_, dc_); }
  ControlDc(const ControlDc&) = delete;
  ControlDc& operator=(const ControlDc&) = delete;
  HDC get() const { return dc_; }

 private:
  HWND control_;
  HDC dc_;
};

}  // namespace

int ButtonCaptionInset(UINT dpi) {
  return ::MulDiv(kButtonInsetAt96, static_cast<int>(dpi), USER_DEFAULT_SCREEN_DPI);
}

UniqueFont FitCaptionFont(HWND control, const std::u16string& text, const LOGFONTW& font, UINT dpi,
                          const CaptionBox& box) {
  // The size the font was asked for: a cell height (positive) is close enough to start from.
  const double points = std::abs(font.lfHeight) * kPointsPerInch / dpi;
  const ControlDc dc(control);
  const auto measure = [&](double at, bool wrap) {
    const UniqueFont sized = FontAt(font, at, dpi);
    const HGDIOBJ previous = ::SelectObject(dc.get(), sized.get());
    TEXTMETRICW metrics{};
    ::GetTextMetricsW(dc.get(), &metrics);
    RECT needed{0, 0, box.width, kTallest};
    const UINT format = DT_CALCRECT | DT_NOPREFIX | DT_EXPANDTABS |
                        (wrap ? static_cast<UINT>(DT_WORDBREAK) : static_cast<UINT>(DT_SINGLELINE));
    ::DrawTextW(dc.get(), Wide(text), -1, &needed, format);
    ::SelectObject(dc.get(), previous);
    return CaptionExtent{static_cast<int>(needed.right - needed.left),
                         static_cast<int>(needed.bottom - needed.top),
                         static_cast<int>(metrics.tmHeight)};
  };
  const CaptionFit fit = FitCaption(points, box.width, box.height, box.may_wrap, measure);
  return FontAt(font, fit.points, dpi);
}

}  // namespace tllink::platform::win32
