#include "runtime/KeptBytes.h"

#include <algorithm>
#include <cstring>

namespace corvale {

const char* KeptBytes::keep(std::string_view bytes) {
  if (!free_ || bytes.size() > freeBytes_) {
    const size_t size = std::max(blockBytes_, bytes.size());
    // Not zeroed: every byte handed out is written first.
    blocks_.push_back(std::unique_ptr<char[]>(new char[size]));
    free_ = blocks_.back().get();
    freeBytes_ = size;
  }
  char* copy = free_;
  if (!bytes.empty()) std::memcpy(copy, bytes.data(), bytes.size());
  free_ += bytes.size();
  freeBytes_ -= bytes.size();
  return copy;
}

}  // namespace corvale
