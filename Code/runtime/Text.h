#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvale {

/**
 * Text rules. Texts are UTF-8; a byte sequence that is not valid UTF-8 is
 * kept as it is and compares by its bytes.
 */

/// True when the text is empty or made only of spaces.
bool isBlank(std::string_view text);

/// Case-insensitive equality of whole texts by simple (one-to-one) case folding;
/// nothing is trimmed.
bool equalsNoCase(std::string_view a, std::string_view b);

/// The text in upper case by simple (one-to-one) case mapping.
std::string upperCase(std::string_view text);

/// Appends the UTF-8 form of a code point (at most U+10FFFF; the caller keeps surrogates out).
inline void appendCodePoint(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

/// Number of characters (code points; an invalid byte counts as one).
size_t characterCount(std::string_view text);

/**
 * True when the first characterCount(upperPrefix) characters of `text`, in
 * upper case, equal `upperPrefix` character for character. A text shorter
 * than the prefix never matches. `upperPrefix` must already be upper case.
 */
bool upperStartsWith(std::string_view text, std::string_view upperPrefix);

/**
 * The text in the system's 8-bit code page, the encoding of the
 * configuration file's bytes: UTF-8 on Linux, the ANSI code page on Windows.
 * Nothing when a character of the text has no place in that code page.
 */
std::optional<std::string> toSystemCodePage(std::string_view text);

/// The UTF-8 text of bytes in the system's 8-bit code page.
std::string fromSystemCodePage(std::string_view bytes);

/**
 * The order of sorted lists: the user's locale's collation at secondary
 * strength (letter case ignored, accents not), texts that compare equal
 * ordered by their bytes. A "C"/POSIX locale collates by the root order.
 */
class Collation {
 public:
  /// Negative, zero or positive as a sorts before, with or after b.
  static int compare(std::string_view a, std::string_view b);

  /// The key whose byte order is the collation order (before the tie-break).
  static std::string sortKey(std::string_view text);

  /// The positions of the texts in collation order with the binary tie-break:
  /// order[k] is the position of the k-th text.
  static std::vector<size_t> order(const std::vector<std::string>& texts);

  /// Sorts the texts in place, in collation order with the binary tie-break.
  static void sort(std::vector<std::string>& texts);

  /// The locale the collation follows, as ICU names it ("root" for the root order).
  static std::string localeName();
};

}  // namespace corvale
