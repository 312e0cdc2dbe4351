#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <sqlite3.h>

#include "hosts/qgis/read/ReadAhead.h"

namespace corvale::qgis {

/**
 * The rows of an SQLite rowid table read from its B-tree pages directly,
 * without SQLite's statement machinery: per row the rowid, then per wanted
 * column its value as `SELECT id, columns FROM table` gives it, where SQLite
 * scans the table itself:
 *
 * - NULL, and a column the row's record is too short to hold whose declared
 *   default is NULL: addNull;
 * - text: its bytes up to the first NUL byte, through addText;
 * - an integer, a real, a blob, or a column missing from a short record
 *   whose default is anything but NULL: addUnread (the caller reads that
 *   value another way).
 *
 * The connection's read transaction is opened by open() and kept until the
 * source is destroyed: no writer can change the file in between, and a hot
 * journal has been rolled back before the first page is read. Pages are read
 * through SQLite's own file object of the connection (never a descriptor of
 * our own: closing one drops every POSIX lock the process holds on the file),
 * a run of consecutive child pages with one read, overflow pages one by one.
 * Memory is bounded by the depth of the tree, not by the size of the table.
 *
 * A damaged file (an unknown page type, a pointer or a size outside its page
 * or the file, a cycle, a tree deeper than SQLite builds) ends the read with
 * Failed and "Reading the GeoPackage failed: ..."; the rows before stand.
 */
class SqliteTablePages : public TextRowSource {
 public:
  /**
   * A source over those columns of the table (by name, as SQLite matches
   * them), taking the connection (read-only, used by one thread at a time),
   * or nothing, the connection left open and without a transaction, where
   * the reading would not be exact: the file has a write-ahead log or text
   * that is not UTF-8, the table is not a rowid table whose `idColumn` is
   * its rowid, a column is hidden or generated, a wanted column is missing
   * or is the rowid, or the header or the table's root page is not sound.
   */
  static std::unique_ptr<SqliteTablePages> open(sqlite3* db, const std::string& table,
                                                const std::string& idColumn,
                                                const std::vector<std::string>& columns);
  ~SqliteTablePages() override;
  SqliteTablePages(const SqliteTablePages&) = delete;
  SqliteTablePages& operator=(const SqliteTablePages&) = delete;

  Read read(TextBatch& batch, size_t rows, std::string& error) override;

  /// Bytes of one read of consecutive pages, at most (and at least one page).
  static constexpr size_t kRunBytes = size_t{1} << 18;
  /// Levels of a table's B-tree, at most: deeper than SQLite ever builds one.
  static constexpr size_t kMaxDepth = 40;

 private:
  /// A wanted column: its place in the record, and whether a short record gives NULL for it.
  struct Column {
    size_t place = 0;
    bool nullDefault = true;
  };
  /// One value of the row being read: null, text (where in the payload), or left to the caller.
  struct Value {
    enum class Kind { Null, Text, Unread } kind = Kind::Null;
    size_t offset = 0;
    size_t size = 0;
  };
  /// An interior page's children, and the run of them read last.
  struct Level {
    std::vector<uint32_t> children;
    size_t next = 0;  ///< first child not yet read
    std::vector<unsigned char> run;
    uint32_t runFirst = 0;
    size_t runPages = 0;
    size_t runAt = 0;  ///< the page of the run to be walked next
  };

  SqliteTablePages(sqlite3* db, sqlite3_file* file, uint32_t root, uint32_t pageSize,
                   uint32_t usable, uint32_t pageCount, std::vector<Column> columns);
  bool readPages(uint32_t first, size_t count, unsigned char* into, std::string& error);
  bool loadRun(Level& level, std::string& error);
  bool descend(const unsigned char* page, uint32_t number, std::string& error);
  bool leafRows(TextBatch& batch, size_t& rows, std::string& error);
  bool row(const unsigned char* cell, size_t room, TextBatch& batch, std::string& error);
  bool payloadUpTo(size_t need, std::string& error);

  sqlite3* db_;
  sqlite3_file* file_;
  uint32_t pageSize_;
  uint32_t usable_;
  uint32_t pageCount_;
  std::vector<Column> columns_;
  /// The wanted columns by place: the first at each place (or -1), and the next at the same one.
  size_t lastPlace_ = 0;
  std::vector<int> firstAt_;
  std::vector<int> sameAt_;
  std::vector<Value> values_;
  std::vector<Level> levels_;
  /// The leaf being read: its page, number and next cell; null between leaves.
  const unsigned char* leaf_ = nullptr;
  uint32_t leafNumber_ = 0;
  size_t leafCell_ = 0;
  size_t leafCells_ = 0;
  /// Pages read so far: more than the file holds is a cycle.
  uint64_t visited_ = 0;
  /// The payload of a cell that overflows, as far as it has been gathered.
  std::vector<unsigned char> payload_;
  uint32_t nextOverflow_ = 0;
  uint64_t payloadSize_ = 0;
  std::vector<unsigned char> overflowPage_;
  /// The overflow pages of that payload read so far.
  std::vector<uint32_t> chain_;
};

}  // namespace corvale::qgis
