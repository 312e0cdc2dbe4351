#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace corvale {

/**
 * One text to sort by its collation key: the first eight bytes of the key as
 * a big-endian number (zero-padded), the whole key, and the text's position.
 * Most comparisons are decided by the prefix alone, without touching the keys.
 */
struct SortKeyEntry {
  uint64_t prefix = 0;
  const uint8_t* key = nullptr;
  size_t keySize = 0;
  size_t position = 0;

  /// Sets the prefix from the key; call once the key's bytes stay where they are.
  void setPrefix() {
    prefix = 0;
    for (size_t b = 0; b < 8; ++b)
      prefix = (prefix << 8) | (b < keySize ? key[b] : 0u);
  }
};

/// Collation order with the binary tie-break. Equal prefixes compare whole
/// keys: a shorter key padded with zeros sorts first, as it does whole.
struct SortKeyEntryLess {
  const std::vector<std::string>* texts;
  bool operator()(const SortKeyEntry& x, const SortKeyEntry& y) const {
    if (x.prefix != y.prefix) return x.prefix < y.prefix;
    const int bytes = std::memcmp(x.key, y.key, std::min(x.keySize, y.keySize));
    if (bytes != 0) return bytes < 0;
    if (x.keySize != y.keySize) return x.keySize < y.keySize;
    return (*texts)[x.position] < (*texts)[y.position];
  }
};

/// Below this many texts a second sorting thread costs more than it saves.
constexpr size_t kParallelSortKeys = 20000;

}  // namespace corvale
