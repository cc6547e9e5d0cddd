#pragma once

#include <QFont>
#include <QLabel>
#include <QSize>
#include <QStringList>
#include <optional>

#include "platform/window.h"

namespace tllink::platform::qt {

// Faces drawn to the metrics of Windows' own Latin faces, which the layouts' boxes were sized
// with; the first one installed sets the Latin letters.
QStringList WindowsLikeLatinFaces();

// The font of a control: the layout's face where the system has it; otherwise the first of
// `latin_faces` that is installed for the Latin letters, then the desktop's family, whose
// fallback has the Chinese ones. The layout's size, or else the desktop's, but no larger than
// the 9 points of Windows' message font.
QFont ControlFont(const std::optional<FontStyle>& style, const QStringList& latin_faces);

// Sets `label`'s font to `font`, or to a smaller size of it, so that its whole text fits `box`:
// on one line, or on several where the box has room for them and `may_wrap`. The text is never
// cut: an ellipsis or a missing end would lose what the text is there to say.
void FitText(QLabel& label, const QFont& font, QSize box, bool may_wrap);

}  // namespace tllink::platform::qt
