#include "hosts/qgis/read/ReadAhead.h"

#include <cstdint>
#include <new>

#include "hosts/qgis/common/QgisFailure.h"
#include "hosts/qgis/common/QgisText.h"
#include "runtime/Prefetch.h"
#include "runtime/TextSet.h"

namespace corvale::qgis {

namespace {
/// Rows per batch: large enough that handing a batch over costs nothing per
/// row, small enough that the first rows arrive at once.
constexpr size_t kBatchRows = 4096;
/// Batches in circulation: one being read, one being filled and four
/// waiting, so that a slow moment of either thread does not stop the other.
constexpr size_t kBatches = 6;
}  // namespace

void TextBatch::clear() {
  ids_.clear();
  values_.clear();
  bytes_.clear();
}

void TextBatch::add(uint64_t hash, uint32_t offset, uint32_t size, bool null, bool plain) {
  // A batch was last read on the caller's thread, often on the other core:
  // its lines are claimed for writing ahead of time (prefetchForWrite),
  // about 18 lines ahead: some microseconds of reading, longer than a line takes to come over.
  constexpr size_t kAhead = 48;
  if (values_.size() + kAhead < values_.capacity())
    prefetchForWrite(values_.data() + values_.size() + kAhead);
  values_.emplace_back(hash, offset, size, null, plain);
}

void TextBatch::addText(std::string_view text) {
  if (bytes_.size() + text.size() > UINT32_MAX) throw std::bad_alloc();
  const bool plain = isPlainUtf8(text);
  constexpr size_t kBytesAhead = 1024;
  if (bytes_.size() + kBytesAhead < bytes_.capacity())
    prefetchForWrite(bytes_.data() + bytes_.size() + kBytesAhead);
  add(plain ? TextSet::hashOf(text) : 0, static_cast<uint32_t>(bytes_.size()),
      static_cast<uint32_t>(text.size()), false, plain);
  bytes_.append(text);
}

void TextBatch::addNull() {
  add(0, 0, 0, true, false);
}

void TextBatch::addUnread() {
  add(0, 0, 0, false, false);
}

std::optional<std::string_view> TextBatch::text(size_t row, size_t k) const {
  const Value& value = values_[row * fields_ + k];
  if (value.null) return std::nullopt;
  return std::string_view(bytes_.data() + value.offset, value.size);
}

ReadAhead::ReadAhead(std::unique_ptr<TextRowSource> source, size_t fields)
    : source_(std::move(source)) {
  for (size_t i = 0; i < kBatches; ++i)
    empty_.push_back(std::make_unique<TextBatch>(fields));
  thread_ = std::thread([this] { run(); });
}

ReadAhead::~ReadAhead() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

void ReadAhead::run() {
  for (;;) {
    std::unique_ptr<TextBatch> batch;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      changed_.wait(lock, [&] { return stop_ || !empty_.empty(); });
      if (stop_) return;
      batch = std::move(empty_.front());
      empty_.pop_front();
    }
    batch->clear();
    std::string error;
    TextRowSource::Read read = TextRowSource::Read::Failed;
    bool noMemory = false;
    try {
      read = source_->read(*batch, kBatchRows, error);
    } catch (const std::bad_alloc&) {
      // Nothing may leave this thread; the reader learns of it at this row.
      noMemory = true;
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      // A batch that ran out of memory half-way may hold a row without its fields.
      if (batch->rows() > 0 && !noMemory) {
        full_.push_back(std::move(batch));
      } else {
        empty_.push_back(std::move(batch));
      }
      if (read == TextRowSource::Read::End) ended_ = true;
      if (noMemory) outOfMemory_ = true;
      if (read == TextRowSource::Read::Failed) {
        failed_ = true;
        error_ = std::move(error);
      }
    }
    changed_.notify_all();
    if (read != TextRowSource::Read::More) return;
  }
}

bool ReadAhead::step() {
  if (current_ && row_ + 1 < current_->rows()) {
    ++row_;
    return true;
  }
  return nextRows() != nullptr;
}

const TextBatch* ReadAhead::nextRows() {
  std::unique_lock<std::mutex> lock(mutex_);
  if (current_) {
    empty_.push_back(std::move(current_));
    changed_.notify_all();
  }
  changed_.wait(lock, [&] { return !full_.empty() || ended_ || failed_; });
  if (!full_.empty()) {
    current_ = std::move(full_.front());
    full_.pop_front();
    row_ = 0;
    return current_.get();
  }
  if (outOfMemory_) raise(err::kOutOfMemory);
  if (failed_) hostFailure(error_);
  return nullptr;
}

}  // namespace corvale::qgis
