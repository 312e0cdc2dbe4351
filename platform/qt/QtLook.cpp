#include "platform/qt/QtLook.h"

#include <QApplication>
#include <QFontDatabase>
#include <QStringList>

namespace corvale::qt {

namespace {

constexpr const char* kClassicFace = "MS Sans Serif";
constexpr double kClassicPoints = 8.25;

/// The first face of the system close to MS Sans Serif's metrics.
const QString& standInFace() {
  static const QString face = [] {
    const QStringList faces = {"Microsoft Sans Serif", "Liberation Sans", "Arimo", "Arial",
                               "Helvetica", "DejaVu Sans Condensed", "DejaVu Sans"};
    const QStringList present = QFontDatabase().families();
    for (const QString& candidate : faces) {
      if (present.contains(candidate, Qt::CaseInsensitive)) return candidate;
    }
    return QStringLiteral("Sans Serif");
  }();
  return face;
}

QString faceFor(const std::string& face) {
  if (face.empty() || face == kClassicFace) return standInFace();
  const QString wanted = QString::fromStdString(face);
  return QFontDatabase().families().contains(wanted, Qt::CaseInsensitive) ? wanted
                                                                          : standInFace();
}

}  // namespace

QColor qtColor(host::Rgb rgb) {
  return QColor(rgb.r, rgb.g, rgb.b);
}

QFont qtFont(const host::Font& font) {
  QFont result;
  result.setFamily(faceFor(font.face));
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

QString fontRule(const QString& objectName, const QFont& font) {
  return QStringLiteral(
             "#%1 { font-family: \"%2\"; font-size: %3pt; font-weight: %4; font-style: normal; "
             "text-decoration: %5; }\n")
      .arg(objectName, font.family(), QString::number(font.pointSizeF()),
           font.bold() ? QStringLiteral("bold") : QStringLiteral("normal"),
           font.underline() ? QStringLiteral("underline") : QStringLiteral("none"));
}

QPalette ownPalette(const QWidget& widget) {
  QPalette palette = QApplication::palette(&widget);
  palette.resolve(0x0FFFFFFF);
  return palette;
}

}  // namespace corvale::qt
