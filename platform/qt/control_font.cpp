#include "platform/qt/control_font.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontMetrics>
#include <algorithm>

#include "platform/desktop/qt_text.h"

namespace tllink::platform::qt {

using desktop::ToQString;

namespace {

// The size of Windows' message font, which the layouts without a font of their own were drawn
// with: a larger desktop font could not fit their boxes.
constexpr double kMessageFontPoints = 9.0;
// Below this a caption is no longer readable; the smallest step of the search.
constexpr double kSmallestPoints = 5.0;
constexpr double kPointStep = 0.5;
constexpr int kTallest = 100000;  // px: room for any number of lines

// Measured as QLabel measures its text, in whole pixels; a word longer than the box stays whole
// and overflows.
bool Fits(const QString& text, const QFontMetrics& metrics, QSize box, bool wrap) {
  const QRect needed =
      metrics.boundingRect(QRect(0, 0, box.width(), kTallest), wrap ? Qt::TextWordWrap : 0, text);
  return needed.width() <= box.width() && needed.height() <= box.height();
}

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
  QFont fitted = font;
  const QString text = label.text();
  for (double points = font.pointSizeF(); points >= kSmallestPoints; points -= kPointStep) {
    fitted.setPointSizeF(points);
    const QFontMetrics metrics(fitted, &label);
    // A second line only where the box has room for it.
    const bool wrap = may_wrap && box.height() >= 2 * metrics.lineSpacing();
    if (Fits(text, metrics, box, wrap)) {
      label.setWordWrap(wrap);
      label.setFont(fitted);
      return;
    }
  }
  // Nothing readable fits: the smallest size shows the most.
  label.setWordWrap(may_wrap);
  label.setFont(fitted);
}

}  // namespace tllink::platform::qt
