#include "windows/Pictures.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <map>
#include <mutex>
#include <string>

namespace corvale {

namespace {

using Palette = std::map<char, host::Rgb>;
constexpr host::Rgb kBackground{192, 192, 192};

// Each picture is drawn as rows of letters; the palette gives each letter's colour.
constexpr std::array<const char*, 16> kToolbar = {
    "............DDDD", "....KKKK...DDDDD", "..KKKbbKK.DDDYDD", "..KwwbbbKKDDYDDD",
    ".KKwbbbbbKDDDDD.", ".KbbbbbbbKDDDD..", ".KbbbbbbbKDDD...", ".KKbbbbbbKDD....",
    "..KKbbbbKDD.....", "...KKKKKDHH.....", "..DDDYDDDHHH....", ".DDDYDDD..HHH...",
    "DDDDDDD....HHH..", "DDDDDD......HHH.", "DYDDD........HHH", "YDDD..........H.",
};

constexpr std::array<const char*, 16> kGo = {
    "................", "................", "........G.......", "........GG......",
    "........GGG.....", "........GGGG....", "..GGGGGGGGGGG...", "..GGGGGGGGGGGGG.",
    "..GGGGGGGGGGGGG.", "..GGGGGGGGGGG...", "........GGGG....", "........GGG.....",
    "........GG......", "........G.......", "................", "................",
};

constexpr std::array<const char*, 16> kHelp = {
    "................", "....BBBBBBBB....", "...BBBBBBBBBB...", "..BBBBBBBBBBBB..",
    ".BBBBBBWWWBBBBB.", ".BBBBBWBBBWBBBB.", ".BBBBBBBBWBBBBB.", ".BBBBBBBWBBBBBB.",
    ".BBBBBBBWBBBBBB.", ".BBBBBBBBBBBBBB.", ".BBBBBBBWBBBBBB.", ".BBBBBBBBBBBBBB.",
    "..BBBBBBBBBBBB..", "...BBBBBBBBBB...", "....BBBBBBBB....", "................",
};

constexpr std::array<const char*, 16> kCancel = {
    "................", "................", "..RR........RR..", "...RR......RR...",
    "....RR....RR....", ".....RR..RR.....", "......RRRR......", ".......RR.......",
    "......RRRR......", ".....RR..RR.....", "....RR....RR....", "...RR......RR...",
    "..RR........RR..", ".RR..........RR.", "................", "................",
};

constexpr std::array<const char*, 16> kContinue = {
    "................", "................", "................", "..............G.",
    ".............GG.", "............GGG.", "...........GGG..", "..G.......GGG...",
    "..GG.....GGG....", "..GGG...GGG.....", "...GGG.GGG......", "....GGGGG.......",
    ".....GGG........", "......G.........", "................", "................",
};

constexpr std::array<const char*, 16> kConfigure = {
    "................", ".......SS.......", "...S...SS...S...", "..SSSSSSSSSSSS..",
    "...SSSSSSSSSS...", "...SSSSSSSSSS...", "...SSS....SSS...", ".SSSSS....SSSSS.",
    ".SSSSS....SSSSS.", "...SSS....SSS...", "...SSSSSSSSSS...", "...SSSSSSSSSS...",
    "..SSSSSSSSSSSS..", "...S...SS...S...", ".......SS.......", "................",
};

// The pointing hand, 32 x 32; its fingertip is the hot spot (10, 10).
constexpr std::array<const char*, 32> kPointer = {
    "................................", "................................",
    "................................", "................................",
    "................................", "................................",
    "................................", "................................",
    "................................", "................................",
    "..........KK....................", ".........KwwK...................",
    ".........KwwK...................", ".........KwwK...................",
    ".........KwwKKK.................", ".........KwwKwwKKK..............",
    ".........KwwKwwKwwKKK...........", ".......KKKwwKwwKwwKwwK..........",
    "......KwwKwwKwwKwwKwwK..........", "......KwwKwwKwwKwwKwwK..........",
    "......KwwKwwwwwwwwwwwK..........", "......KwwwwwwwwwwwwwwK..........",
    ".......KwwwwwwwwwwwwwK..........", ".......KwwwwwwwwwwwwwK..........",
    ".......KwwwwwwwwwwwwwK..........", ".......KwwwwwwwwwwwwwK..........",
    "........KKwwwwwwwwwwwK..........", ".........KwwwwwwwwwwwK..........",
    "..........KwwwwwwwwwK...........", "..........KwwwwwwwwwK...........",
    "...........KKKKKKKKK............", "................................",
};

const Palette& palette() {
  static const Palette colours = {
      {'.', kBackground},   {'K', {0, 0, 0}},       {'b', {170, 210, 255}}, {'w', {255, 255, 255}},
      {'H', {128, 64, 0}},  {'D', {96, 96, 96}},    {'Y', {255, 220, 0}},   {'G', {0, 150, 40}},
      {'B', {30, 80, 200}}, {'W', {255, 255, 255}}, {'R', {200, 20, 20}},   {'S', {110, 110, 120}},
  };
  return colours;
}

// Square pictures only: as many letters a row as there are rows.
template <size_t N>
Picture draw(const std::array<const char*, N>& rows, int32_t scale = 1) {
  Picture picture;
  picture.width = picture.height = static_cast<int32_t>(N) * scale;
  picture.key = kBackground;
  picture.rgb.reserve(static_cast<size_t>(picture.width * picture.height * 3));
  for (int32_t y = 0; y < picture.height; ++y) {
    for (int32_t x = 0; x < picture.width; ++x) {
      const host::Rgb c = palette().at(rows[static_cast<size_t>(y / scale)][x / scale]);
      picture.rgb.insert(picture.rgb.end(), {c.r, c.g, c.b});
    }
  }
  return picture;
}

/**
 * The help window's background, 643 x 516 pixels (its client area at 15 twips
 * a pixel): a white band at the top for the links, below it a small street map
 * with blocks, parks, a grid of streets and one avenue under a magnifier, and
 * the product's emblem in the top left corner.
 */
Picture drawHelpBackground() {
  constexpr int32_t kWidth = 643, kHeight = 516, kMapTop = 128;
  Picture picture;
  picture.width = kWidth;
  picture.height = kHeight;
  picture.key = {1, 2, 3};  // no pixel is background: the picture covers the window
  picture.rgb.assign(static_cast<size_t>(kWidth * kHeight * 3), 255);

  auto put = [&](int32_t x, int32_t y, host::Rgb c) {
    if (x < 0 || y < 0 || x >= kWidth || y >= kHeight) return;
    const size_t at = static_cast<size_t>((y * kWidth + x) * 3);
    picture.rgb[at] = c.r;
    picture.rgb[at + 1] = c.g;
    picture.rgb[at + 2] = c.b;
  };
  // Distance of a point to the segment (ax, ay)-(bx, by).
  auto distance = [](double px, double py, double ax, double ay, double bx, double by) {
    const double dx = bx - ax, dy = by - ay;
    double t = ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy);
    t = t < 0 ? 0 : (t > 1 ? 1 : t);
    const double ex = ax + t * dx - px, ey = ay + t * dy - py;
    return std::sqrt(ex * ex + ey * ey);
  };

  constexpr host::Rgb kLand{242, 239, 233}, kPark{205, 235, 190}, kRoad{255, 255, 255};
  constexpr host::Rgb kCasing{205, 200, 195}, kAvenue{252, 214, 164}, kAvenueCasing{225, 170, 110};
  constexpr host::Rgb kFound{220, 60, 50}, kRing{40, 40, 40}, kHandle{128, 64, 0};
  constexpr host::Rgb kRule{171, 181, 193};
  const int32_t streetsX[] = {40, 150, 260, 370, 480, 590};
  const int32_t streetsY[] = {170, 250, 330, 410, 490};
  const double lensX = 420, lensY = 300, lensRadius = 58;

  for (int32_t y = kMapTop; y < kHeight; ++y) {
    for (int32_t x = 0; x < kWidth; ++x) {
      host::Rgb c = kLand;
      // A block (the cell between streets) is a park now and then.
      int32_t blockX = 0, blockY = 0;
      for (int32_t sx : streetsX)
        blockX += x > sx ? 1 : 0;
      for (int32_t sy : streetsY)
        blockY += y > sy ? 1 : 0;
      if ((blockX * 3 + blockY * 2) % 7 == 2) c = kPark;
      int32_t near = 1000;
      for (int32_t sx : streetsX)
        near = std::min(near, std::abs(x - sx));
      for (int32_t sy : streetsY)
        near = std::min(near, std::abs(y - sy));
      if (near <= 6) c = kCasing;
      if (near <= 4) c = kRoad;
      const double avenue = distance(x, y, 0, 500, kWidth, 150);
      if (avenue <= 9) c = kAvenueCasing;
      if (avenue <= 7) c = kAvenue;
      const double lens = std::hypot(x - lensX, y - lensY);
      // Inside the lens the avenue is the street found.
      if (lens < lensRadius && avenue <= 7) c = kFound;
      if (lens >= lensRadius && lens <= lensRadius + 7) c = kRing;
      if (distance(x, y, lensX + 46, lensY + 46, lensX + 110, lensY + 110) <= 8) c = kHandle;
      put(x, y, c);
    }
  }
  for (int32_t x = 0; x < kWidth; ++x) {
    put(x, kMapTop - 2, kRule);
    put(x, kMapTop - 1, kRule);
  }
  // The emblem, four times its toolbar size.
  const Picture emblem = draw(kToolbar, 4);
  for (int32_t y = 0; y < emblem.height; ++y) {
    for (int32_t x = 0; x < emblem.width; ++x) {
      const host::Rgb c = emblem.pixel(x, y);
      if (!(c == emblem.key)) put(16 + x, 24 + y, c);
    }
  }
  return picture;
}

void putLittleEndian(std::vector<uint8_t>& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i)
    out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

}  // namespace

host::Rgb Picture::pixel(int32_t x, int32_t y) const {
  const size_t at = static_cast<size_t>((y * width + x) * 3);
  return {rgb[at], rgb[at + 1], rgb[at + 2]};
}

const Picture* findPicture(std::string_view name) {
  // Each picture is drawn the first time it is asked for, so that a window
  // pays only for its own pictures (the help window's background is the one
  // that takes long). A drawn picture stays where it is for the process's life.
  struct Known {
    std::string_view name;
    Picture (*draw)();
  };
  static constexpr std::array<Known, 9> kKnown = {{
      {"toolbar", [] { return draw(kToolbar); }},
      {"logo", [] { return draw(kToolbar, 3); }},
      {"go", [] { return draw(kGo); }},
      {"help", [] { return draw(kHelp); }},
      {"cancel", [] { return draw(kCancel); }},
      {"continue", [] { return draw(kContinue); }},
      {"configure", [] { return draw(kConfigure); }},
      {"helpbackground", [] { return drawHelpBackground(); }},
      {"pointer", [] { return draw(kPointer); }},
  }};
  static std::array<std::once_flag, kKnown.size()> once;
  static std::array<Picture, kKnown.size()> drawn;
  for (size_t i = 0; i < kKnown.size(); ++i) {
    if (kKnown[i].name != name) continue;
    std::call_once(once[i], [i] { drawn[i] = kKnown[i].draw(); });
    return &drawn[i];
  }
  return nullptr;
}

std::vector<uint8_t> deviceIndependentBitmap(const Picture& picture) {
  const auto width = static_cast<uint32_t>(picture.width);
  const auto height = static_cast<uint32_t>(picture.height);
  const uint32_t rowBytes = (width * 3 + 3) & ~3u;
  std::vector<uint8_t> dib;
  dib.reserve(40 + rowBytes * height);
  putLittleEndian(dib, 40, 4);      // header size
  putLittleEndian(dib, width, 4);   // width
  putLittleEndian(dib, height, 4);  // height: positive, rows from the bottom
  putLittleEndian(dib, 1, 2);       // planes
  putLittleEndian(dib, 24, 2);      // bits per pixel
  putLittleEndian(dib, 0, 4);       // BI_RGB: no compression
  putLittleEndian(dib, rowBytes * height, 4);
  putLittleEndian(dib, 2835, 4);  // 72 dots per inch
  putLittleEndian(dib, 2835, 4);
  putLittleEndian(dib, 0, 4);  // no palette
  putLittleEndian(dib, 0, 4);
  for (int32_t y = picture.height - 1; y >= 0; --y) {
    for (int32_t x = 0; x < picture.width; ++x) {
      const host::Rgb c = picture.pixel(x, y);
      dib.insert(dib.end(), {c.b, c.g, c.r});
    }
    for (uint32_t pad = width * 3; pad < rowBytes; ++pad)
      dib.push_back(0);
  }
  return dib;
}

}  // namespace corvale
