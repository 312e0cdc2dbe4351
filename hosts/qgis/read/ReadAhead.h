#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace corvale::qgis {

/**
 * Rows of a text read: each row's feature id and, per field, its text or
 * null, with whether the text is plain UTF-8 (isPlainUtf8) and, for plain
 * text, its TextSet::hashOf, made on the filling thread. A batch is filled on
 * one thread and read on another, never both at once.
 */
class TextBatch {
 public:
  explicit TextBatch(size_t fields) : fields_(fields) {}

  void clear();
  /// Starts a row; its fields follow, in order, by addText, addNull or addUnread.
  void addRow(int64_t id) { ids_.push_back(id); }
  void addText(std::string_view text);
  void addNull();
  /// A value that was not read: neither null nor plain, the caller reads it its own way.
  void addUnread();

  size_t rows() const { return ids_.size(); }
  size_t bytes() const { return bytes_.size(); }
  int64_t id(size_t row) const { return ids_[row]; }
  /// The text of field k of the row; nothing for null.
  std::optional<std::string_view> text(size_t row, size_t k) const;
  bool plain(size_t row, size_t k) const { return values_[row * fields_ + k].plain; }
  /// TextSet::hashOf the text of field k of the row, where it is plain text.
  uint64_t hash(size_t row, size_t k) const { return values_[row * fields_ + k].hash; }

 private:
  /// 24 bytes: a batch's texts stay below 4 GiB (addText checks).
  struct Value {
    Value(uint64_t textHash, uint32_t at, uint32_t bytes, bool isNull, bool isPlain)
        : hash(textHash), offset(at), size(bytes), null(isNull), plain(isPlain) {}
    uint64_t hash;
    uint32_t offset;
    uint32_t size;
    bool null;
    bool plain;
  };
  void add(uint64_t hash, uint32_t offset, uint32_t size, bool null, bool plain);
  size_t fields_;
  std::vector<int64_t> ids_;
  std::vector<Value> values_;
  std::string bytes_;
};

/// Where a read-ahead takes its rows from. read() runs on the read-ahead thread.
class TextRowSource {
 public:
  enum class Read { More, End, Failed };
  virtual ~TextRowSource() = default;
  /**
   * Appends rows to the batch, up to about `rows` rows; More when there may be
   * more, End when the source is exhausted, Failed with `error` set when
   * reading failed (the rows appended before the failure stand).
   */
  virtual Read read(TextBatch& batch, size_t rows, std::string& error) = 0;
};

/**
 * Reads a source's rows on a thread of its own, a few batches ahead of the
 * caller, so that reading and decoding the data (SQLite's steps, libpq's
 * rows) overlap with the caller's work on the rows. Memory stays bounded: a
 * fixed number of batches of a fixed number of rows circulate.
 *
 * The caller sees the rows in the source's order, exactly once each; a
 * source's failure is a host failure at the row where it happened (running
 * out of memory on the thread is failure 7, at the start of the batch it was
 * reading). Destroying
 * the read-ahead stops the thread before the source is destroyed.
 */
class ReadAhead {
 public:
  ReadAhead(std::unique_ptr<TextRowSource> source, size_t fields);
  ~ReadAhead();
  ReadAhead(const ReadAhead&) = delete;
  ReadAhead& operator=(const ReadAhead&) = delete;

  /// Moves to the next row; false at the end. A failure of the source is a host failure.
  bool step();
  int64_t id() const { return current_->id(row_); }
  std::optional<std::string_view> text(size_t k) const { return current_->text(row_, k); }
  bool plain(size_t k) const { return current_->plain(row_, k); }

  /**
   * The next batch of rows, at least one row; nothing at the end. Valid until
   * the next call. A read-ahead is read either by step() or by nextRows(),
   * never both. A failure of the source is a host failure.
   */
  const TextBatch* nextRows();

 private:
  void run();

  std::unique_ptr<TextRowSource> source_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::unique_ptr<TextBatch>> full_;
  std::deque<std::unique_ptr<TextBatch>> empty_;
  bool ended_ = false;
  bool failed_ = false;
  bool stop_ = false;
  bool outOfMemory_ = false;
  std::string error_;
  std::unique_ptr<TextBatch> current_;
  size_t row_ = 0;
  std::thread thread_;
};

}  // namespace corvale::qgis
