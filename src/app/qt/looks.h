// Turning the layout table's twips, faces and colours into Qt's pixels, fonts and
// palettes.
#pragma once

#include <QColor>
#include <QFont>
#include <QRect>

#include "app/layout.h"

namespace tarvello_qt {

// The box of a control in pixels at `dpi`. Edges are rounded, not sizes, so controls
// that touch or keep a gap in twips do the same in pixels.
QRect pixel_box(const app::layout::Control& control, int dpi);

// The table's face first, then the nearest faces a Linux desktop usually has; CJK text
// in a Latin face falls back through fontconfig. The size is the table's points at
// `dpi`, in pixels, so the window scales as one piece.
QFont font_for(const app::layout::Font& font, int dpi);

QColor colour_for(app::layout::Rgb rgb);

// Qt takes '&' in a button caption as a mnemonic marker; captions are shown as written.
QString plain_caption(std::string_view text);

}  // namespace tarvello_qt
