#include "runtime/Text.h"

#include <unicode/uchar.h>
#include <unicode/ucol.h>
#include <unicode/uloc.h>
#include <unicode/ustring.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <cstring>
#include <future>
#include <memory>
#include <string_view>

#include "runtime/Failure.h"

namespace corvale {

namespace {

/// One step through UTF-8: the code point at `i` (or -1 for an invalid byte),
/// advancing `i` past it.
UChar32 nextCodePoint(std::string_view text, int32_t& i) {
  UChar32 c;
  U8_NEXT(reinterpret_cast<const uint8_t*>(text.data()), i, static_cast<int32_t>(text.size()), c);
  return c;
}

void appendCodePoint(std::string& out, UChar32 c) {
  char buffer[U8_MAX_LENGTH];
  int32_t length = 0;
  U8_APPEND_UNSAFE(reinterpret_cast<uint8_t*>(buffer), length, c);
  out.append(buffer, static_cast<size_t>(length));
}

std::u16string toUtf16(std::string_view text) {
  std::u16string out(text.size(), u'\0');
  int32_t length = 0;
  UErrorCode status = U_ZERO_ERROR;
  u_strFromUTF8WithSub(reinterpret_cast<UChar*>(out.data()), static_cast<int32_t>(out.size()),
                       &length, text.data(), static_cast<int32_t>(text.size()), 0xFFFD, nullptr,
                       &status);
  if (U_FAILURE(status)) return {};
  out.resize(static_cast<size_t>(length));
  return out;
}

struct CollatorDeleter {
  void operator()(UCollator* c) const { ucol_close(c); }
};

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

UCollator* collator() {
  thread_local std::unique_ptr<UCollator, CollatorDeleter> instance = [] {
    UErrorCode status = U_ZERO_ERROR;
    const std::string locale = collationLocale();
    UCollator* c = ucol_open(locale == "root" ? "" : locale.c_str(), &status);
    if (U_FAILURE(status) || c == nullptr) {
      status = U_ZERO_ERROR;
      c = ucol_open("", &status);
    }
    if (c == nullptr) raise(err::kInternalError, "The text collation is not available");
    ucol_setStrength(c, UCOL_SECONDARY);
    return std::unique_ptr<UCollator, CollatorDeleter>(c);
  }();
  return instance.get();
}

std::string sortKeyOf(const std::u16string& text) {
  std::string key(text.size() * 2 + 16, '\0');
  for (;;) {
    const int32_t needed = ucol_getSortKey(
        collator(), reinterpret_cast<const UChar*>(text.data()), static_cast<int32_t>(text.size()),
        reinterpret_cast<uint8_t*>(key.data()), static_cast<int32_t>(key.size()));
    if (needed <= static_cast<int32_t>(key.size())) {
      // The length includes the terminating zero byte, which is dropped.
      key.resize(needed > 0 ? static_cast<size_t>(needed) - 1 : 0);
      return key;
    }
    key.resize(static_cast<size_t>(needed));
  }
}

}  // namespace

bool isBlank(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return c == ' '; });
}

bool equalsNoCase(std::string_view a, std::string_view b) {
  int32_t i = 0, j = 0;
  const auto na = static_cast<int32_t>(a.size()), nb = static_cast<int32_t>(b.size());
  while (i < na && j < nb) {
    const int32_t si = i, sj = j;
    const UChar32 ca = nextCodePoint(a, i), cb = nextCodePoint(b, j);
    if (ca < 0 || cb < 0) {
      if (a.substr(static_cast<size_t>(si), static_cast<size_t>(i - si)) !=
          b.substr(static_cast<size_t>(sj), static_cast<size_t>(j - sj))) {
        return false;
      }
      continue;
    }
    if (ca != cb && u_foldCase(ca, U_FOLD_CASE_DEFAULT) != u_foldCase(cb, U_FOLD_CASE_DEFAULT)) {
      return false;
    }
  }
  return i == na && j == nb;
}

std::string upperCase(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  int32_t i = 0;
  const auto n = static_cast<int32_t>(text.size());
  while (i < n) {
    const int32_t start = i;
    const UChar32 c = nextCodePoint(text, i);
    if (c < 0) {
      out.append(text.substr(static_cast<size_t>(start), static_cast<size_t>(i - start)));
    } else if (c < 0x80) {
      out += static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
    } else {
      appendCodePoint(out, u_toupper(c));
    }
  }
  return out;
}

size_t characterCount(std::string_view text) {
  size_t count = 0;
  int32_t i = 0;
  const auto n = static_cast<int32_t>(text.size());
  while (i < n) {
    nextCodePoint(text, i);
    ++count;
  }
  return count;
}

bool upperStartsWith(std::string_view text, std::string_view upperPrefix) {
  int32_t i = 0, j = 0;
  const auto nt = static_cast<int32_t>(text.size()), np = static_cast<int32_t>(upperPrefix.size());
  while (j < np) {
    if (i >= nt) return false;
    const int32_t si = i, sj = j;
    const UChar32 ct = nextCodePoint(text, i), cp = nextCodePoint(upperPrefix, j);
    if (ct < 0 || cp < 0) {
      if (text.substr(static_cast<size_t>(si), static_cast<size_t>(i - si)) !=
          upperPrefix.substr(static_cast<size_t>(sj), static_cast<size_t>(j - sj))) {
        return false;
      }
      continue;
    }
    const UChar32 upper = ct < 0x80 ? (ct >= 'a' && ct <= 'z' ? ct - 32 : ct) : u_toupper(ct);
    if (upper != cp) return false;
  }
  return true;
}

int Collation::compare(std::string_view a, std::string_view b) {
  UErrorCode status = U_ZERO_ERROR;
  const UCollationResult r = ucol_strcollUTF8(collator(), a.data(), static_cast<int32_t>(a.size()),
                                              b.data(), static_cast<int32_t>(b.size()), &status);
  if (U_SUCCESS(status) && r != UCOL_EQUAL) return r == UCOL_LESS ? -1 : 1;
  const int bytes = a.compare(b);
  return bytes < 0 ? -1 : (bytes > 0 ? 1 : 0);
}

std::string Collation::sortKey(std::string_view text) {
  return sortKeyOf(toUtf16(text));
}

namespace {

/**
 * One text to sort: the first eight bytes of its sort key as a big-endian
 * number (zero-padded), the whole key, and its position. Most comparisons
 * are decided by the prefix alone, without touching the keys.
 */
struct SortEntry {
  uint64_t prefix = 0;
  const uint8_t* key = nullptr;
  size_t keySize = 0;
  size_t position = 0;
};

/// The sort keys of texts[begin, end), kept one after another in `bytes`.
std::vector<SortEntry> sortEntries(const std::vector<std::string>& texts, size_t begin, size_t end,
                                   std::vector<uint8_t>& bytes) {
  std::vector<SortEntry> entries(end - begin);
  std::vector<size_t> offsets(end - begin);
  std::u16string utf16;
  bytes.clear();
  for (size_t i = begin; i < end; ++i) {
    const std::string& text = texts[i];
    utf16.resize(text.size());
    int32_t length = 0;
    UErrorCode status = U_ZERO_ERROR;
    u_strFromUTF8WithSub(reinterpret_cast<UChar*>(utf16.data()), static_cast<int32_t>(utf16.size()),
                         &length, text.data(), static_cast<int32_t>(text.size()), 0xFFFD, nullptr,
                         &status);
    if (U_FAILURE(status)) length = 0;
    const size_t offset = bytes.size();
    size_t room = static_cast<size_t>(length) * 3 + 16;
    for (;;) {
      bytes.resize(offset + room);
      const int32_t needed =
          ucol_getSortKey(collator(), reinterpret_cast<const UChar*>(utf16.data()), length,
                          bytes.data() + offset, static_cast<int32_t>(room));
      if (needed <= static_cast<int32_t>(room)) {
        // The length includes the terminating zero byte, which is dropped.
        bytes.resize(offset + (needed > 0 ? static_cast<size_t>(needed) - 1 : 0));
        break;
      }
      room = static_cast<size_t>(needed);
    }
    offsets[i - begin] = offset;
    entries[i - begin].keySize = bytes.size() - offset;
    entries[i - begin].position = i;
  }
  // Pointers only once the buffer has stopped growing.
  for (size_t k = 0; k < entries.size(); ++k) {
    SortEntry& entry = entries[k];
    entry.key = bytes.data() + offsets[k];
    for (size_t b = 0; b < 8; ++b) {
      entry.prefix = (entry.prefix << 8) | (b < entry.keySize ? entry.key[b] : 0u);
    }
  }
  return entries;
}

/// Collation order with the binary tie-break. Equal prefixes compare whole
/// keys: a shorter key padded with zeros sorts first, as it does whole.
struct SortEntryLess {
  const std::vector<std::string>* texts;
  bool operator()(const SortEntry& x, const SortEntry& y) const {
    if (x.prefix != y.prefix) return x.prefix < y.prefix;
    const int bytes = std::memcmp(x.key, y.key, std::min(x.keySize, y.keySize));
    if (bytes != 0) return bytes < 0;
    if (x.keySize != y.keySize) return x.keySize < y.keySize;
    return (*texts)[x.position] < (*texts)[y.position];
  }
};

/// Below this many texts a second thread costs more than it saves.
constexpr size_t kParallelSort = 20000;

}  // namespace

std::vector<size_t> Collation::order(const std::vector<std::string>& texts) {
  const size_t n = texts.size();
  const SortEntryLess less{&texts};
  std::vector<uint8_t> lowerKeys, upperKeys;
  std::vector<SortEntry> sorted;
  if (n < kParallelSort) {
    sorted = sortEntries(texts, 0, n, lowerKeys);
    std::sort(sorted.begin(), sorted.end(), less);
  } else {
    // Each half is keyed and sorted on a thread of its own (each with its own
    // collator), then the halves are merged.
    const size_t half = n / 2;
    auto upperHalf = std::async(std::launch::async, [&] {
      std::vector<SortEntry> entries = sortEntries(texts, half, n, upperKeys);
      std::sort(entries.begin(), entries.end(), less);
      return entries;
    });
    std::vector<SortEntry> lower = sortEntries(texts, 0, half, lowerKeys);
    std::sort(lower.begin(), lower.end(), less);
    const std::vector<SortEntry> upper = upperHalf.get();
    sorted.resize(n);
    std::merge(lower.begin(), lower.end(), upper.begin(), upper.end(), sorted.begin(), less);
  }
  std::vector<size_t> positions(n);
  for (size_t k = 0; k < n; ++k)
    positions[k] = sorted[k].position;
  return positions;
}

void Collation::sort(std::vector<std::string>& texts) {
  const std::vector<size_t> positions = order(texts);
  std::vector<std::string> sorted;
  sorted.reserve(texts.size());
  for (size_t i : positions)
    sorted.push_back(std::move(texts[i]));
  texts = std::move(sorted);
}

std::optional<std::string> toSystemCodePage(std::string_view text) {
  return std::string(text);
}

std::string fromSystemCodePage(std::string_view bytes) { return std::string(bytes); }

std::string Collation::localeName() {
  return collationLocale();
}

}  // namespace corvale
