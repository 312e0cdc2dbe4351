#include "platform/win32/forms/BackgroundSortKeys.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <future>

#include "runtime/SortKeys.h"
#include "runtime/TextRules.h"

namespace corvale::win32 {

BackgroundSortKeys::~BackgroundSortKeys() {
  clear();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  if (worker_.joinable()) worker_.join();
}

void BackgroundSortKeys::key(Chunk& chunk) noexcept {
  try {
    chunk.ends.reserve(chunk.texts.size());
    chunk.bytes.reserve(chunk.texts.size() * 40);
    for (const std::string& text : chunk.texts) {
      if (!textrules::appendSortKey(text, chunk.bytes)) {
        chunk.failed = true;
        break;
      }
      chunk.ends.push_back(chunk.bytes.size());
    }
  } catch (...) {
    chunk.failed = true;
  }
  std::vector<std::string>().swap(chunk.texts);
}

void BackgroundSortKeys::add(std::string_view text) {
  if (!filling_) {
    filling_ = std::make_unique<Chunk>();
    filling_->texts.reserve(kChunk);
  }
  filling_->texts.emplace_back(text);
  ++count_;
  if (filling_->texts.size() >= kChunk) submit();
}

void BackgroundSortKeys::submit() {
  if (!filling_) return;
  Chunk* chunk = filling_.get();
  chunks_.push_back(std::move(filling_));
  {
    std::lock_guard<std::mutex> lock(mutex_);
    waiting_.push_back(chunk);
  }
  if (!worker_.joinable()) {
    try {
      worker_ = std::thread([this] { work(); });
    } catch (...) {
      // No thread: order() keys every chunk itself.
    }
  }
  wake_.notify_one();
}

void BackgroundSortKeys::work() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return stop_ || !waiting_.empty(); });
    if (stop_) return;
    Chunk* chunk = waiting_.front();
    waiting_.pop_front();
    ++keying_;
    lock.unlock();
    key(*chunk);
    lock.lock();
    --keying_;
    idle_.notify_all();
  }
}

void BackgroundSortKeys::clear() {
  {
    std::unique_lock<std::mutex> lock(mutex_);
    waiting_.clear();
    idle_.wait(lock, [this] { return keying_ == 0; });
  }
  chunks_.clear();
  filling_.reset();
  count_ = 0;
}

std::optional<std::vector<size_t>> BackgroundSortKeys::order(const std::vector<std::string>& texts) {
  if (texts.size() != count_) return std::nullopt;
  // The last chunk, and those the keying thread has not taken yet, are keyed
  // here, beside it.
  if (filling_) {
    key(*filling_);
    chunks_.push_back(std::move(filling_));
  }
  for (;;) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (waiting_.empty()) {
      idle_.wait(lock, [this] { return keying_ == 0; });
      break;
    }
    Chunk* chunk = waiting_.back();
    waiting_.pop_back();
    lock.unlock();
    key(*chunk);
  }

  std::vector<SortKeyEntry> entries;
  entries.reserve(count_);
  for (const std::unique_ptr<Chunk>& chunk : chunks_) {
    if (chunk->failed) return std::nullopt;
    const auto* bytes = reinterpret_cast<const uint8_t*>(chunk->bytes.data());
    size_t begin = 0;
    for (size_t end : chunk->ends) {
      SortKeyEntry entry;
      entry.key = bytes + begin;
      entry.keySize = end - begin;
      entry.position = entries.size();
      entries.push_back(entry);
      begin = end;
    }
  }
  if (entries.size() != texts.size()) return std::nullopt;
  // The bytes that every key begins with decide nothing: the keys are
  // compared from the first byte where any two may differ, so that the
  // prefix numbers decide most comparisons (street names often share a
  // word or two at their start).
  size_t common = entries.empty() ? 0 : entries.front().keySize;
  for (const SortKeyEntry& entry : entries) {
    const uint8_t* first = entries.front().key;
    size_t same = 0;
    const size_t most = std::min(common, entry.keySize);
    while (same < most && entry.key[same] == first[same])
      ++same;
    common = same;
  }
  for (SortKeyEntry& entry : entries) {
    entry.key += common;
    entry.keySize -= common;
    entry.setPrefix();
  }

  const SortKeyEntryLess less{&texts};
  if (entries.size() < kParallelSortKeys) {
    std::sort(entries.begin(), entries.end(), less);
  } else {
    const auto half = entries.begin() + static_cast<std::ptrdiff_t>(entries.size() / 2);
    auto upper = std::async(std::launch::async, [&] { std::sort(half, entries.end(), less); });
    std::sort(entries.begin(), half, less);
    upper.get();
    std::inplace_merge(entries.begin(), half, entries.end(), less);
  }
  std::vector<size_t> positions(entries.size());
  for (size_t k = 0; k < entries.size(); ++k)
    positions[k] = entries[k].position;
  return positions;
}

}  // namespace corvale::win32
