#include "runtime/TextList.h"

#include <future>
#include <limits>

#include "runtime/Failure.h"
#include "runtime/Prefetch.h"
#include "runtime/SortKeys.h"
#include "runtime/Text.h"

namespace corvale {

void TextList::clear() {
  entries_.clear();
  unsorted_ = false;
  selected_ = -1;
}

void TextList::append(std::string text) {
  if (entries_.size() >= static_cast<size_t>(std::numeric_limits<int32_t>::max())) {
    raise(err::kOutOfMemory);
  }
  entries_.push_back(std::move(text));
  if (sorted_) unsorted_ = true;
}

int32_t TextList::count() const {
  return static_cast<int32_t>(entries_.size());
}

std::vector<std::string> copyInOrder(const std::vector<std::string>& texts,
                                     const std::vector<size_t>& order) {
  // A long list is copied by two threads, each into its half.
  std::vector<std::string> copies(order.size());
  // The texts are read in an order that memory does not follow: each
  // string's object is fetched into the cache kObjectAhead copies early, and
  // its characters, which the object points to, kTextAhead copies early.
  auto copy = [&](size_t from, size_t to) {
    constexpr size_t kObjectAhead = 16, kTextAhead = 8;
    for (size_t k = from; k < to; ++k) {
      if (k + kObjectAhead < to) prefetch(&texts[order[k + kObjectAhead]]);
      if (k + kTextAhead < to) prefetch(texts[order[k + kTextAhead]].data());
      copies[k] = texts[order[k]];
    }
  };
  if (order.size() < kParallelSortKeys) {
    copy(0, order.size());
  } else {
    auto upperHalf = std::async(std::launch::async, copy, order.size() / 2, order.size());
    copy(0, order.size() / 2);
    upperHalf.get();
  }
  return copies;
}

int32_t positionInOrder(const std::vector<size_t>& order, int32_t position) {
  for (size_t k = 0; k < order.size() && position >= 0; ++k) {
    if (static_cast<int32_t>(order[k]) == position) return static_cast<int32_t>(k);
  }
  return -1;
}

bool TextList::settle() {
  if (!unsorted_) return false;
  unsorted_ = false;
  const std::vector<size_t> order = Collation::order(entries_);
  bool moved = false;
  for (size_t k = 0; k < order.size() && !moved; ++k) {
    moved = order[k] != k;
  }
  if (!moved) return false;
  // The entries are copied, not moved, into their new order: the copies then
  // lie in memory in list order, and a pass over the list (the search of
  // "Go") reads memory in sequence instead of jumping for every entry.
  entries_ = copyInOrder(entries_, order);
  selected_ = positionInOrder(order, selected_);
  return true;
}

void TextList::checkIndex(int32_t index) const {
  if (index < 0 || index >= count()) raise(err::kInvalidProcedureCall);
}

const std::string& TextList::item(int32_t index) {
  settle();
  checkIndex(index);
  return entries_[static_cast<size_t>(index)];
}

int32_t TextList::selectedIndex() {
  settle();
  return selected_;
}

void TextList::select(int32_t index) {
  settle();
  if (index != -1) checkIndex(index);
  selected_ = index;
}

std::string TextList::text() {
  settle();
  return selected_ >= 0 ? entries_[static_cast<size_t>(selected_)] : std::string();
}

const std::vector<std::string>& TextList::entries() {
  settle();
  return entries_;
}

}  // namespace corvale
