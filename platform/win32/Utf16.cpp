#include "platform/win32/Utf16.h"

#include <windows.h>

namespace corvale::win32 {

namespace {

std::optional<std::wstring> convert(std::string_view utf8, DWORD flags) {
  if (utf8.empty()) return std::wstring();
  const int size = static_cast<int>(utf8.size());
  const int count = MultiByteToWideChar(CP_UTF8, flags, utf8.data(), size, nullptr, 0);
  if (count <= 0) return std::nullopt;
  std::wstring out(static_cast<size_t>(count), L'\0');
  MultiByteToWideChar(CP_UTF8, flags, utf8.data(), size, out.data(), count);
  return out;
}

}  // namespace

std::wstring widen(std::string_view utf8) { return convert(utf8, 0).value_or(std::wstring()); }

std::optional<std::wstring> widenStrict(std::string_view utf8) {
  return convert(utf8, MB_ERR_INVALID_CHARS);
}

std::string toUtf8(std::wstring_view utf16) {
  if (utf16.empty()) return {};
  const int count = static_cast<int>(utf16.size());
  const int size = WideCharToMultiByte(CP_UTF8, 0, utf16.data(), count, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return {};
  std::string out(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, utf16.data(), count, out.data(), size, nullptr, nullptr);
  return out;
}

}  // namespace corvale::win32
