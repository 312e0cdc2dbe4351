#pragma once

#include <optional>
#include <string>
#include <string_view>

/**
 * The platform's text rules: the few primitives that differ between the
 * platforms, behind the portable text functions of runtime/Text.h. Each
 * platform library (ICU on Linux, the Windows NLS API on Windows) defines
 * them; the component includes no platform header.
 *
 * Texts are UTF-8. The primitives never throw; where one cannot give an
 * answer it says so by its result, and the caller decides.
 */
namespace corvale::textrules {

/// The upper-case form of one character by simple (one-to-one) case
/// mapping; a character without one is itself.
char32_t upperCaseOf(char32_t c);

/**
 * The character that stands for the case class of `c`: two characters are
 * equal without regard to case exactly when these are equal.
 */
char32_t caseClassOf(char32_t c);

/**
 * The collation of the user's locale at secondary strength (letter case
 * ignored, accents not): negative, zero or positive as a sorts before, with
 * or after b. Zero also when the platform cannot compare the texts.
 */
int collate(std::string_view a, std::string_view b);

/**
 * Appends the sort key of the text to `key`: the byte order of two keys is
 * the order of collate(). Bytes that are not UTF-8 stand for the
 * replacement character. False, with `key` unchanged, when the platform has
 * no collation to offer.
 */
bool appendSortKey(std::string_view text, std::string& key);

/// The name of the locale the collation follows, as the platform names it
/// ("root" for the root order).
std::string collationLocaleName();

/**
 * The text in the system's 8-bit code page. Nothing when a character has no
 * place in the code page. Bytes that are not UTF-8 have a place only where
 * the code page is UTF-8 itself, and there they pass unchanged.
 */
std::optional<std::string> toCodePage(std::string_view text);

/// The UTF-8 text of bytes in the system's 8-bit code page.
std::string fromCodePage(std::string_view bytes);

}  // namespace corvale::textrules
