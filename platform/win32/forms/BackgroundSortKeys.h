#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace corvale::win32 {

/**
 * The sort keys of texts as they arrive, made on a thread of its own while
 * the caller goes on with its work: a sorted list read row by row from a
 * host then needs, when it is first shown, only its keys' order, not the
 * keys themselves.
 *
 * add() copies the text; every kChunk texts go to the keying thread. order()
 * keys what is left on the calling thread (with the keying thread, if it is
 * still busy), then returns the positions of all texts added since the last
 * clear() in collation order with the binary tie-break, the order of
 * Collation::order. When a key could not be made it returns nothing and the
 * caller sorts the usual way, which reports the failure.
 *
 * One object is used from one thread; the keying thread is its own and ends
 * with it.
 */
class BackgroundSortKeys {
 public:
  /// Texts handed to the keying thread at a time.
  static constexpr size_t kChunk = 16384;

  BackgroundSortKeys() = default;
  BackgroundSortKeys(const BackgroundSortKeys&) = delete;
  BackgroundSortKeys& operator=(const BackgroundSortKeys&) = delete;
  ~BackgroundSortKeys();

  void add(std::string_view text);
  /// How many texts were added since the last clear().
  size_t count() const { return count_; }
  /// Forgets every text and key (waits for a chunk being keyed).
  void clear();
  /// `texts` are the added texts, in the order added.
  std::optional<std::vector<size_t>> order(const std::vector<std::string>& texts);

 private:
  struct Chunk {
    std::vector<std::string> texts;  // emptied once keyed
    std::string bytes;               // the keys, one after another
    std::vector<size_t> ends;        // where each key ends in `bytes`
    bool failed = false;
  };

  static void key(Chunk& chunk) noexcept;
  /// Hands the chunk being filled to the keying thread.
  void submit();
  void work();

  std::vector<std::unique_ptr<Chunk>> chunks_;  // every chunk, in the order added
  std::unique_ptr<Chunk> filling_;
  size_t count_ = 0;

  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable idle_;
  std::deque<Chunk*> waiting_;  // chunks not yet keyed, oldest first
  size_t keying_ = 0;           // chunks the keying thread holds now
  bool stop_ = false;
  std::thread worker_;
};

}  // namespace corvale::win32
