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

}  // namespace corvale::win32
