#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace corvale::win32 {

/// The UTF-16 form of a UTF-8 text; bytes that are not UTF-8 become U+FFFD.
std::wstring widen(std::string_view utf8);

/// The UTF-16 form of a UTF-8 text; nothing when the text is not UTF-8.
std::optional<std::wstring> widenStrict(std::string_view utf8);

/// The UTF-8 form of a UTF-16 text; unpaired surrogates become U+FFFD.
std::string toUtf8(std::wstring_view utf16);

/**
 * The same forms, written over `out` (its storage is reused): for the loops
 * that convert a text per row or per entry. ASCII text, the common case of
 * names, is copied unit for unit without a call into the system; any other
 * text gets exactly the system's conversion that the forms above give.
 */
void assignUtf8(std::wstring_view utf16, std::string& out);
void assignWide(std::string_view utf8, std::wstring& out);

}  // namespace corvale::win32
