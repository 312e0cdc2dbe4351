#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace corvale {

/**
 * Copies of the texts in the given order (order[k] is the position of the
 * k-th), made in that order (a long list by two threads, a half each), so
 * that the copies lie in memory about as they follow in the list and a pass
 * over them reads memory in sequence.
 */
std::vector<std::string> copyInOrder(const std::vector<std::string>& texts,
                                     const std::vector<size_t>& order);

/// Where the entry that was at `position` is after reordering by `order`
/// (order[k] is the old position of the k-th); -1 stays -1.
int32_t positionInOrder(const std::vector<size_t>& order, int32_t position);

/**
 * The entries of a list control and its selection. A sorted list takes
 * appends in bulk and sorts once, when it is next read, in collation order
 * (Collation); the selected entry stays selected across that sort. Positions
 * are 32-bit; -1 is "no entry". A position outside the list is failure 5.
 */
class TextList {
 public:
  explicit TextList(bool sorted = false) : sorted_(sorted) {}

  void clear();
  void append(std::string text);
  int32_t count() const;
  const std::string& item(int32_t index);
  int32_t selectedIndex();
  /// Selects the entry (-1: none).
  void select(int32_t index);
  /// The selected entry's text, or the empty text.
  std::string text();
  /// All entries in list order.
  const std::vector<std::string>& entries();
  /// Sorts what was appended since the last read; returns whether anything moved.
  bool settle();

 private:
  void checkIndex(int32_t index) const;

  bool sorted_;
  std::vector<std::string> entries_;
  bool unsorted_ = false;
  int32_t selected_ = -1;
};

}  // namespace corvale
