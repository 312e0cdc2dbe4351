#include "platform/qt/QtPictures.h"

namespace corvale::qt {

QImage pictureImage(const Picture& picture) {
  QImage image(picture.width, picture.height, QImage::Format_ARGB32);
  for (int32_t y = 0; y < picture.height; ++y) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int32_t x = 0; x < picture.width; ++x) {
      const host::Rgb c = picture.pixel(x, y);
      line[x] = c == picture.key ? qRgba(0, 0, 0, 0) : qRgb(c.r, c.g, c.b);
    }
  }
  return image;
}

QPixmap picturePixmap(std::string_view name) {
  const Picture* picture = findPicture(name);
  return picture ? QPixmap::fromImage(pictureImage(*picture)) : QPixmap();
}

QCursor pointingHandCursor() {
  return QCursor(picturePixmap("pointer"), kPointerHotSpotX, kPointerHotSpotY);
}

}  // namespace corvale::qt
