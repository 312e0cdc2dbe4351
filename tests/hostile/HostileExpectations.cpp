#include "hostile/HostileExpectations.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <stdexcept>

#include <unicode/uchar.h>
#include <unicode/ucol.h>
#include <unicode/utf8.h>

namespace corvale::testing {

namespace {

struct CollatorCloser {
  void operator()(UCollator* c) const { ucol_close(c); }
};

/// Code points of UTF-8 text; each byte of an ill-formed sequence stands for itself.
std::vector<UChar32> codePoints(std::string_view text) {
  std::vector<UChar32> points;
  const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
  const auto length = static_cast<int32_t>(text.size());
  int32_t i = 0;
  while (i < length) {
    const int32_t start = i;
    UChar32 c = 0;
    U8_NEXT(bytes, i, length, c);
    if (c < 0) {
      points.push_back(0x110000 + bytes[start]);  // not a character: the byte itself
      i = start + 1;
    } else {
      points.push_back(c);
    }
  }
  return points;
}

UChar32 upper(UChar32 c) {
  return c > 0x10FFFF ? c : u_toupper(c);
}

}  // namespace

std::vector<std::string> collatedOrder(const std::set<std::string>& texts,
                                       const std::string& locale) {
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<UCollator, CollatorCloser> collator(
      ucol_open(locale == "root" ? "" : locale.c_str(), &status));
  if (U_FAILURE(status)) throw std::runtime_error("no collator for " + locale);
  ucol_setStrength(collator.get(), UCOL_SECONDARY);
  std::vector<std::string> order(texts.begin(), texts.end());
  std::stable_sort(order.begin(), order.end(), [&](const std::string& a, const std::string& b) {
    UErrorCode s = U_ZERO_ERROR;
    const UCollationResult r =
        ucol_strcollUTF8(collator.get(), a.data(), static_cast<int32_t>(a.size()), b.data(),
                         static_cast<int32_t>(b.size()), &s);
    if (U_FAILURE(s)) throw std::runtime_error("ICU could not compare texts");
    if (r != UCOL_EQUAL) return r == UCOL_LESS;
    return a < b;  // std::string compares its bytes as unsigned
  });
  return order;
}

std::vector<std::string> expectedList(const std::vector<std::optional<std::string>>& texts,
                                      const std::string& locale) {
  std::set<std::string> distinct;
  for (const auto& text : texts) {
    if (text && !text->empty()) distinct.insert(*text);
  }
  return collatedOrder(distinct, locale);
}

int firstEntryBeginningWith(const std::vector<std::string>& entries, std::string_view prefix) {
  const std::vector<UChar32> wanted = codePoints(prefix);
  for (size_t i = 0; i < entries.size(); ++i) {
    const std::vector<UChar32> entry = codePoints(entries[i]);
    if (entry.size() < wanted.size()) continue;
    bool same = true;
    for (size_t k = 0; k < wanted.size() && same; ++k)
      same = upper(entry[k]) == upper(wanted[k]);
    if (same) return static_cast<int>(i);
  }
  return -1;
}

const std::vector<std::string>& hostilePrefixes() {
  static const std::vector<std::string> prefixes = {
      "x'",
      "X' OR '1",
      "'",
      "%",
      "100%",
      "_",
      "under_",
      "\"",
      "the \"s",
      "\t",
      "tab\t",
      "carriage\r",
      "line\n",
      "start\x01",
      "delete\x7f",
      "\xF0\x9F\x9A\xB2",
      "\xF0\x9F\x91\xA8\xE2\x80\x8D",
      "caf\xC3\xA9",
      "CAF\xC3\x89",
      "cafe",
      " ",
      "  ",
      "   p",
      "padded road ",
      "elm",
      "#",
      "a = ",
      "long lll",
  };
  return prefixes;
}

std::string printable(const std::string& text) {
  std::string out;
  for (unsigned char c : text.substr(0, 60)) {
    if (c < 0x20 || c == 0x7f || c >= 0x80) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02x", c);
      out += hex;
    } else {
      out += static_cast<char>(c);
    }
  }
  return text.size() > 60 ? out + "..." : out;
}

}  // namespace corvale::testing
