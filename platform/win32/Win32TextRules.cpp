#include <windows.h>

#include <string>
#include <vector>

#include "platform/win32/Utf16.h"
#include "runtime/TextRules.h"

// The text rules on the Windows NLS API, under the user's default locale:
// LCMapStringEx for upper case and sort keys, CompareStringEx for the order,
// the ANSI code page for 8-bit text.

namespace corvale::textrules {

namespace {

constexpr DWORD kCollationFlags = NORM_IGNORECASE;  // case-insensitive, accent-sensitive

/// Upper case of UTF-16 units in place of `out`; false when the API refuses
/// or would change the length.
bool mapUpper(const wchar_t* in, int count, wchar_t* out) {
  return LCMapStringEx(LOCALE_NAME_USER_DEFAULT, LCMAP_UPPERCASE, in, count, out, count, nullptr,
                       nullptr, 0) == count;
}

/// The upper case of every character of the Basic Multilingual Plane, made
/// once: the search compares thousands of entries, one character at a time.
const std::vector<wchar_t>& upperTable() {
  static const std::vector<wchar_t> table = [] {
    std::vector<wchar_t> in(0x10000), out(0x10000);
    for (size_t c = 0; c < in.size(); ++c)
      in[c] = out[c] = static_cast<wchar_t>(c);
    // Surrogates are not characters; they keep themselves.
    const auto range = [&](size_t first, size_t last) {
      const int count = static_cast<int>(last - first + 1);
      if (mapUpper(&in[first], count, &out[first])) return;
      for (size_t c = first; c <= last; ++c) {
        if (!mapUpper(&in[c], 1, &out[c])) out[c] = in[c];
      }
    };
    range(0x0001, 0xD7FF);
    range(0xE000, 0xFFFF);
    return out;
  }();
  return table;
}

std::string narrow(const wchar_t* text, int count, UINT codePage) {
  if (count <= 0) return {};
  const int size = WideCharToMultiByte(codePage, 0, text, count, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(size > 0 ? size : 0), '\0');
  if (size > 0) WideCharToMultiByte(codePage, 0, text, count, out.data(), size, nullptr, nullptr);
  return out;
}

}  // namespace

char32_t upperCaseOf(char32_t c) {
  if (c < 0x10000) return static_cast<char32_t>(upperTable()[c]);
  if (c > 0x10FFFF) return c;
  const wchar_t pair[2] = {static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10)),
                           static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF))};
  wchar_t upper[2];
  if (!mapUpper(pair, 2, upper) || upper[0] < 0xD800 || upper[0] > 0xDBFF || upper[1] < 0xDC00 ||
      upper[1] > 0xDFFF) {
    return c;
  }
  return 0x10000 + ((static_cast<char32_t>(upper[0]) - 0xD800) << 10) +
         (static_cast<char32_t>(upper[1]) - 0xDC00);
}

char32_t caseClassOf(char32_t c) { return upperCaseOf(c); }

int collate(std::string_view a, std::string_view b) {
  const std::wstring wa = win32::widen(a), wb = win32::widen(b);
  const int r = CompareStringEx(LOCALE_NAME_USER_DEFAULT, kCollationFlags, wa.data(),
                                static_cast<int>(wa.size()), wb.data(), static_cast<int>(wb.size()),
                                nullptr, nullptr, 0);
  return r == CSTR_LESS_THAN ? -1 : (r == CSTR_GREATER_THAN ? 1 : 0);
}

bool appendSortKey(std::string_view text, std::string& key) {
  // The empty text's key is empty: it sorts before every other key.
  if (text.empty()) return true;
  // One buffer per thread: a sort keys every entry of a list, a thread per half.
  thread_local std::wstring wide;
  win32::assignWide(text, wide);
  const int count = static_cast<int>(wide.size());
  const size_t offset = key.size();
  int room = count * 8 + 16;
  for (int attempt = 0; attempt < 2; ++attempt) {
    key.resize(offset + static_cast<size_t>(room));
    const int written = LCMapStringEx(LOCALE_NAME_USER_DEFAULT, LCMAP_SORTKEY | kCollationFlags,
                                      wide.data(), count, reinterpret_cast<LPWSTR>(key.data() + offset),
                                      room, nullptr, nullptr, 0);
    if (written > 0) {
      // The count includes the terminating zero byte, which is dropped.
      key.resize(offset + static_cast<size_t>(written) - 1);
      return true;
    }
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) break;
    room = LCMapStringEx(LOCALE_NAME_USER_DEFAULT, LCMAP_SORTKEY | kCollationFlags, wide.data(),
                         count, nullptr, 0, nullptr, nullptr, 0);
    if (room <= 0) break;
  }
  key.resize(offset);
  return false;
}

std::string collationLocaleName() {
  wchar_t name[LOCALE_NAME_MAX_LENGTH];
  const int length = GetUserDefaultLocaleName(name, LOCALE_NAME_MAX_LENGTH);
  if (length <= 1) return "root";
  return narrow(name, length - 1, CP_UTF8);
}

std::optional<std::string> toCodePage(std::string_view text) {
  if (text.empty()) return std::string();
  if (GetACP() == CP_UTF8) return std::string(text);
  const std::optional<std::wstring> wide = win32::widenStrict(text);
  if (!wide) return std::nullopt;
  const int count = static_cast<int>(wide->size());
  BOOL usedDefault = FALSE;
  const int size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide->data(), count, nullptr,
                                       0, nullptr, &usedDefault);
  if (size <= 0 || usedDefault) return std::nullopt;
  std::string out(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide->data(), count, out.data(), size, nullptr,
                      &usedDefault);
  if (usedDefault) return std::nullopt;
  return out;
}

std::string fromCodePage(std::string_view bytes) {
  if (bytes.empty()) return {};
  const int count = MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()),
                                        nullptr, 0);
  if (count <= 0) return std::string(bytes);
  std::wstring wide(static_cast<size_t>(count), L'\0');
  MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), wide.data(), count);
  return narrow(wide.data(), count, CP_UTF8);
}

}  // namespace corvale::textrules
