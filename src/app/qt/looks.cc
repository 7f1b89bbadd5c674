#include "app/qt/looks.h"

#include <QStringList>

namespace tarvello_qt {

using app::layout::to_pixels;

QRect pixel_box(const app::layout::Control& c, int dpi) {
  const int left = to_pixels(c.left, dpi);
  const int top = to_pixels(c.top, dpi);
  return QRect(left, top, to_pixels(c.left + c.width, dpi) - left,
               to_pixels(c.top + c.height, dpi) - top);
}

QFont font_for(const app::layout::Font& f, int dpi) {
  // Code page 936 faces are CJK faces; the others are Latin faces with CJK fallback.
  constexpr int kGb2312Charset = 134;
  QStringList families{QString::fromUtf8(f.face.data(), static_cast<qsizetype>(f.face.size()))};
  if (f.charset == kGb2312Charset) {
    families << QStringLiteral("WenQuanYi Micro Hei") << QStringLiteral("Noto Sans CJK SC")
             << QStringLiteral("Droid Sans Fallback");
  } else {
    // Closest in shape and width to the narrow humanist sans the table names.
    families << QStringLiteral("DejaVu Sans") << QStringLiteral("Liberation Sans")
             << QStringLiteral("WenQuanYi Micro Hei");
  }
  QFont font;
  font.setFamilies(families);
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(to_pixels(f.points * 20, dpi));  // 20 twips to the point
  font.setWeight(f.weight >= 700 ? QFont::Bold : QFont::Normal);
  return font;
}

QColor colour_for(app::layout::Rgb rgb) {
  return QColor(rgb.r, rgb.g, rgb.b);
}

QString plain_caption(std::string_view text) {
  QString caption = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  caption.replace(QLatin1Char('&'), QStringLiteral("&&"));
  return caption;
}

}  // namespace tarvello_qt
