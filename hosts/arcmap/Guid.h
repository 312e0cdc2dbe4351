#pragma once

#include <windows.h>

#include <cstdint>

namespace corvale::arcmap {

namespace detail {

constexpr uint32_t hexDigit(char c) {
  if (c >= '0' && c <= '9') return static_cast<uint32_t>(c - '0');
  if (c >= 'A' && c <= 'F') return static_cast<uint32_t>(c - 'A' + 10);
  if (c >= 'a' && c <= 'f') return static_cast<uint32_t>(c - 'a' + 10);
  throw "not a hexadecimal digit";  // a compile-time error in a constant expression
}

constexpr uint32_t hexNumber(const char* text, int digits) {
  uint32_t value = 0;
  for (int i = 0; i < digits; ++i) value = value * 16 + hexDigit(text[i]);
  return value;
}

}  // namespace detail

/**
 * The identifier written "XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX" (no braces),
 * read at compile time: a misplaced dash or a stray character does not compile.
 */
consteval GUID guid(const char (&text)[37]) {
  if (text[8] != '-' || text[13] != '-' || text[18] != '-' || text[23] != '-') throw "malformed";
  GUID g{};
  g.Data1 = static_cast<unsigned long>(detail::hexNumber(text, 8));
  g.Data2 = static_cast<unsigned short>(detail::hexNumber(text + 9, 4));
  g.Data3 = static_cast<unsigned short>(detail::hexNumber(text + 14, 4));
  g.Data4[0] = static_cast<unsigned char>(detail::hexNumber(text + 19, 2));
  g.Data4[1] = static_cast<unsigned char>(detail::hexNumber(text + 21, 2));
  for (int i = 0; i < 6; ++i) {
    g.Data4[2 + i] = static_cast<unsigned char>(detail::hexNumber(text + 24 + 2 * i, 2));
  }
  return g;
}

}  // namespace corvale::arcmap
