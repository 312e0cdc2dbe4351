#pragma once

#include <windows.h>

#include "windows/Pictures.h"

namespace corvale::win32 {

/**
 * The picture as a 24-bit device-independent bitmap section of its own size,
 * built from deviceIndependentBitmap(picture); null when the system refuses
 * it. The caller owns it (DeleteObject).
 */
HBITMAP bitmapOf(const Picture& picture);

/// Draws the bitmap of the picture at (x, y), its key-colour pixels left out.
void drawPicture(HDC target, HBITMAP bitmap, const Picture& picture, int x, int y);

/**
 * A new 32 x 32 mouse pointer from the "pointer" picture, hot spot at
 * (kPointerHotSpotX, kPointerHotSpotY), key-colour pixels transparent; null
 * when the system refuses it. The caller owns it (DestroyCursor).
 */
HCURSOR pointingHandCursor();

}  // namespace corvale::win32
