#include "platform/qt/QtLook.h"

#include <QApplication>
#include <QStringList>

namespace corvale::qt {

namespace {

constexpr const char* kClassicFace = "MS Sans Serif";
constexpr double kClassicPoints = 8.25;
/// Faces close to MS Sans Serif's metrics, tried in order; fontconfig's sans-serif after them.
const QStringList& standInFaces() {
  static const QStringList faces = {"Microsoft Sans Serif", "Liberation Sans", "Arimo",
                                    "Arial", "Helvetica", "DejaVu Sans Condensed", "DejaVu Sans"};
  return faces;
}

}  // namespace

QColor qtColor(host::Rgb rgb) {
  return QColor(rgb.r, rgb.g, rgb.b);
}

QFont qtFont(const host::Font& font) {
  QFont result;
  QStringList faces;
  if (!font.face.empty() && font.face != kClassicFace) faces << QString::fromStdString(font.face);
  faces << standInFaces();
  result.setFamily(faces.first());
  result.setFamilies(faces);
  result.setStyleHint(QFont::SansSerif);
  result.setPointSizeF(font.points > 0 ? font.points : kClassicPoints);
  result.setWeight(font.bold ? QFont::Bold : QFont::Normal);
  result.setItalic(false);
  result.setUnderline(font.underline);
  result.setStrikeOut(false);
  result.resolve(QFont::AllPropertiesResolved);
  return result;
}

QFont defaultFont() {
  return qtFont(host::Font{kClassicFace, kClassicPoints, false, false});
}

QPalette ownPalette(const QWidget& widget) {
  QPalette palette = QApplication::palette(&widget);
  palette.resolve(0x0FFFFFFF);
  return palette;
}

}  // namespace corvale::qt
