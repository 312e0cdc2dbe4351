#include "platform/win32/forms/Win32Pictures.h"

#include <cstring>
#include <vector>

namespace corvale::win32 {

namespace {

constexpr size_t kHeaderSize = sizeof(BITMAPINFOHEADER);

COLORREF colourOf(host::Rgb rgb) {
  return RGB(rgb.r, rgb.g, rgb.b);
}

}  // namespace

HBITMAP bitmapOf(const Picture& picture) {
  if (picture.width <= 0 || picture.height <= 0) return nullptr;
  const std::vector<uint8_t> dib = deviceIndependentBitmap(picture);
  if (dib.size() < kHeaderSize) return nullptr;
  BITMAPINFO info{};
  std::memcpy(&info.bmiHeader, dib.data(), kHeaderSize);
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!bitmap || !bits) {
    if (bitmap) DeleteObject(bitmap);
    return nullptr;
  }
  std::memcpy(bits, dib.data() + kHeaderSize, dib.size() - kHeaderSize);
  GdiFlush();
  return bitmap;
}

void drawPicture(HDC target, HBITMAP bitmap, const Picture& picture, int x, int y) {
  if (!bitmap) return;
  HDC source = CreateCompatibleDC(target);
  if (!source) return;
  HGDIOBJ previous = SelectObject(source, bitmap);
  GdiTransparentBlt(target, x, y, picture.width, picture.height, source, 0, 0, picture.width,
                    picture.height, colourOf(picture.key));
  SelectObject(source, previous);
  DeleteDC(source);
}

HCURSOR pointingHandCursor() {
  const Picture* hand = findPicture("pointer");
  if (!hand || hand->width <= 0 || hand->height <= 0) return nullptr;
  const int width = hand->width, height = hand->height;

  // The AND mask keeps the screen where the picture has its key colour; the
  // colour bitmap is black there, so the XOR leaves the screen as it is.
  const int maskRow = ((width + 15) / 16) * 2;
  std::vector<uint8_t> mask(static_cast<size_t>(maskRow * height), 0);
  std::vector<uint32_t> colour(static_cast<size_t>(width * height), 0);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const host::Rgb c = hand->pixel(x, y);
      if (c == hand->key) {
        mask[static_cast<size_t>(y * maskRow + x / 8)] |= static_cast<uint8_t>(0x80 >> (x % 8));
      } else {
        colour[static_cast<size_t>(y * width + x)] =
            (static_cast<uint32_t>(c.r) << 16) | (static_cast<uint32_t>(c.g) << 8) | c.b;
      }
    }
  }
  HBITMAP maskBitmap = CreateBitmap(width, height, 1, 1, mask.data());
  HDC screen = GetDC(nullptr);
  HBITMAP colourBitmap = CreateCompatibleBitmap(screen, width, height);
  if (colourBitmap) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // rows from the top
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    SetDIBits(screen, colourBitmap, 0, static_cast<UINT>(height), colour.data(), &info,
              DIB_RGB_COLORS);
  }
  ReleaseDC(nullptr, screen);

  HCURSOR cursor = nullptr;
  if (maskBitmap && colourBitmap) {
    ICONINFO icon{};
    icon.fIcon = FALSE;
    icon.xHotspot = kPointerHotSpotX;
    icon.yHotspot = kPointerHotSpotY;
    icon.hbmMask = maskBitmap;
    icon.hbmColor = colourBitmap;
    cursor = CreateIconIndirect(&icon);
  }
  if (maskBitmap) DeleteObject(maskBitmap);
  if (colourBitmap) DeleteObject(colourBitmap);
  return cursor;
}

}  // namespace corvale::win32
