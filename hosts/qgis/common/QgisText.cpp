#include "hosts/qgis/common/QgisText.h"

#include <cstdint>
#include <cstring>

#include "runtime/Text.h"

namespace corvale::qgis {

namespace {
constexpr char32_t kReplacement = 0xFFFD;
}  // namespace

std::string utf8Of(const QString& text) {
  std::string out;
  assignUtf8(out, text);
  return out;
}

void assignUtf8(std::string& out, const QString& text) {
  const auto* units = reinterpret_cast<const char16_t*>(text.utf16());
  const auto size = static_cast<size_t>(text.size());
  out.clear();
  // Street names are mostly ASCII: reserve for that, grow for the rest.
  out.reserve(size);
  for (size_t i = 0; i < size; ++i) {
    const char16_t unit = units[i];
    if (unit < 0x80) {
      out += static_cast<char>(unit);
    } else if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < size && units[i + 1] >= 0xDC00 &&
               units[i + 1] <= 0xDFFF) {
      const char32_t high = unit - 0xD800u, low = units[i + 1] - 0xDC00u;
      appendCodePoint(out, 0x10000 + (high << 10) + low);
      ++i;
    } else if (unit >= 0xD800 && unit <= 0xDFFF) {
      appendCodePoint(out, kReplacement);
    } else {
      appendCodePoint(out, unit);
    }
  }
}

bool isPlainUtf8(std::string_view text) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const size_t size = text.size();
  if (size >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) return false;
  size_t i = 0;
  while (i < size) {
    // Eight ASCII bytes at a time: street names are mostly ASCII.
    if (i + 8 <= size) {
      uint64_t word;
      std::memcpy(&word, bytes + i, sizeof word);
      if ((word & 0x8080808080808080ull) == 0) {
        i += 8;
        continue;
      }
    }
    const unsigned char lead = bytes[i];
    if (lead < 0x80) {
      ++i;
      continue;
    }
    size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      if (lead == 0xE0) low = 0xA0;   // no overlong form
      if (lead == 0xED) high = 0x9F;  // no surrogate
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      if (lead == 0xF0) low = 0x90;   // no overlong form
      if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
    } else {
      return false;
    }
    if (i + length > size || bytes[i + 1] < low || bytes[i + 1] > high) return false;
    for (size_t k = 2; k < length; ++k) {
      if ((bytes[i + k] & 0xC0) != 0x80) return false;
    }
    i += length;
  }
  return true;
}

QString qstringOf(std::string_view utf8) {
  return QString::fromUtf8(utf8.data(), static_cast<int>(utf8.size()));
}

std::string sqlIdentifier(std::string_view name) {
  std::string quoted = "\"";
  for (char c : name) {
    quoted += c;
    if (c == '"') quoted += '"';
  }
  return quoted + "\"";
}

}  // namespace corvale::qgis
