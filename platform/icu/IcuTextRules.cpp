#include <unicode/uchar.h>
#include <unicode/ucol.h>
#include <unicode/uloc.h>
#include <unicode/ustring.h>

#include <algorithm>
#include <cctype>
#include <memory>

#include "runtime/TextRules.h"

namespace corvale::textrules {

namespace {

struct CollatorDeleter {
  void operator()(UCollator* c) const { ucol_close(c); }
};

/// ICU's default locale, or "root" where that locale is the C/POSIX one.
std::string collationLocale() {
  std::string locale = uloc_getDefault();
  std::string lower = locale;
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
  if (lower.empty() || lower == "c" || lower.rfind("en_us_posix", 0) == 0 ||
      lower.rfind("c_", 0) == 0 || lower.rfind("posix", 0) == 0) {
    return "root";
  }
  return locale;
}

/// The thread's collator at secondary strength, opened once per thread for
/// the locale of that moment; nullptr when ICU has none at all.
UCollator* collator() {
  thread_local std::unique_ptr<UCollator, CollatorDeleter> instance = [] {
    UErrorCode status = U_ZERO_ERROR;
    const std::string locale = collationLocale();
    UCollator* c = ucol_open(locale == "root" ? "" : locale.c_str(), &status);
    if (U_FAILURE(status) || c == nullptr) {
      status = U_ZERO_ERROR;
      c = ucol_open("", &status);
    }
    if (c != nullptr) ucol_setStrength(c, UCOL_SECONDARY);
    return std::unique_ptr<UCollator, CollatorDeleter>(c);
  }();
  return instance.get();
}

}  // namespace

char32_t upperCaseOf(char32_t c) {
  return static_cast<char32_t>(u_toupper(static_cast<UChar32>(c)));
}

char32_t caseClassOf(char32_t c) {
  return static_cast<char32_t>(u_foldCase(static_cast<UChar32>(c), U_FOLD_CASE_DEFAULT));
}

int collate(std::string_view a, std::string_view b) {
  UCollator* c = collator();
  if (c == nullptr) return 0;
  UErrorCode status = U_ZERO_ERROR;
  const UCollationResult r = ucol_strcollUTF8(c, a.data(), static_cast<int32_t>(a.size()),
                                              b.data(), static_cast<int32_t>(b.size()), &status);
  if (U_FAILURE(status)) return 0;
  return r == UCOL_LESS ? -1 : (r == UCOL_GREATER ? 1 : 0);
}

bool appendSortKey(std::string_view text, std::string& key) {
  UCollator* c = collator();
  if (c == nullptr) return false;
  thread_local std::u16string utf16;
  utf16.resize(text.size());
  int32_t length = 0;
  UErrorCode status = U_ZERO_ERROR;
  u_strFromUTF8WithSub(reinterpret_cast<UChar*>(utf16.data()), static_cast<int32_t>(utf16.size()),
                       &length, text.data(), static_cast<int32_t>(text.size()), 0xFFFD, nullptr,
                       &status);
  if (U_FAILURE(status)) length = 0;
  const size_t offset = key.size();
  size_t room = static_cast<size_t>(length) * 3 + 16;
  for (;;) {
    key.resize(offset + room);
    const int32_t needed =
        ucol_getSortKey(c, reinterpret_cast<const UChar*>(utf16.data()), length,
                        reinterpret_cast<uint8_t*>(key.data() + offset), static_cast<int32_t>(room));
    if (needed <= static_cast<int32_t>(room)) {
      // The length includes the terminating zero byte, which is dropped.
      key.resize(offset + (needed > 0 ? static_cast<size_t>(needed) - 1 : 0));
      return true;
    }
    room = static_cast<size_t>(needed);
  }
}

std::string collationLocaleName() { return collationLocale(); }

std::optional<std::string> toCodePage(std::string_view text) {
  // The code page is UTF-8: every character has its place.
  return std::string(text);
}

std::string fromCodePage(std::string_view bytes) { return std::string(bytes); }

}  // namespace corvale::textrules
