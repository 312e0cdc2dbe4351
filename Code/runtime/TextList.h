#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace corvale {

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
