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
  std::string out;
  assignUtf8(utf16, out);
  return out;
}

void assignUtf8(std::wstring_view utf16, std::string& out) {
  const size_t n = utf16.size();
  out.resize(n);
  size_t k = 0;
  for (; k < n && utf16[k] < 0x80; ++k)
    out[k] = static_cast<char>(utf16[k]);
  if (k == n) return;
  out.clear();
  const int count = static_cast<int>(n);
  const int size = WideCharToMultiByte(CP_UTF8, 0, utf16.data(), count, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return;
  out.resize(static_cast<size_t>(size));
  WideCharToMultiByte(CP_UTF8, 0, utf16.data(), count, out.data(), size, nullptr, nullptr);
}

void assignWide(std::string_view utf8, std::wstring& out) {
  const size_t n = utf8.size();
  out.resize(n);
  size_t k = 0;
  for (; k < n && static_cast<unsigned char>(utf8[k]) < 0x80; ++k)
    out[k] = static_cast<wchar_t>(utf8[k]);
  if (k == n) return;
  out = widen(utf8);
}

}  // namespace corvale::win32
