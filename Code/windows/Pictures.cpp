#include "windows/Pictures.h"

#include <array>
#include <map>
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

const Palette& palette() {
  static const Palette colours = {
      {'.', kBackground},   {'K', {0, 0, 0}},       {'b', {170, 210, 255}}, {'w', {255, 255, 255}},
      {'H', {128, 64, 0}},  {'D', {96, 96, 96}},    {'Y', {255, 220, 0}},   {'G', {0, 150, 40}},
      {'B', {30, 80, 200}}, {'W', {255, 255, 255}}, {'R', {200, 20, 20}},   {'S', {110, 110, 120}},
  };
  return colours;
}

Picture draw(const std::array<const char*, 16>& rows, int32_t scale = 1) {
  Picture picture;
  picture.width = picture.height = 16 * scale;
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
  static const std::map<std::string, Picture, std::less<>> pictures = {
      {"toolbar", draw(kToolbar)},     {"logo", draw(kToolbar, 3)}, {"go", draw(kGo)},
      {"help", draw(kHelp)},           {"cancel", draw(kCancel)},   {"continue", draw(kContinue)},
      {"configure", draw(kConfigure)},
  };
  auto found = pictures.find(name);
  return found == pictures.end() ? nullptr : &found->second;
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
