#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace corvale {

/**
 * A set of texts compared exactly: byte for byte, letter case and blanks
 * included. It is the seen-set of a distinct-value read, built for millions
 * of look-ups of a few hundred thousand texts:
 * - a look-up of a text already in the set allocates nothing and copies
 *   nothing;
 * - a new text is copied once, into large blocks the set owns, so a set of n
 *   texts makes O(log n + bytes / block) allocations, not n;
 * - the slots are one flat array probed linearly; a slot is one cache line
 *   that holds the text's hash and, up to 48 bytes, the text itself, so a
 *   look-up usually reads one line of memory.
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
  bool contains(std::string_view text) const;
  size_t size() const { return size_; }

 private:
  static constexpr size_t kInline = 48;
  /// One cache line: the hash, the size, and the text itself or where it is kept.
  struct alignas(64) Slot {
    uint64_t hash = 0;
    uint64_t size = kFree;
    union {
      char inlined[kInline];
      const char* kept;
    };
    bool free() const { return size == kFree; }
    const char* data() const { return size <= kInline ? inlined : kept; }
  };
  static constexpr uint64_t kFree = ~uint64_t{0};

  static uint64_t hashOf(std::string_view text);
  /// The slot that holds the text, or the free slot where it belongs.
  size_t find(std::string_view text, uint64_t hash) const;
  /// Copies a text too long to be held in its slot into the blocks.
  const char* keep(std::string_view text);
  void grow();

  std::vector<Slot> slots_;
  size_t mask_ = 0;
  size_t size_ = 0;
  std::vector<std::unique_ptr<char[]>> blocks_;
  char* free_ = nullptr;
  size_t freeBytes_ = 0;
};

}  // namespace corvale
