#pragma once

#include <cstddef>
#include <memory>
#include <string_view>
#include <vector>

namespace corvale {

/**
 * Copies of byte strings kept one after another in blocks that never move:
 * a copy stays where it is, unchanged, for as long as the store lives, and
 * the store never copies what it holds as it grows. Even no bytes get a place
 * of their own, so a copy is never null.
 */
class KeptBytes {
 public:
  /// Blocks of that many bytes; a longer string gets a block of its own size.
  explicit KeptBytes(size_t blockBytes) : blockBytes_(blockBytes) {}

  const char* keep(std::string_view bytes);

 private:
  size_t blockBytes_;
  std::vector<std::unique_ptr<char[]>> blocks_;
  char* free_ = nullptr;
  size_t freeBytes_ = 0;
};

}  // namespace corvale
