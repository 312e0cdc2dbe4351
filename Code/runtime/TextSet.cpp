#include "runtime/TextSet.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "runtime/Failure.h"
#include "runtime/Prefetch.h"

namespace corvale {

namespace {
constexpr unsigned kFirstBits = 10;

constexpr uint64_t kMultiplier1 = 0x9E3779B97F4A7C15ull;
constexpr uint64_t kMultiplier2 = 0xC2B2AE3D27D4EB4Full;

uint64_t rotateLeft(uint64_t x, unsigned by) { return (x << by) | (x >> (64 - by)); }

uint64_t word(const unsigned char* bytes) {
  uint64_t w;
  std::memcpy(&w, bytes, sizeof w);
  return w;
}

/// The last avalanche: every bit of the input moves about half of the output's bits.
uint64_t finish(uint64_t h) {
  h ^= h >> 33;
  h *= 0xFF51AFD7ED558CCDull;
  h ^= h >> 33;
  h *= 0xC4CEB9FE1A85EC53ull;
  h ^= h >> 33;
  return h;
}
}  // namespace

TextSet::TextSet() : slots_(size_t{1} << kFirstBits), bits_(kFirstBits), kept_(size_t{1} << 20) {}

TextSet::~TextSet() = default;

uint64_t TextSet::hashOf(std::string_view text) {
  // Eight bytes a step; the bytes after the last whole step are read as one
  // more word (overlapping the step before when there was one). Street names
  // of 15 to 35 bytes hash in three to six steps.
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const size_t size = text.size();
  uint64_t h = kMultiplier1 ^ (static_cast<uint64_t>(size) * kMultiplier2);
  size_t at = 0;
  for (; at + 8 <= size; at += 8)
    h = rotateLeft(h ^ (word(bytes + at) * kMultiplier2), 31) * kMultiplier1;
  if (at < size) {
    uint64_t last = 0;
    if (size >= 8) {
      last = word(bytes + size - 8);
    } else {
      std::memcpy(&last, bytes, size);
    }
    h = rotateLeft(h ^ (last * kMultiplier2), 31) * kMultiplier1;
  }
  return finish(h);
}

size_t TextSet::find(std::string_view text, uint64_t hash) const {
  const size_t mask = slots_.size() - 1;
  const auto tag = static_cast<uint32_t>(hash >> 32);
  size_t at = firstSlot(hash);
  size_t probes = 0;
  for (;;) {
    const Slot& slot = slots_[at];
    if (!slot.text ||
        (slot.tag == tag && slot.size == text.size() &&
         (text.empty() || std::memcmp(slot.text, text.data(), text.size()) == 0))) {
      if (probes > 0) {
        ++collisions_;
        extraProbes_ += probes;
      }
      return at;
    }
    ++probes;
    at = (at + 1) & mask;
  }
}

bool TextSet::contains(std::string_view text) const {
  return slots_[find(text, hashOf(text))].text != nullptr;
}

bool TextSet::insert(std::string_view text) { return insert(text, hashOf(text)); }

bool TextSet::insert(std::string_view text, uint64_t hash) {
  size_t at = find(text, hash);
  if (slots_[at].text) return false;
  if (text.size() > std::numeric_limits<uint32_t>::max()) raise(err::kOutOfMemory);
  // At most half full: probes stay short.
  if ((size_ + 1) * 2 > slots_.size()) {
    grow();
    at = find(text, hash);
  }
  Slot& slot = slots_[at];
  slot.tag = static_cast<uint32_t>(hash >> 32);
  slot.size = static_cast<uint32_t>(text.size());
  slot.text = kept_.keep(text);
  ++size_;
  return true;
}

void TextSet::reserve(size_t texts) {
  // At most half full, as insert() keeps it.
  unsigned bits = bits_;
  while (texts > (size_t{1} << bits) / 2 && bits < 32)
    ++bits;
  if (bits == bits_) return;
  if (size_ == 0) {
    // One allocation of the final size, not one per doubling.
    slots_ = std::vector<Slot>(size_t{1} << bits);
    bits_ = bits;
    return;
  }
  while (bits_ < bits)
    grow();
}

void TextSet::prefetchSlot(uint64_t hash) const {
  prefetch(&slots_[firstSlot(hash)]);
}

void TextSet::prefetchText(uint64_t hash) const {
  if (const char* text = slots_[firstSlot(hash)].text) prefetch(text);
}

void TextSet::grow() {
  // The probe start comes from the 32-bit tag: 2^32 slots at most.
  if (bits_ >= 32) raise(err::kOutOfMemory);
  std::vector<Slot> old(slots_.size() * 2);
  old.swap(slots_);
  ++bits_;
  const size_t mask = slots_.size() - 1;
  for (const Slot& slot : old) {
    if (!slot.text) continue;
    size_t at = static_cast<size_t>(slot.tag >> (32 - bits_));
    while (slots_[at].text)
      at = (at + 1) & mask;
    slots_[at] = slot;
  }
}

}  // namespace corvale
