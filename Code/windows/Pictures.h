#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "host/Forms.h"

namespace corvale {

/**
 * A small picture shipped with the code: pixels in rows from the top, three
 * bytes (red, green, blue) each. Pixels of the key colour are background: a
 * toolkit may draw them transparent.
 */
struct Picture {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint8_t> rgb;
  host::Rgb key;

  host::Rgb pixel(int32_t x, int32_t y) const;
};

/**
 * The component's pictures by name: "toolbar" (the command's 16 x 16 button:
 * a street under a magnifier), "logo" (the same, larger), and the button
 * pictures "go", "help", "configure", "continue", "cancel", and the help
 * window's background "helpbackground" (a street map under a magnifier), and
 * "pointer", the 32 x 32 pointing hand that buttons, lists and links show as
 * their mouse pointer, with its hot spot at kPointerHotSpot.
 * Nothing for an unknown name.
 */
const Picture* findPicture(std::string_view name);

/// The pixel of "pointer" that points: the tip of the index finger.
inline constexpr int32_t kPointerHotSpotX = 10, kPointerHotSpotY = 10;

/**
 * The picture as a device-independent bitmap: a 40-byte BITMAPINFOHEADER
 * followed by the pixel rows from the bottom, 24 bits per pixel (blue, green,
 * red), each row padded to four bytes, no palette, no compression.
 */
std::vector<uint8_t> deviceIndependentBitmap(const Picture& picture);

}  // namespace corvale
