#pragma once

#include <string>
#include <string_view>

namespace corvale::win32 {

/// UTF-8 text as the UTF-16 that every Win32 call takes; invalid bytes become U+FFFD.
std::wstring wide(std::string_view text);
/// UTF-16 text from a Win32 call as UTF-8; unpaired surrogates become U+FFFD.
std::string narrow(std::wstring_view text);

}  // namespace corvale::win32
