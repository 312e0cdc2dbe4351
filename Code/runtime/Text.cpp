#include "runtime/Text.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <future>
#include <string_view>

#include "runtime/Failure.h"
#include "runtime/KeptBytes.h"
#include "runtime/SortKeys.h"
#include "runtime/TextRules.h"

namespace corvale {

namespace {

/// A step that found no character: the bytes of an ill-formed sequence.
constexpr char32_t kInvalid = 0xFFFFFFFF;

/**
 * One step through UTF-8: the code point at `i`, advancing `i` past it. An
 * ill-formed sequence gives kInvalid and is passed over by its longest
 * beginning that some well-formed sequence shares (at least one byte), the
 * way the Unicode standard recommends counting replacement characters.
 */
char32_t nextCodePoint(std::string_view text, size_t& i) {
  const auto byte = [&](size_t k) { return static_cast<uint8_t>(text[k]); };
  const uint8_t lead = byte(i++);
  if (lead < 0x80) return lead;
  size_t trail;
  char32_t c;
  uint8_t low = 0x80, high = 0xBF;  // the range of the first trail byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    trail = 1;
    c = lead & 0x1Fu;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    trail = 2;
    c = lead & 0x0Fu;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    trail = 3;
    c = lead & 0x07u;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;  // nothing beyond U+10FFFF
  } else {
    return kInvalid;
  }
  for (size_t k = 0; k < trail; ++k) {
    if (i >= text.size()) return kInvalid;
    const uint8_t b = byte(i);
    if (b < low || b > high) return kInvalid;
    c = (c << 6) | (b & 0x3Fu);
    ++i;
    low = 0x80;
    high = 0xBF;
  }
  return c;
}

char32_t upperOf(char32_t c) {
  if (c < 0x80) return c >= 'a' && c <= 'z' ? c - 32 : c;
  return textrules::upperCaseOf(c);
}

}  // namespace

bool isBlank(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return c == ' '; });
}

bool equalsNoCase(std::string_view a, std::string_view b) {
  size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    const size_t si = i, sj = j;
    const char32_t ca = nextCodePoint(a, i), cb = nextCodePoint(b, j);
    if (ca == kInvalid || cb == kInvalid) {
      if (a.substr(si, i - si) != b.substr(sj, j - sj)) return false;
      continue;
    }
    if (ca != cb && textrules::caseClassOf(ca) != textrules::caseClassOf(cb)) return false;
  }
  return i == a.size() && j == b.size();
}

std::string upperCase(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    const size_t start = i;
    const char32_t c = nextCodePoint(text, i);
    if (c == kInvalid) {
      out.append(text.substr(start, i - start));
    } else {
      appendCodePoint(out, upperOf(c));
    }
  }
  return out;
}

size_t characterCount(std::string_view text) {
  size_t count = 0;
  size_t i = 0;
  while (i < text.size()) {
    nextCodePoint(text, i);
    ++count;
  }
  return count;
}

bool upperStartsWith(std::string_view text, std::string_view upperPrefix) {
  size_t i = 0, j = 0;
  // Letters and digits of ASCII, byte for byte: no decoding, no table. An
  // ASCII byte is a whole character in UTF-8 and never part of a longer or an
  // ill-formed sequence, so the decoding below takes over at a character's
  // beginning in both texts.
  const size_t common = std::min(text.size(), upperPrefix.size());
  // Eight bytes at a time while both are ASCII: the text's small letters
  // become capitals in every byte at once (no byte carries into the next,
  // since every byte is below 0x80), then the words compare.
  constexpr uint64_t kOnes = 0x0101010101010101u, kHigh = 0x8080808080808080u;
  // 1: the eight bytes at `at` are ASCII in both and alike; 0: ASCII and not alike; -1: not ASCII.
  const auto wordAlike = [&](size_t at) {
    uint64_t t, p;
    std::memcpy(&t, text.data() + at, 8);
    std::memcpy(&p, upperPrefix.data() + at, 8);
    if ((t | p) & kHigh) return -1;
    const uint64_t fromA = t + (0x80 - 'a') * kOnes;      // high bit: the byte is 'a' or above
    const uint64_t pastZ = t + (0x80 - 'z' - 1) * kOnes;  // high bit: the byte is above 'z'
    t -= ((fromA & ~pastZ) & kHigh) >> 2;                 // 0x20 off each small letter
    return t == p ? 1 : 0;
  };
  while (j + 8 <= common) {
    const int alike = wordAlike(j);
    if (alike == 0) return false;
    if (alike < 0) break;
    j += 8;
  }
  // The last few bytes as the word that ends with them (its first bytes compared again).
  if (j < common && j + 8 > common && common >= 8) {
    const int alike = wordAlike(common - 8);
    if (alike == 0) return false;
    if (alike > 0) j = common;
  }
  while (j < common) {
    const auto t = static_cast<unsigned char>(text[j]);
    const auto p = static_cast<unsigned char>(upperPrefix[j]);
    if ((t | p) >= 0x80) break;
    if ((t >= 'a' && t <= 'z' ? t - 32 : t) != p) return false;
    ++j;
  }
  i = j;
  while (j < upperPrefix.size()) {
    if (i >= text.size()) return false;
    const size_t si = i, sj = j;
    const char32_t ct = nextCodePoint(text, i), cp = nextCodePoint(upperPrefix, j);
    if (ct == kInvalid || cp == kInvalid) {
      if (text.substr(si, i - si) != upperPrefix.substr(sj, j - sj)) return false;
      continue;
    }
    if (upperOf(ct) != cp) return false;
  }
  return true;
}

int Collation::compare(std::string_view a, std::string_view b) {
  const int r = textrules::collate(a, b);
  if (r != 0) return r < 0 ? -1 : 1;
  const int bytes = a.compare(b);
  return bytes < 0 ? -1 : (bytes > 0 ? 1 : 0);
}

namespace {

/// Appends the text's sort key to `key`; failure 51 when the platform has no collation.
void appendSortKey(std::string_view text, std::string& key) {
  if (!textrules::appendSortKey(text, key)) {
    raise(err::kInternalError, "The text collation is not available");
  }
}

}  // namespace

std::string Collation::sortKey(std::string_view text) {
  std::string key;
  appendSortKey(text, key);
  return key;
}

namespace {

/// The sort entries of texts[begin, end), their keys kept in `keys`. Each
/// entry points at its key as soon as the key is made: the keys never move.
std::vector<SortKeyEntry> sortEntries(const std::vector<std::string>& texts, size_t begin,
                                      size_t end, KeptBytes& keys) {
  std::vector<SortKeyEntry> entries(end - begin);
  std::string key;
  for (size_t i = begin; i < end; ++i) {
    key.clear();
    appendSortKey(texts[i], key);
    SortKeyEntry& entry = entries[i - begin];
    entry.key = reinterpret_cast<const uint8_t*>(keys.keep(key));
    entry.keySize = key.size();
    entry.position = i;
    entry.setPrefix();
  }
  return entries;
}

}  // namespace

std::vector<size_t> Collation::order(const std::vector<std::string>& texts) {
  const size_t n = texts.size();
  const SortKeyEntryLess less{&texts};
  // Blocks below the allocator's threshold for mappings of their own: when
  // they are freed, the sorted copies of the texts reuse their memory.
  KeptBytes lowerKeys(size_t{1} << 16), upperKeys(size_t{1} << 16);
  std::vector<size_t> positions(n);
  if (n < kParallelSortKeys) {
    std::vector<SortKeyEntry> sorted = sortEntries(texts, 0, n, lowerKeys);
    std::sort(sorted.begin(), sorted.end(), less);
    for (size_t k = 0; k < n; ++k)
      positions[k] = sorted[k].position;
    return positions;
  }
  // Each half is keyed and sorted on a thread of its own (each with its own
  // collator), then the halves are merged straight into the positions.
  const size_t half = n / 2;
  auto upperHalf = std::async(std::launch::async, [&] {
    std::vector<SortKeyEntry> entries = sortEntries(texts, half, n, upperKeys);
    std::sort(entries.begin(), entries.end(), less);
    return entries;
  });
  std::vector<SortKeyEntry> lower = sortEntries(texts, 0, half, lowerKeys);
  std::sort(lower.begin(), lower.end(), less);
  const std::vector<SortKeyEntry> upper = upperHalf.get();
  size_t i = 0, j = 0, k = 0;
  while (i < lower.size() && j < upper.size())
    positions[k++] = less(upper[j], lower[i]) ? upper[j++].position : lower[i++].position;
  while (i < lower.size())
    positions[k++] = lower[i++].position;
  while (j < upper.size())
    positions[k++] = upper[j++].position;
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
  return textrules::toCodePage(text);
}

std::string fromSystemCodePage(std::string_view bytes) { return textrules::fromCodePage(bytes); }

std::string Collation::localeName() { return textrules::collationLocaleName(); }

}  // namespace corvale
