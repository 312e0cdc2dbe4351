#include "runtime/TextSet.h"

#include <algorithm>
#include <cstring>
#include <functional>

namespace corvale {

namespace {
constexpr size_t kFirstSlots = 1024;
constexpr size_t kBlockBytes = size_t{1} << 20;
}  // namespace

TextSet::TextSet() : slots_(kFirstSlots), mask_(kFirstSlots - 1) {}

TextSet::~TextSet() = default;

uint64_t TextSet::hashOf(std::string_view text) {
  return static_cast<uint64_t>(std::hash<std::string_view>{}(text));
}

size_t TextSet::find(std::string_view text, uint64_t hash) const {
  size_t at = static_cast<size_t>(hash) & mask_;
  for (;;) {
    const Slot& slot = slots_[at];
    if (slot.free()) return at;
    if (slot.hash == hash && slot.size == text.size() &&
        std::memcmp(slot.data(), text.data(), text.size()) == 0) {
      return at;
    }
    at = (at + 1) & mask_;
  }
}

bool TextSet::contains(std::string_view text) const {
  return !slots_[find(text, hashOf(text))].free();
}

bool TextSet::insert(std::string_view text) {
  const uint64_t hash = hashOf(text);
  size_t at = find(text, hash);
  if (!slots_[at].free()) return false;
  // At most half full: probes stay short.
  if ((size_ + 1) * 2 > slots_.size()) {
    grow();
    at = find(text, hash);
  }
  Slot& slot = slots_[at];
  slot.hash = hash;
  slot.size = text.size();
  if (text.size() <= kInline) {
    if (!text.empty()) std::memcpy(slot.inlined, text.data(), text.size());
  } else {
    slot.kept = keep(text);
  }
  ++size_;
  return true;
}

const char* TextSet::keep(std::string_view text) {
  if (text.size() > freeBytes_) {
    const size_t bytes = std::max(kBlockBytes, text.size());
    blocks_.push_back(std::make_unique<char[]>(bytes));
    free_ = blocks_.back().get();
    freeBytes_ = bytes;
  }
  char* copy = free_;
  std::memcpy(copy, text.data(), text.size());
  free_ += text.size();
  freeBytes_ -= text.size();
  return copy;
}

void TextSet::grow() {
  std::vector<Slot> old(slots_.size() * 2);
  old.swap(slots_);
  mask_ = slots_.size() - 1;
  for (const Slot& slot : old) {
    if (slot.free()) continue;
    size_t at = static_cast<size_t>(slot.hash) & mask_;
    while (!slots_[at].free())
      at = (at + 1) & mask_;
    slots_[at] = slot;
  }
}

}  // namespace corvale
