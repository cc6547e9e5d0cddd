#include "platform/qt/control_font.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontMetrics>
#include <algorithm>

#include "platform/desktop/qt_text.h"
#include "platform/layout_geometry.h"

namespace tllink::platform::qt {

using desktop::ToQString;

namespace {

// The size of Windows' message font, which the layouts without a font of their own were drawn
// with: a larger desktop font could not fit their boxes.
constexpr double kMessageFontPoints = 9.0;
constexpr int kTallest = 100000;  // px: room for any number of lines

}  // namespace

QStringList WindowsLikeLatinFaces() {
  // Arial's metrics; Arimo is the same design under another name.
  return {QStringLiteral("Liberation Sans"), QStringLiteral("Arimo")};
}

QFont ControlFont(const std::optional<FontStyle>& style, const QStringList& latin_faces) {
  QFont font = QApplication::font();
  const QString face = style ? ToQString(style->face) : QString();
  if (!face.isEmpty() && QFontDatabase::hasFamily(face)) {
    font.setFamilies({face});
  } else {
    QStringList families;
    for (const QString& latin : latin_faces) {
      if (QFontDatabase::hasFamily(latin)) {
        families << latin;
        break;
      }
    }
    families << font.family();
    font.setFamilies(families);
  }
  if (style) {
    font.setPointSizeF(style->points);
    font.setBold(style->bold);
  } else {
    const double desktop = font.pointSizeF();
    font.setPointSizeF(desktop > 0 ? std::min(desktop, kMessageFontPoints) : kMessageFontPoints);
  }
  return font;
}

void FitText(QLabel& label, const QFont& font, QSize box, bool may_wrap) {
  const QString text = label.text();
  QFont sized = font;
  // Measured as QLabel measures its text, in whole pixels; a word longer than the box stays
  // whole and overflows.
  const CaptionFit fit = FitCaption(
      font.pointSizeF(), box.width(), box.height(), may_wrap, [&](double points, bool wrap) {
        sized.setPointSizeF(points);
        const QFontMetrics metrics(sized, &label);
        const QRect needed = metrics.boundingRect(QRect(0, 0, box.width(), kTallest),
                                                  wrap ? Qt::TextWordWrap : 0, text);
        return CaptionExtent{needed.width(), needed.height(), metrics.lineSpacing()};
      });
  sized.setPointSizeF(fit.points);
  label.setWordWrap(fit.wrap);
  label.setFont(sized);
}

}  // namespace tllink::platform::qt
