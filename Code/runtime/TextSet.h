#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "runtime/KeptBytes.h"

namespace corvale {

/**
 * A set of texts compared exactly: byte for byte, letter case and blanks
 * included. It is the seen-set of a distinct-value read, built for millions
 * of look-ups of a few hundred thousand texts, most of them repeats:
 * - a look-up of a text already in the set allocates nothing and copies
 *   nothing;
 * - a new text is copied once, into large blocks the set owns, so a set of n
 *   texts makes O(log n + bytes / block) allocations, not n;
 * - the slots are one flat array of 16 bytes each (part of the text's hash,
 *   its size, where it is kept), probed linearly and at most half full: a
 *   look-up reads one slot and, when hash and size agree, the kept text. The
 *   slots of 100,000 texts take 4 MiB, so the set's memory stays in the
 *   processor's caches longer than a set of texts held in their slots.
 * Memory grows with the number and length of distinct texts only.
 */
class TextSet {
 public:
  TextSet();
  ~TextSet();
  TextSet(const TextSet&) = delete;
  TextSet& operator=(const TextSet&) = delete;

  /// Adds the text if it is not in the set yet; true when it was added.
  bool insert(std::string_view text);
  /// The same, for a text whose hashOf() the caller has already computed.
  bool insert(std::string_view text, uint64_t hash);
  bool contains(std::string_view text) const;
  size_t size() const { return size_; }
  /// Makes room for that many texts at once, so that the set does not grow
  /// (and copy its slots) while they are added.
  void reserve(size_t texts);

  /// The hash the set files a text under (the same on every call of a process).
  static uint64_t hashOf(std::string_view text);

  /**
   * Hints for a caller that knows the next texts before it looks them up:
   * prefetchSlot() asks the processor to bring the slot where the look-up of
   * that hash begins into its cache, and prefetchText(), called a little later,
   * the text that slot keeps. Neither changes anything nor waits for memory,
   * apart from prefetchText() reading the slot; both may be left out.
   */
  void prefetchSlot(uint64_t hash) const;
  void prefetchText(uint64_t hash) const;

  /// Look-ups so far that read a slot other than the first one tried, and
  /// slots read past the first in all: how well the hash spreads the texts.
  size_t collisions() const { return collisions_; }
  size_t extraProbes() const { return extraProbes_; }

 private:
  struct Slot {
    /// The hash's upper half: its upper bits are where the slot's probe begins.
    uint32_t tag = 0;
    uint32_t size = 0;
    /// Null: the slot is free.
    const char* text = nullptr;
  };

  size_t firstSlot(uint64_t hash) const {
    return static_cast<size_t>(static_cast<uint32_t>(hash >> 32) >> (32 - bits_));
  }
  /// The slot that holds the text, or the free slot where it belongs.
  size_t find(std::string_view text, uint64_t hash) const;
  void grow();

  std::vector<Slot> slots_;
  /// log2 of the number of slots; a probe begins at the hash's upper `bits_` bits.
  unsigned bits_;
  size_t size_ = 0;
  /// The texts the slots point at.
  KeptBytes kept_;
  mutable size_t collisions_ = 0;
  mutable size_t extraProbes_ = 0;
};

}  // namespace corvale
