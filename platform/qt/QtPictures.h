#pragma once

#include <QCursor>
#include <QImage>
#include <QPixmap>

#include "windows/Pictures.h"

namespace corvale::qt {

/**
 * The picture as a 32-bit ARGB image of its own size: every pixel of the
 * picture's key colour is fully transparent, every other one opaque.
 */
QImage pictureImage(const Picture& picture);

/// pictureImage() as a pixmap; a null pixmap for a picture name that findPicture() does not know.
QPixmap picturePixmap(std::string_view name);

/// The component's pointing hand ("pointer") as a mouse pointer, its hot spot on the fingertip.
QCursor pointingHandCursor();

}  // namespace corvale::qt
